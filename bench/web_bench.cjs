// web_bench.cjs -- the browser build measured (by hand, never by CTest):
//   - transfer size: every file of the page compressed with gzip -9;
//   - time from navigation to the first frame of part 1 on 127.0.0.1,
//     without the time the question waited for its answer (a click on No);
//   - each part's frame rate, the demo left to run to its end (the music
//     moves the parts), in headless chromium on SwiftShader and in
//     firefox-esr on llvmpipe (an Xvfb display of its own);
//   - beside them, when given, the native frame time of the same parts on
//     llvmpipe from bench_scene_frames.
// The engines (and the native program) take turns, round by round, so that
// all see the same load; medians over the rounds are printed, with the
// machine's load average before and after.
//
//   node bench/web_bench.cjs build-web [build-bench/bench/bench_scene_frames] [--rounds N] [--engines chromium,firefox]
// puppeteer-core comes from tests/web (tests/web/web_test.sh setup).
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const { execFileSync } = require('child_process');
const { serve, open, peek } = require('../tests/web/driver.cjs');

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const median = (v) => { const s = v.slice().sort((a, b) => a - b); return s.length ? s[(s.length - 1) >> 1] : NaN; };

function sizes(site) {
  const files = ['index.html', 'demo.css', 'demo-page.js', 'favicon.png', 'demo.js', 'demo.wasm'];
  let raw = 0, packed = 0;
  for (const f of files) {
    const data = fs.readFileSync(path.join(site, f));
    const z = zlib.gzipSync(data, { level: 9 }).length;
    raw += data.length;
    packed += z;
    console.log(`${f.padEnd(14)} ${String(data.length).padStart(9)} B, gzip -9 ${String(z).padStart(9)} B`);
  }
  console.log(`${'total'.padEnd(14)} ${String(raw).padStart(9)} B, gzip -9 ${String(packed).padStart(9)} B`);
}

// Frames a second of each part in the native program (real time per frame).
function nativeRound(bench) {
  const out = execFileSync(bench, ['--benchmark_filter=^PartFrame/', '--benchmark_format=json'],
    { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] });
  const fps = {};
  for (const b of JSON.parse(out).benchmarks) {
    const m = b.name.match(/^PartFrame\/(\d)/);
    const ms = b.real_time * { ns: 1e-6, us: 1e-3, ms: 1, s: 1000 }[b.time_unit];
    if (m) fps[m[1]] = 1000 / ms;
  }
  return fps;
}

// One run of the page in an engine: the times to the first frame and each
// part's frame rate.
async function webRound(site, engine) {
  const server = await serve(site);
  const { page, close } = await open(engine, { viewport: { width: 1000, height: 700 } });
  try {
    await page.goto(`http://127.0.0.1:${server.address().port}/`);
    for (let i = 0; (await peek(page, () => DemoPage.status)) !== 'question'; i++) {
      if (i > 1200) throw new Error(`${engine}: no question`);
      await sleep(50);
    }
    const no = await peek(page, () => { const r = document.getElementById('no').getBoundingClientRect(); return [r.left + r.width / 2, r.top + r.height / 2]; });
    await page.mouse.click(no[0], no[1]);
    for (let i = 0; !(await peek(page, () => DemoPage.times.firstFrame)); i++) {
      if (i > 1200) throw new Error(`${engine}: no first frame`);
      await sleep(50);
    }
    const t = await peek(page, () => DemoPage.times);
    const spans = {};
    let last = null;
    for (;;) {
      const s = await peek(page, () => ({ status: DemoPage.status, part: Module._web_current_part(), frames: DemoPage.frames,
        now: performance.now() }));
      if (s.status === 'ended') break;
      if (!last || s.part !== last.part) {
        if (last) spans[last.part].end = last;
        spans[s.part] = { begin: s };
      }
      last = s;
      await sleep(50);
    }
    if (last) spans[last.part].end = last;
    const fps = {};
    for (const [p, sp] of Object.entries(spans)) {
      if (sp.end && sp.end.now > sp.begin.now) fps[p] = (sp.end.frames - sp.begin.frames) / ((sp.end.now - sp.begin.now) / 1000);
    }
    return { question: t.question / 1000, answerToFirst: (t.firstFrame - t.answer) / 1000,
      toFirst: (t.firstFrame - (t.answer - t.question)) / 1000, fps };
  } finally {
    await close();
    server.close();
  }
}

async function main() {
  const args = process.argv.slice(2);
  const option = (name, fallback) => { const i = args.indexOf(name); return i >= 0 ? args.splice(i, 2)[1] : fallback; };
  const rounds = Number(option('--rounds', '2'));
  const engines = option('--engines', 'chromium,firefox').split(',');
  const [site, nativeBench] = args;
  sizes(site);
  console.log(`load average before: ${os.loadavg().map((v) => v.toFixed(2)).join(' ')} (${os.cpus().length} cores)`);
  const results = { native: [] };
  for (const e of engines) results[e] = [];
  for (let r = 0; r < rounds; r++) {
    for (const e of engines) {
      const one = await webRound(site, e);
      console.log(`round ${r + 1} ${e}: first frame ${one.toFirst.toFixed(3)} s after navigation without the question's wait; ` +
        Object.entries(one.fps).map(([p, f]) => `${p}:${f.toFixed(1)}`).join(' '));
      results[e].push(one);
    }
    if (nativeBench) results.native.push(nativeRound(nativeBench));
  }
  console.log(`load average after: ${os.loadavg().map((v) => v.toFixed(2)).join(' ')}`);
  for (const e of engines) {
    const m = (k) => median(results[e].map((x) => x[k])).toFixed(3);
    console.log(`${e}: navigation to the question ${m('question')} s; answer to the first frame ${m('answerToFirst')} s; ` +
      `navigation to the first frame without the wait ${m('toFirst')} s (medians of ${rounds})`);
  }
  console.log(['part', ...engines.map((e) => `${e} fps`), ...(nativeBench ? ['native llvmpipe fps'] : [])].join(' | '));
  for (let p = 1; p <= 8; p++) {
    const cells = engines.map((e) => median(results[e].map((x) => x.fps[p]).filter((v) => v !== undefined)).toFixed(1));
    if (nativeBench) cells.push(median(results.native.map((x) => x[p])).toFixed(1));
    console.log([String(p), ...cells].join(' | '));
  }
}

main().then(() => process.exit(0), (e) => {
  console.error(e.message);
  process.exit(1);
});
