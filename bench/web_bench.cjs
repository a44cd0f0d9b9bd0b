// web_bench.cjs -- the browser build measured (by hand, never by CTest):
//   - transfer size: every file of the page compressed with gzip -9;
//   - time from navigation to the first frame of part 1 on 127.0.0.1,
//     without the time the question waited for its answer (a click on No);
//   - each part's frame rate, the demo left to run to its end (the music
//     moves the parts), in headless chromium on SwiftShader and in
//     firefox-esr on llvmpipe (an Xvfb display of its own);
//   - beside them, when given, the native frame time of the same parts on
//     llvmpipe from bench_scene_frames;
//   - per part, what a frame costs in WebGL: calls, draws, uniform calls,
//     bytes uploaded (buffers and textures) and programs linked, counted by
//     wrapping the methods of the WebGL 2 context in the page; and the
//     longest frames (time between animation frames) with the part they
//     fell in (and which frame of that part each was), against the median
//     frame of that part; and for each frame the demo's own work on the
//     page's thread (from the animation frame to the demo's request for the
//     next one: its code and the WebGL calls it makes, not the browser's
//     drawing of them), which tells a long frame the demo made from one the
//     browser did.
// The engines (and the native program) take turns, round by round, so that
// all see the same load; medians over the rounds are printed, with the
// machine's load average before and after.
//
//   node bench/web_bench.cjs build-web [build-bench/bench/bench_scene_frames] [--rounds N] [--engines chromium,firefox]
//        [--vs OTHER-SITE] (a second build, A and B taking turns in each round) [--json FILE] (every round's figures)
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

// Put into the page before its own scripts: every method of the WebGL 2
// context counted; at each animation frame the work since the one before
// is booked to the part the demo is in (only while the demo runs).
function counterScript() {
  const proto = WebGL2RenderingContext.prototype;
  const now = { calls: 0, draws: 0, uniforms: 0, bytes: 0, links: 0 };
  const byName = {};  // this frame's calls by method
  const stats = { parts: {}, frames: [], names: {} };
  window.__glStats = stats;
  const DRAWS = new Set(['drawArrays', 'drawElements', 'drawRangeElements', 'drawArraysInstanced', 'drawElementsInstanced']);
  const texelBytes = (format, type) => {
    const per = { 0x1903: 1, 0x1906: 1, 0x1909: 1, 0x190A: 2, 0x1907: 3, 0x1908: 4 }[format] || 4;  // RED/ALPHA/LUMINANCE, LA, RGB, RGBA
    return type === 0x1401 ? per : per * 4;  // unsigned bytes, else counted as words
  };
  for (const name of Object.getOwnPropertyNames(proto)) {
    const d = Object.getOwnPropertyDescriptor(proto, name);
    if (!d || typeof d.value !== 'function' || name === 'constructor') continue;
    const real = d.value;
    const draw = DRAWS.has(name), uniform = name.startsWith('uniform') && name !== 'uniformBlockBinding';
    proto[name] = function (...a) {
      now.calls++;
      byName[name] = (byName[name] || 0) + 1;
      if (draw) now.draws++;
      else if (uniform) now.uniforms++;
      else if (name === 'bufferSubData') now.bytes += a.length >= 5 ? a[4] : (a[2] && a[2].byteLength) || 0;
      else if (name === 'bufferData') now.bytes += typeof a[1] === 'number' || !a[1] ? 0 : a.length >= 5 ? a[4] : a[1].byteLength;
      else if (name === 'texImage2D' && a.length >= 9 && a[8]) now.bytes += a[3] * a[4] * texelBytes(a[6], a[7]);
      else if (name === 'texSubImage2D' && a.length >= 9 && a[8]) now.bytes += a[4] * a[5] * texelBytes(a[6], a[7]);
      else if (name === 'linkProgram') now.links++;
      return real.apply(this, a);
    };
  }
  let last = 0, asked = 0;
  const realRaf = window.requestAnimationFrame.bind(window);
  window.requestAnimationFrame = (cb) => (asked = performance.now(), realRaf((t) => {
    const at = performance.now();
    const running = typeof DemoPage !== 'undefined' && DemoPage.status === 'running' && typeof Module !== 'undefined' &&
      Module._web_current_part;
    if (running && last) {
      const part = Module._web_current_part();
      const p = stats.parts[part] || (stats.parts[part] = { frames: 0, calls: 0, draws: 0, uniforms: 0, bytes: 0, links: 0 });
      p.frames++;
      for (const k of Object.keys(now)) p[k] += now[k];
      stats.frames.push([part, at - last, now.calls, now.links, asked - last]);
      const names = stats.names[part] || (stats.names[part] = {});
      for (const [k, v] of Object.entries(byName)) names[k] = (names[k] || 0) + v;
    }
    for (const k of Object.keys(byName)) delete byName[k];
    for (const k of Object.keys(now)) now[k] = 0;
    last = running ? at : 0;
    return cb(t);
  }));
}

// Per part, what a frame costs (means over its frames) and its median
// frame; the longest frames of the run, and per part the longest after the
// run's first frame against that part's median.
function frameCosts(stats) {
  const out = { parts: {}, longest: [] };
  const byPart = {};
  stats.frames.forEach(([part, ms, calls, links, work], i) => {
    const f = (byPart[part] = byPart[part] || []);
    out.longest.push({ part, ms, calls, links, work, i, nth: f.length + 1 });
    f.push({ ms, i, links, work });
  });
  for (const [part, p] of Object.entries(stats.parts)) {
    const f = byPart[part] || [];
    const later = f.filter((x) => x.i > 0);
    out.parts[part] = {
      calls: p.calls / p.frames, draws: p.draws / p.frames, uniforms: p.uniforms / p.frames, kib: p.bytes / p.frames / 1024,
      links: p.links, medianMs: median(f.map((x) => x.ms)), workMs: median(f.map((x) => x.work)), maxMs: later.length ? Math.max(...later.map((x) => x.ms)) : NaN,
      // The methods called most, per frame.
      most: Object.entries(stats.names[part] || {}).sort((a, b) => b[1] - a[1]).slice(0, 6)
        .map(([k, v]) => `${k} ${(v / p.frames).toFixed(0)}`).join(', '),
    };
  }
  out.longest.sort((a, b) => b.ms - a.ms);
  out.longest = out.longest.slice(0, 6);
  return out;
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
    await page.evaluateOnNewDocument(counterScript);
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
    const costs = frameCosts(await peek(page, () => window.__glStats));
    const fps = {};
    for (const [p, sp] of Object.entries(spans)) {
      if (sp.end && sp.end.now > sp.begin.now) fps[p] = (sp.end.frames - sp.begin.frames) / ((sp.end.now - sp.begin.now) / 1000);
    }
    return { question: t.question / 1000, answerToFirst: (t.firstFrame - t.answer) / 1000,
      toFirst: (t.firstFrame - (t.answer - t.question)) / 1000, fps, costs };
  } finally {
    await close();
    server.close();
  }
}

async function main() {
  const args = process.argv.slice(2);
  const option = (name, fallback) => { const i = args.indexOf(name); return i >= 0 ? args.splice(i, 2)[1] : fallback; };
  const rounds = Number(option('--rounds', '2'));
  const json = option('--json', null);
  const other = option('--vs', null);
  const engines = option('--engines', 'chromium,firefox').split(',');
  const [site, nativeBench] = args;
  sizes(site);
  // One run per engine and build, taking turns within each round.
  const sites = other ? [site, other] : [site];
  const runs = [];
  for (const e of engines) for (const [i, s] of sites.entries()) runs.push({ name: other ? `${e} ${'AB'[i]}` : e, engine: e, site: s });
  if (other) console.log(`A: ${site}\nB: ${other}`);
  console.log(`load average before: ${os.loadavg().map((v) => v.toFixed(2)).join(' ')} (${os.cpus().length} cores)`);
  const results = { native: [] };
  for (const run of runs) results[run.name] = [];
  for (let r = 0; r < rounds; r++) {
    for (const run of runs) {
      const one = await webRound(run.site, run.engine);
      console.log(`round ${r + 1} ${run.name}: first frame ${one.toFirst.toFixed(3)} s after navigation without the question's wait; ` +
        Object.entries(one.fps).map(([p, f]) => `${p}:${f.toFixed(1)}`).join(' '));
      console.log(`  longest frames: ${one.costs.longest.map((x) => `${x.ms.toFixed(0)} ms in part ${x.part} (its frame ${x.nth}, ` +
        `the demo's work ${x.work.toFixed(0)} ms)` +
        (x.links ? ` (${x.links} programs linked)` : '') + (x.i === 0 ? ' (the first)' : '')).join(', ')}`);
      results[run.name].push(one);
    }
    if (nativeBench) results.native.push(nativeRound(nativeBench));
  }
  console.log(`load average after: ${os.loadavg().map((v) => v.toFixed(2)).join(' ')}`);
  const names = runs.map((run) => run.name);
  for (const e of names) {
    const m = (k) => median(results[e].map((x) => x[k])).toFixed(3);
    console.log(`${e}: navigation to the question ${m('question')} s; answer to the first frame ${m('answerToFirst')} s; ` +
      `navigation to the first frame without the wait ${m('toFirst')} s (medians of ${rounds})`);
  }
  console.log(['part', ...names.map((e) => `${e} fps`), ...(nativeBench ? ['native llvmpipe fps'] : [])].join(' | '));
  for (let p = 1; p <= 8; p++) {
    const cells = names.map((e) => median(results[e].map((x) => x.fps[p]).filter((v) => v !== undefined)).toFixed(1));
    if (nativeBench) cells.push(median(results.native.map((x) => x[p])).toFixed(1));
    console.log([String(p), ...cells].join(' | '));
  }
  for (const e of names) {
    console.log(`${e}, per frame (medians of ${rounds} rounds of the means over each part's frames):`);
    console.log('part | WebGL calls | draws | uniform calls | uploaded KiB | programs linked | median frame ms | the demo\'s work ms | longest frame ms | longest / median');
    for (let p = 1; p <= 8; p++) {
      const m = (k) => median(results[e].map((x) => (x.costs.parts[p] || {})[k]).filter((v) => v !== undefined));
      console.log([p, m('calls').toFixed(0), m('draws').toFixed(0), m('uniforms').toFixed(0), m('kib').toFixed(0), m('links').toFixed(0),
        m('medianMs').toFixed(1), m('workMs').toFixed(1), m('maxMs').toFixed(0), (m('maxMs') / m('medianMs')).toFixed(2)].join(' | '));
    }
    const last = results[e][results[e].length - 1];
    console.log(`${e}, the calls made most per frame (last round):`);
    for (let p = 1; p <= 8; p++) if (last.costs.parts[p]) console.log(`${p} | ${last.costs.parts[p].most}`);
  }
  if (json) fs.writeFileSync(json, JSON.stringify(results, null, 1));
}

main().then(() => process.exit(0), (e) => {
  console.error(e.message);
  process.exit(1);
});
