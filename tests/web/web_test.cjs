// web_test.cjs -- the browser build (build-web/ of `make web`) in Debian's
// chromium, headless on SwiftShader, driven by puppeteer-core.
//
//   node web_test.cjs page     SITE   the question, Escape = No, part 1, Right x7 = part 8, Escape = the end
//   node web_test.cjs music    SITE   the AudioContext runs; untouched, the parts follow the music to the end
//   node web_test.cjs nowebgl2 SITE   a browser without WebGL 2 gets the page's message
//   node web_test.cjs fullscreen SITE WxH...  Yes on screens of these sizes: the desktop's placement, Escape ends it
//   node web_test.cjs hidden   SITE   a hidden tab draws nothing, the music goes on, back at the music's part
//   node web_test.cjs nosound  SITE   sound that cannot start: the message on the page, the silent timeline
//   node web_test.cjs at       SITE CAPTURE FPS   ?at= frames against demo-capture's stills
//
// Every check fails the run with a message; any console error or page error
// fails it too. The page is served from SITE by a server inside this process.
'use strict';

const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const { execFileSync } = require('child_process');
const puppeteer = require('puppeteer-core');

const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
const BYTES_PER_SECOND = 176400;

function fail(message) {
  throw new Error(message);
}

// --- a static server for SITE on 127.0.0.1 ---------------------------------
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };
function serve(site) {
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, 'http://x');
    const file = path.join(site, path.normalize(decodeURIComponent(url.pathname)).replace(/^(\.\.[/\\])+/, ''));
    const target = url.pathname.endsWith('/') ? path.join(file, 'index.html') : file;
    fs.readFile(target, (err, data) => {
      if (err) { res.writeHead(404); res.end(); return; }
      res.writeHead(200, { 'Content-Type': TYPES[path.extname(target)] || 'application/octet-stream' });
      res.end(data);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

async function withPage(site, body, { noWebgl2 = false, noAudio = false, screen = null } = {}) {
  const server = await serve(site);
  const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader']
      .concat(screen ? [`--screen-info={${screen}}`, `--window-size=${screen.replace('x', ',')}`] : []),
    defaultViewport: screen ? null : undefined,
  });
  const problems = [];
  try {
    const page = await browser.newPage();
    if (!screen) await page.setViewport({ width: 1000, height: 700, hasTouch: true });
    page.on('console', (m) => { if (m.type() === 'error') problems.push('console error: ' + m.text()); });
    page.on('pageerror', (e) => problems.push('page error: ' + e.message));
    if (noWebgl2) {
      await page.evaluateOnNewDocument(() => {
        const getContext = HTMLCanvasElement.prototype.getContext;
        HTMLCanvasElement.prototype.getContext = function (type, ...rest) {
          return type === 'webgl2' ? null : getContext.call(this, type, ...rest);
        };
      });
    }
    if (noAudio) {
      await page.evaluateOnNewDocument(() => {
        window.AudioContext = function () { throw new Error('no audio output'); };
      });
    }
    const base = `http://127.0.0.1:${server.address().port}/`;
    await body(page, base, problems);
    if (problems.length) fail(problems.join('\n'));
  } finally {
    await browser.close();
    server.close();
  }
}

const state = (page) => page.evaluate(() => {
  // The exports answer once the runtime is up.
  const ask = (f) => { try { return Module[f](); } catch (e) { return 0; } };
  return {
    status: DemoPage.status,
    part: ask('_web_current_part'),
    music: ask('_web_music_position'),
    audio: DemoPage.audio.ctx ? DemoPage.audio.ctx.state : 'none',
    frames: DemoPage.frames,
    now: performance.now(),
  };
});

async function waitFor(page, what, predicate, seconds) {
  const until = Date.now() + seconds * 1000;
  for (;;) {
    const s = await state(page);
    if (predicate(s)) return s;
    if (Date.now() > until) fail(`${what}: not within ${seconds} s (last state ${JSON.stringify(s)})`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

// Waits until the demo has drawn `count` more frames.
async function framesPass(page, count) {
  const s = await state(page);
  return waitFor(page, `${count} frames`, (t) => t.frames >= s.frames + count, 30);
}

const visible = (page, id) => page.$eval('#' + id, (e) => !e.hidden && e.getBoundingClientRect().width > 0);

// The drawing surface's pixels: how many are not black.
const litPixels = (page) => page.evaluate(() => {
  const w = Module._web_surface_width(), h = Module._web_surface_height();
  const p = Module._malloc(w * h * 4);
  Module._web_read_surface(p);
  const px = HEAPU8.subarray(p, p + w * h * 4);
  let lit = 0;
  for (let i = 0; i < px.length; i += 4) if (px[i] | px[i + 1] | px[i + 2]) lit++;
  Module._free(p);
  return lit;
});

async function answerNo(page, base) {
  await page.goto(base, { waitUntil: 'load' });
  await waitFor(page, 'the question', (s) => s.status === 'question', 60);
  if (!(await visible(page, 'question'))) fail('the question is not shown');
  const caption = await page.$eval('#question-caption', (e) => e.textContent);
  const text = await page.$eval('#question-text', (e) => e.textContent);
  if (caption !== 'Question' || text !== 'Switch to Fullscreen ?') fail(`question reads "${caption}" / "${text}"`);
  await page.keyboard.press('Escape');
  return waitFor(page, 'the demo running after No', (s) => s.status === 'running' && s.frames > 0, 60);
}

// --- page ---------------------------------------------------------------------
async function testPage(site) {
  await withPage(site, async (page, base) => {
    await answerNo(page, base);
    const box = await page.$eval('#canvas', (c) => [c.width, c.height, c.clientWidth, c.clientHeight]);
    if (box.join() !== '640,480,640,480') fail(`the canvas is ${box} (drawing buffer, CSS), not 640 x 480`);
    if (await page.evaluate(() => document.body.classList.contains('fullscreen'))) fail('No gave full screen');
    const s = await framesPass(page, 3);
    if (s.part !== 1) fail(`part ${s.part} after the answer, not 1`);
    // The splash stood over the page while the demo loaded: shown, painted
    // with its soft edge over the page's colour, gone before the first frame.
    const splash = await page.evaluate(() => {
      const c = document.getElementById('splash'), t = DemoPage.times;
      const px = (x, y) => Array.from(c.getContext('2d').getImageData(x, y, 1, 1).data.slice(0, 3)).join();
      const bg = getComputedStyle(document.body).backgroundColor.match(/\d+/g).join();
      return { seen: DemoPage.splashSeen === true, order: t.splashShown <= t.splashPainted && t.splashPainted <= t.splashHidden && t.splashHidden <= t.firstFrame,
        hidden: c.hidden, size: [c.width, c.height].join(), corner: px(0, 0), centre: px(160, 120), bg };
    });
    if (!splash.seen || !splash.order || !splash.hidden) fail(`the splash was not shown, painted and hidden before part 1: ${JSON.stringify(splash)}`);
    if (splash.size !== '320,240' || splash.corner !== splash.bg || splash.centre === splash.bg) {
      fail(`the splash is not the picture over the page: ${JSON.stringify(splash)}`);
    }
    if ((await litPixels(page)) < 100000) fail('part 1 draws a (nearly) black picture');
    // A tap on the right half steps forward, on the left half back.
    await page.touchscreen.tap(900, 300);
    await framesPass(page, 2);
    if ((await state(page)).part !== 2) fail('a tap on the right half did not step to part 2');
    await page.touchscreen.tap(100, 300);
    await framesPass(page, 2);
    if ((await state(page)).part !== 1) fail('a tap on the left half did not step back to part 1');
    for (let i = 0; i < 7; i++) await page.keyboard.press('ArrowRight');
    await framesPass(page, 2);
    const s8 = await state(page);
    if (s8.part !== 8) fail(`part ${s8.part} after Right seven times, not 8`);
    await page.keyboard.press('Escape');
    await waitFor(page, 'the ended page', (t) => t.status === 'ended', 10);
    if (!(await visible(page, 'ended'))) fail('the ended page is not shown');
    if (await visible(page, 'canvas')) fail('the canvas is still shown after the end');
    const again = await page.$eval('#again', (a) => a.getAttribute('href'));
    if (!again) fail('the ended page has no way to play again');
    console.log('page: question, No, splash, part 1, taps, part 8, ended');
  });
}

// --- music --------------------------------------------------------------------
async function testMusic(site) {
  await withPage(site, async (page, base) => {
    const first = await answerNo(page, base);
    if (first.audio !== 'running') fail(`the AudioContext is ${first.audio} after the answer`);
    // The position advances with the page's clock.
    const a = await state(page);
    await new Promise((r) => setTimeout(r, 2000));
    const b = await state(page);
    const heard = (b.music - a.music) / BYTES_PER_SECOND, passed = (b.now - a.now) / 1000;
    if (!(Math.abs(heard - passed) < 0.15)) fail(`music advanced ${heard.toFixed(3)} s in ${passed.toFixed(3)} s`);
    // Untouched: the parts follow one another with the music, and the end
    // comes with it (the music's own clock).
    const changes = [];
    let last = b.part;
    for (;;) {
      const s = await state(page);
      if (s.status === 'ended') break;
      if (s.part !== last) {
        changes.push([s.part, s.music / BYTES_PER_SECOND]);
        last = s.part;
      }
      if (s.now - b.now > 90000) fail(`no end after 90 s; parts ${JSON.stringify(changes)}`);
      await new Promise((r) => setTimeout(r, 100));
    }
    const parts = changes.map((c) => c[0]).join();
    if (parts !== '2,3,4,5,6,7,8') fail(`parts came as ${parts}`);
    // Each change seen after its sync time and before the next one (how much
    // after depends on the frame rate and the polling, which load changes).
    const syncs = [8.3, 16.6, 25.1, 33.5, 41.7, 50.1, 57.7, 65.6];
    changes.forEach(([part, at], i) => {
      if (!(at >= syncs[i] && at < syncs[i + 1])) fail(`part ${part} came at ${at.toFixed(3)} s of music, not after ${syncs[i]}`);
    });
    const endedAt = await page.evaluate(() => DemoPage.endedAtMusicSeconds);
    // The end: the first frame at or after 65.6 s of music, then its Right.
    if (!(endedAt >= 65.6 && endedAt < 66.6)) fail(`the end came at ${endedAt} s of music, not about 65.6`);
    console.log(`music: ${heard.toFixed(3)} s in ${passed.toFixed(3)} s; parts at ` +
      changes.map((c) => `${c[0]}@${c[1].toFixed(2)}`).join(' ') + `; ended at ${endedAt.toFixed(3)} s`);
  });
}

// --- no WebGL 2 ---------------------------------------------------------------
async function testNoWebgl2(site) {
  await withPage(site, async (page, base) => {
    await page.goto(base, { waitUntil: 'load' });
    await waitFor(page, 'the no-WebGL 2 page', (s) => s.status === 'no-webgl2', 20);
    if (!(await visible(page, 'no-webgl2'))) fail('the message is not shown');
    if (await visible(page, 'question')) fail('the question is shown without WebGL 2');
    const text = await page.$eval('#no-webgl2', (e) => e.textContent);
    if (!/WebGL 2/.test(text)) fail(`the message reads "${text}"`);
    console.log('nowebgl2: message shown');
  }, { noWebgl2: true });
}

// --- Yes: full screen ------------------------------------------------------------
// Where the desktop's placement puts the picture on a screen of that size
// (CSS pixels at a device pixel ratio of 1; top counted from the top).
const PLACED = {
  '1920x1080': [320, 60, 1280, 960],   // twice 640 x 480, centred
  '1366x768': [171, 0, 1024, 768],     // below twice: as large as fits
  '1440x900': [120, 0, 1200, 900],
  '1280x800': [107, 0, 1066, 800],
};

// The bounding box [left, top, width, height] of the screenshot's pixels
// brighter than near-black.
async function litBox(page) {
  const shot = readPngBuffer(Buffer.from(await page.screenshot({ type: 'png' })));
  let left = shot.width, top = shot.height, right = -1, bottom = -1;
  for (let y = 0; y < shot.height; y++) {
    for (let x = 0; x < shot.width; x++) {
      const i = (y * shot.width + x) * 3;
      if (shot.rgb[i] + shot.rgb[i + 1] + shot.rgb[i + 2] > 24) {
        left = Math.min(left, x); right = Math.max(right, x);
        top = Math.min(top, y); bottom = Math.max(bottom, y);
      }
    }
  }
  return right < 0 ? [0, 0, 0, 0] : [left, top, right - left + 1, bottom - top + 1];
}

// Yes on a screen of each size (chromium's window and viewport that size):
// the canvas and what the screenshot shows lit stand where the desktop's
// placement puts the picture; no cursor; Escape leaves and ends the demo.
async function testFullScreen(site, screens) {
  const lines = [];
  for (const screen of screens) {
    const want = PLACED[screen] || fail(`no placement known for ${screen}`);
    await withPage(site, async (page, base) => {
      await page.goto(base, { waitUntil: 'load' });
      await waitFor(page, 'the question', (s) => s.status === 'question', 60);
      await page.keyboard.press('Enter');
      await waitFor(page, 'the demo running after Yes', (s) => s.status === 'running' && s.frames > 0, 60);
      // Part 8: its clear colour lights the whole picture.
      for (let i = 0; i < 7; i++) await page.keyboard.press('ArrowRight');
      await waitFor(page, 'part 8', (s) => s.part === 8, 20);
      await framesPass(page, 5);
      const look = await page.evaluate(() => {
        const c = document.getElementById('canvas'), r = c.getBoundingClientRect();
        return { full: !!document.fullscreenElement, viewport: [innerWidth, innerHeight].join('x'),
          buffer: [c.width, c.height], box: [r.left, r.top, r.width, r.height], cursor: getComputedStyle(c).cursor };
      });
      if (!look.full) fail(`${screen}: Yes did not go full screen`);
      if (look.viewport !== screen) fail(`${screen}: the full-screen viewport is ${look.viewport}`);
      if (look.box.join() !== want.join() || look.buffer.join() !== want.slice(2).join()) {
        fail(`${screen}: the canvas stands at ${look.box} (buffer ${look.buffer}), not at ${want}`);
      }
      const lit = await litBox(page);
      if (lit.join() !== want.join()) fail(`${screen}: the screenshot is lit at ${lit}, not at ${want}`);
      if (look.cursor !== 'none') fail(`${screen}: the cursor is ${look.cursor} over the picture`);
      await page.keyboard.press('Escape');
      await waitFor(page, 'the ended page after Escape in full screen', (t) => t.status === 'ended', 10);
      if (await page.evaluate(() => !!document.fullscreenElement)) fail(`${screen}: still full screen after the end`);
      lines.push(`${screen}: ${want[2]} x ${want[3]} at ${want[0]}, ${want[1]}`);
    }, { screen });
  }
  console.log(`fullscreen: ${lines.join('; ')}; no cursor; Escape ends it`);
}

// --- a hidden tab ------------------------------------------------------------------
async function testHiddenTab(site) {
  await withPage(site, async (page, base) => {
    await answerNo(page, base);
    const before = await state(page);
    const other = await page.browser().newPage();
    await other.bringToFront();
    // Hidden past the first sync time (8.3 s): no frames, the music goes on.
    await new Promise((r) => setTimeout(r, 1000));
    const hidden = await state(page);
    await new Promise((r) => setTimeout(r, Math.max(0, 9.5 - hidden.music / BYTES_PER_SECOND) * 1000));
    const late = await state(page);
    if (await page.evaluate(() => document.visibilityState) !== 'hidden') fail('the tab did not go hidden');
    if (late.frames !== hidden.frames) fail(`frames drawn in a hidden tab: ${hidden.frames} -> ${late.frames}`);
    const heard = (late.music - hidden.music) / BYTES_PER_SECOND, passed = (late.now - hidden.now) / 1000;
    if (!(Math.abs(heard - passed) < 0.3)) fail(`the music moved ${heard.toFixed(3)} s in ${passed.toFixed(3)} s in the hidden tab`);
    await other.close();
    await page.bringToFront();
    const back = await waitFor(page, 'part 2 after coming back', (t) => t.part === 2 && t.frames > late.frames, 20);
    console.log(`hidden: frames ${before.frames} -> ${late.frames} while hidden, music ${(late.music / BYTES_PER_SECOND).toFixed(2)} s, ` +
      `back in part ${back.part}`);
  });
}

// --- sound that cannot start ------------------------------------------------------
async function testNoSound(site) {
  await withPage(site, async (page, base) => {
    await answerNo(page, base);
    const notices = await page.$eval('#notices', (e) => e.textContent);
    if (!notices.includes('Shit !: Could not initialize BASS, switching to no-sound')) {
      fail(`no message about the sound on the page: "${notices}"`);
    }
    // Silent, the music's timeline still moves the parts.
    const a = await state(page);
    await new Promise((r) => setTimeout(r, 1500));
    const b = await state(page);
    const moved = (b.music - a.music) / BYTES_PER_SECOND, passed = (b.now - a.now) / 1000;
    if (!(Math.abs(moved - passed) < 0.2)) fail(`the silent timeline moved ${moved.toFixed(3)} s in ${passed.toFixed(3)} s`);
    console.log(`nosound: message shown; silent timeline ${moved.toFixed(3)} s in ${passed.toFixed(3)} s`);
  }, { noAudio: true });
}

// --- ?at= against the capture tool ---------------------------------------------
// An 8-bit RGB or RGBA PNG, not interlaced, as the capture tool writes.
function readPng(file) {
  return readPngBuffer(fs.readFileSync(file), file);
}

function readPngBuffer(buf, file = 'the picture') {
  let pos = 8, width = 0, height = 0, channels = 0;
  const idat = [];
  while (pos < buf.length) {
    const len = buf.readUInt32BE(pos), type = buf.toString('latin1', pos + 4, pos + 8);
    const data = buf.subarray(pos + 8, pos + 8 + len);
    if (type === 'IHDR') {
      width = data.readUInt32BE(0);
      height = data.readUInt32BE(4);
      if (data[8] !== 8 || data[12] !== 0) fail(`${file}: not an 8-bit, non-interlaced PNG`);
      channels = { 2: 3, 6: 4 }[data[9]] || fail(`${file}: colour type ${data[9]}`);
    } else if (type === 'IDAT') idat.push(data);
    pos += 12 + len;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = width * channels, out = Buffer.alloc(width * height * 3);
  let prev = Buffer.alloc(stride), row = Buffer.alloc(stride);
  for (let y = 0; y < height; y++) {
    const f = raw[y * (stride + 1)], src = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; i++) {
      const a = i >= channels ? row[i - channels] : 0, b = prev[i], c = i >= channels ? prev[i - channels] : 0;
      let v = src[i];
      if (f === 1) v += a;
      else if (f === 2) v += b;
      else if (f === 3) v += (a + b) >> 1;
      else if (f === 4) {
        const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        v += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      row[i] = v & 255;
    }
    for (let x = 0; x < width; x++) for (let k = 0; k < 3; k++) out[(y * width + x) * 3 + k] = row[x * channels + k];
    [prev, row] = [row, prev];
  }
  return { width, height, rgb: out };
}

async function testAt(site, capture, fps, times) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'web-at-'));
  try {
    execFileSync(capture, ['--fps', String(fps), '--stills', times.join(','), '--no-progress', '-o', dir + '/'],
      { stdio: ['ignore', 'ignore', 'inherit'] });
    const stills = fs.readdirSync(dir).filter((f) => f.endsWith('.png')).sort();
    if (stills.length !== times.length) fail(`demo-capture wrote ${stills.length} stills for ${times.length} times`);
    await withPage(site, async (page, base) => {
      const lines = [];
      let bad = [];
      for (const t of times) {
        await page.goto(`${base}?at=${t}&fps=${fps}`, { waitUntil: 'load' });
        const started = Date.now();
        while (!(await page.evaluate(() => DemoPage.at !== null))) {
          if (Date.now() - started > 240000) fail(`?at=${t}: no frame within 240 s`);
          await new Promise((r) => setTimeout(r, 100));
        }
        const at = await page.evaluate(() => DemoPage.at);
        if (!at.ok) fail(`?at=${t}: ${at.why}`);
        const shown = await page.evaluate(() => {
          const all = document.querySelectorAll('canvas'), c = all[0];
          return all.length === 1 && !c.hidden && c.width === 640 && c.height === 480 && DemoPage.audio.ctx === null &&
            DemoPage.times.question === undefined;
        });
        if (!shown) fail(`?at=${t}: not one shown 640 x 480 canvas, or a question or music`);
        const web = Buffer.from(await page.evaluate(() => {
          const p = Module._malloc(640 * 480 * 4);
          Module._web_read_surface(p);
          const copy = Array.from(HEAPU8.subarray(p, p + 640 * 480 * 4));
          Module._free(p);
          return copy;
        }));
        const file = path.join(dir, stills.find((f) => Math.abs(parseFloat(f.replace(/^still-/, '')) - t) < 1e-6) ||
          fail(`no still for ${t} among ${stills}`));
        const ref = readPng(file);
        if (ref.width !== 640 || ref.height !== 480) fail(`${file} is ${ref.width} x ${ref.height}`);
        // The surface is bottom row first, the PNG top row first.
        let sum = 0, within = 0;
        for (let y = 0; y < 480; y++) {
          for (let x = 0; x < 640; x++) {
            const w = ((479 - y) * 640 + x) * 4, r = (y * 640 + x) * 3;
            let worst = 0;
            for (let k = 0; k < 3; k++) {
              const d = Math.abs(web[w + k] - ref.rgb[r + k]);
              sum += d;
              worst = Math.max(worst, d);
            }
            if (worst <= 16) within++;
          }
        }
        const mean = sum / (640 * 480 * 3), share = within / (640 * 480);
        const line = `at ${t} s (frame ${at.frame}): mean ${mean.toFixed(3)}, within 16: ${(100 * share).toFixed(2)} %`;
        lines.push(line);
        if (!(mean <= 1.5 && share >= 0.99)) bad.push(line);
      }
      console.log(lines.join('\n'));
      if (bad.length) fail('frames off the capture tool\'s:\n' + bad.join('\n'));
    });
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

async function main() {
  const [what, site, ...rest] = process.argv.slice(2);
  if (!site || !fs.existsSync(path.join(site, 'index.html'))) fail(`no page at ${site} (make web builds build-web/)`);
  if (what === 'page') await testPage(site);
  else if (what === 'music') await testMusic(site);
  else if (what === 'nowebgl2') await testNoWebgl2(site);
  else if (what === 'nosound') await testNoSound(site);
  else if (what === 'fullscreen') await testFullScreen(site, rest);
  else if (what === 'hidden') await testHiddenTab(site);
  else if (what === 'at') await testAt(site, rest[0], Number(rest[1]), rest.slice(2).map(Number));
  else fail(`unknown test ${what}`);
}

main().catch((e) => {
  console.error(e.message);
  process.exit(1);
});
