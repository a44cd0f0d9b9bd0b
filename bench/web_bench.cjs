// web_bench.cjs -- the browser build measured (by hand, never by CTest):
//   - transfer size: every file of the page compressed with gzip -9;
//   - time from navigation to the first frame of part 1 on 127.0.0.1,
//     without the time the question waited for its answer;
//   - each part's frame rate in headless chromium on SwiftShader, the demo
//     left to run to its end (the music moves the parts);
//   - beside it, when given, the native frame time of the same parts on
//     llvmpipe from bench_scene_frames, run first in the same run.
//
//   node bench/web_bench.cjs build-web [build-bench/bench/bench_scene_frames]
// puppeteer-core comes from tests/web (tests/web/web_test.sh setup).
'use strict';

const fs = require('fs');
const http = require('http');
const path = require('path');
const zlib = require('zlib');
const { execFileSync } = require('child_process');
const puppeteer = require(path.join(__dirname, '../tests/web/node_modules/puppeteer-core'));

const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };

async function main() {
  const [site, nativeBench] = process.argv.slice(2);
  const files = ['index.html', 'demo.css', 'demo-page.js', 'demo.js', 'demo.wasm'];
  let raw = 0, packed = 0;
  for (const f of files) {
    const data = fs.readFileSync(path.join(site, f));
    const z = zlib.gzipSync(data, { level: 9 }).length;
    raw += data.length;
    packed += z;
    console.log(`${f.padEnd(14)} ${String(data.length).padStart(9)} B, gzip -9 ${String(z).padStart(9)} B`);
  }
  console.log(`${'total'.padEnd(14)} ${String(raw).padStart(9)} B, gzip -9 ${String(packed).padStart(9)} B`);

  let native = {};
  if (nativeBench) {
    const out = execFileSync(nativeBench, ['--benchmark_filter=PartFrame', '--benchmark_format=json'],
      { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] });
    for (const b of JSON.parse(out).benchmarks) {
      const m = b.name.match(/Part\D*(\d)/);
      if (m) native[m[1]] = 1000 / (b.real_time * (b.time_unit === 'us' ? 1e-3 : b.time_unit === 'ns' ? 1e-6 : 1));
    }
  }

  const server = http.createServer((req, res) => {
    const u = new URL(req.url, 'http://x');
    const f = path.join(site, u.pathname.endsWith('/') ? u.pathname + 'index.html' : u.pathname);
    fs.readFile(f, (e, d) => {
      if (e) { res.writeHead(404); res.end(); return; }
      res.writeHead(200, { 'Content-Type': TYPES[path.extname(f)] || 'application/octet-stream' });
      res.end(d);
    });
  });
  await new Promise((r) => server.listen(0, '127.0.0.1', r));
  const browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'] });
  try {
    const page = await browser.newPage();
    await page.goto(`http://127.0.0.1:${server.address().port}/`);
    await page.waitForFunction(() => DemoPage.status === 'question', { timeout: 60000 });
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => DemoPage.times.firstFrame, { timeout: 60000 });
    const t = await page.evaluate(() => DemoPage.times);
    console.log(`navigation to the question ${(t.question / 1000).toFixed(3)} s; answer to the first frame ` +
      `${((t.firstFrame - t.answer) / 1000).toFixed(3)} s; navigation to the first frame without the wait ` +
      `${((t.firstFrame - (t.answer - t.question)) / 1000).toFixed(3)} s`);
    const spans = {};
    let last = null;
    for (;;) {
      const s = await page.evaluate(() => ({ status: DemoPage.status, part: Module._web_current_part(),
        frames: DemoPage.frames, now: performance.now() }));
      if (s.status === 'ended') break;
      if (!last || s.part !== last.part) {
        if (last) spans[last.part].end = last;
        spans[s.part] = { begin: s };
      }
      last = s;
      await new Promise((r) => setTimeout(r, 50));
    }
    if (last) spans[last.part].end = last;
    for (let p = 1; p <= 8; p++) {
      const sp = spans[p];
      if (!sp || !sp.end) continue;
      const fps = (sp.end.frames - sp.begin.frames) / ((sp.end.now - sp.begin.now) / 1000);
      const n = native[p] ? `, native llvmpipe ${native[p].toFixed(1)} fps` : '';
      console.log(`part ${p}: chromium/SwiftShader ${fps.toFixed(1)} fps${n}`);
    }
  } finally {
    await browser.close();
    server.close();
  }
}

main().catch((e) => {
  console.error(e.message);
  process.exit(1);
});
