// driver.cjs -- the two browser engines the page is tested (and measured) in,
// driven by puppeteer-core, and what the tests need around them:
//   - Debian's chromium, headless on SwiftShader (CDP);
//   - Debian's firefox-esr, with a display of its own from Xvfb (headless
//     Firefox offers no WebGL 2 here), through WebDriver BiDi.
// The page is only ever read through a channel that hands it no user
// activation (peek): puppeteer's evaluate does, and a page activated by its
// test driver may start sound where a visitor's would not. Keys, clicks and
// taps go in as real input.
'use strict';

const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const { spawn } = require('child_process');
const puppeteer = require('puppeteer-core');

const ENGINES = {
  chromium: process.env.CHROMIUM || '/usr/bin/chromium',
  firefox: process.env.FIREFOX || '/usr/bin/firefox-esr',
};

function fail(message) {
  throw new Error(message);
}

// --- a static server for SITE on 127.0.0.1 ---------------------------------
const TYPES = {
  '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm', '.png': 'image/png',
};
// `refuse`: paths (from the site's root, "/demo.wasm") answered 404.
function serve(site, { refuse = [] } = {}) {
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, 'http://x');
    const file = path.join(site, path.normalize(decodeURIComponent(url.pathname)).replace(/^(\.\.[/\\])+/, ''));
    const target = url.pathname.endsWith('/') ? path.join(file, 'index.html') : file;
    if (refuse.includes(url.pathname)) { res.writeHead(404); res.end(); return; }
    fs.readFile(target, (err, data) => {
      if (err) { res.writeHead(404); res.end(); return; }
      res.writeHead(200, { 'Content-Type': TYPES[path.extname(target)] || 'application/octet-stream' });
      res.end(data);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// --- an X display for Firefox ---------------------------------------------------
function startXvfb(size) {
  return new Promise((resolve, reject) => {
    const x = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', `${size}x24`, '-nolisten', 'tcp'],
      { stdio: ['ignore', 'ignore', 'pipe', 'pipe'] });
    let number = '', errors = '';
    x.stderr.on('data', (d) => { errors += d; });
    x.stdio[3].on('data', (d) => {
      number += d;
      if (number.includes('\n')) resolve({ display: ':' + number.trim(), stop: () => x.kill() });
    });
    x.on('error', reject);
    x.on('exit', (code) => reject(new Error(`Xvfb ended (${code}): ${errors}`)));
  });
}

// --- a sound server for Firefox ---------------------------------------------------
// Firefox opens no sound output without one: PulseAudio with a null sink
// (what it plays goes nowhere), on a socket of its own. null when Debian's
// pulseaudio is not installed (Firefox then has no sound).
async function startPulse() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'web-pulse-'));
  const socket = path.join(dir, 'native');
  let p;
  try {
    p = spawn('pulseaudio', ['--daemonize=no', '--system=false', '--exit-idle-time=-1', '-n', '--log-target=stderr',
      '-L', 'module-null-sink', '-L', `module-native-protocol-unix socket=${socket} auth-anonymous=1`],
    { stdio: 'ignore', env: { ...process.env, XDG_RUNTIME_DIR: dir, HOME: dir } });
  } catch (e) {
    return null;
  }
  const ended = new Promise((resolve) => { p.on('error', resolve); p.on('exit', resolve); });
  for (let i = 0; i < 100 && !fs.existsSync(socket); i++) {
    if (await Promise.race([ended.then(() => true), new Promise((r) => setTimeout(() => r(false), 100))])) break;
  }
  // (The server may still write there as it ends.)
  const stop = () => {
    p.kill();
    try { fs.rmSync(dir, { recursive: true, force: true, maxRetries: 5 }); } catch (e) { /* left in the temporary folder */ }
  };
  if (!fs.existsSync(socket)) { stop(); return null; }
  return { server: 'unix:' + socket, stop };
}

// Everything started here ends with the process, also when a test fails.
const children = new Set();
process.on('exit', () => { for (const stop of children) stop(); });
process.on('SIGTERM', () => process.exit(143));
process.on('SIGINT', () => process.exit(130));

// --- the browser ------------------------------------------------------------------
// A call the browser has not answered in this time fails the test (a page
// that hangs), well before CTest's own limit.
const PROTOCOL_TIMEOUT_MS = 90000;

// Opens a page in `engine`. `screen` ("WxH"): the browser's window (and
// Firefox's display) that size, the page's viewport the window's; else a
// viewport of `viewport` ({ width, height, deviceScaleFactor, hasTouch,
// isMobile }). Returns { browser, page, close }.
async function open(engine, { screen = null, viewport = { width: 1000, height: 700 }, args = [] } = {}) {
  const executablePath = ENGINES[engine] || fail(`no engine "${engine}" (chromium or firefox)`);
  let xvfb = null, pulse = null, browser;
  const stopAll = () => {
    if (xvfb) xvfb.stop();
    if (pulse) pulse.stop();
    children.delete(stopAll);
  };
  children.add(stopAll);
  try {
    if (engine === 'chromium') {
      browser = await puppeteer.launch({
        executablePath,
        headless: true,
        protocolTimeout: PROTOCOL_TIMEOUT_MS,
        args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', ...args]
          .concat(screen ? [`--screen-info={${screen}}`, `--window-size=${screen.replace('x', ',')}`] : []),
        defaultViewport: null,
      });
    } else {
      xvfb = await startXvfb(screen || '1280x1024');
      pulse = await startPulse();
      browser = await puppeteer.launch({
        browser: 'firefox',
        executablePath,
        protocolTimeout: PROTOCOL_TIMEOUT_MS,
        headless: false,
        env: { ...process.env, DISPLAY: xvfb.display, ...(pulse ? { PULSE_SERVER: pulse.server } : {}) },
        args: screen ? [`--width=${screen.split('x')[0]}`, `--height=${screen.split('x')[1]}`, ...args] : args,
        defaultViewport: null,
        extraPrefsFirefox: {
          // Touch events for touch input, as on a touch screen.
          'dom.w3c_touch_events.enabled': 1,
          // Full screen at once, without the notice that covers the picture.
          'full-screen-api.transition-duration.enter': '0 0',
          'full-screen-api.transition-duration.leave': '0 0',
          'full-screen-api.warning.timeout': 0,
        },
      });
    }
    const pages = await browser.pages();
    const page = pages.length ? pages[0] : await browser.newPage();
    if (!screen) await page.setViewport(viewport);
    const close = async () => {
      await browser.close().catch(() => {});
      stopAll();
    };
    return { browser, page, close, sound: engine === 'chromium' || !!pulse };
  } catch (e) {
    if (browser) await browser.close().catch(() => {});
    stopAll();
    throw e;
  }
}

// Runs `fn` (a function, with JSON arguments) in the page and returns its
// JSON result, with no user activation: chromium's Runtime.evaluate with
// userGesture false, BiDi's script.evaluate with userActivation false.
async function peek(page, fn, ...args) {
  const expression = `JSON.stringify((${fn})(${args.map((a) => JSON.stringify(a)).join(', ')}))`;
  const what = String(fn).replace(/\s+/g, ' ').slice(0, 80);
  // Firefox's driver, on a heavily loaded machine, now and then never
  // answers one read (seen at a load of 6 to 11 on two cores, never alone):
  // a read unanswered in 20 s is asked again, once, and said so (a driver
  // that has stopped never answered the second asking either).
  for (let attempt = 1; ; attempt++) {
    let timer;
    const late = new Promise((resolve) => { timer = setTimeout(() => resolve(LATE), PEEK_TIMEOUT_MS); });
    try {
      const value = await Promise.race([peekExpression(page, expression), late]);
      if (value !== LATE) return value;
    } catch (e) {
      e.message += ` (reading ${what})`;
      throw e;
    } finally {
      clearTimeout(timer);
    }
    if (attempt === 2) {
      const e = new Error(`no answer from the page in ${attempt} x ${PEEK_TIMEOUT_MS / 1000} s (reading ${what})`);
      e.unanswered = true;
      throw e;
    }
    console.error(`(no answer from the page in ${PEEK_TIMEOUT_MS / 1000} s, asked again: ${what})`);
  }
}
const LATE = Symbol('late');
const PEEK_TIMEOUT_MS = 20000;

async function peekExpression(page, expression) {
  let value;
  if (page.browser().protocol === 'webDriverBiDi') {
    const r = await page.mainFrame().mainRealm().realm.evaluate(expression, false,
      { userActivation: false, resultOwnership: 'none' });
    if (r.type === 'exception') fail(`in the page: ${r.exceptionDetails.text}`);
    value = r.result.value;
  } else {
    if (!page.__peek) page.__peek = await page.target().createCDPSession();
    const r = await page.__peek.send('Runtime.evaluate', { expression, returnByValue: true, userGesture: false });
    if (r.exceptionDetails) fail(`in the page: ${r.exceptionDetails.exception ? r.exceptionDetails.exception.description : r.exceptionDetails.text}`);
    value = r.result.value;
  }
  return value === undefined ? undefined : JSON.parse(value);
}

// --- pictures -------------------------------------------------------------------
// An 8-bit RGB or RGBA PNG, not interlaced, as the capture tool and the
// browsers' screenshots write: { width, height, rgb }.
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

async function screenshot(page) {
  return readPngBuffer(Buffer.from(await page.screenshot({ type: 'png' })));
}

module.exports = { ENGINES, fail, serve, open, peek, readPngBuffer, screenshot };
