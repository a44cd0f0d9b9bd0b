// web_test.cjs -- the browser build (build-web/ of `make web`) as visitors
// meet it, in Debian's chromium (headless, SwiftShader) or, with
// WEB_ENGINE=firefox, Debian's firefox-esr (on an Xvfb display of its own,
// sound through a PulseAudio null sink), driven by puppeteer-core. The page
// is read only through a channel that hands it no user activation
// (driver.cjs's peek); keys, clicks and taps are real input.
//
//   node web_test.cjs page       SITE  the question as a dialog, No, the splash, part 1, taps, part 8, the end; title, icon, policy
//   node web_test.cjs music      SITE  No by a click: sound, its position between audio callbacks, the parts to the end
//   node web_test.cjs escape     SITE  No by Escape: the demo at once, no sound until a click, then in step
//   node web_test.cjs nosound    SITE  sound that cannot start: the message, the silent timeline
//   node web_test.cjs nowebgl2   SITE  a browser without WebGL 2 gets the page's message
//   node web_test.cjs fullscreen SITE WxH...  Yes (Space) on screens of these sizes: the desktop's placement, Escape ends it
//   node web_test.cjs prefixed   SITE  Yes where only WebKit's prefixed full-screen calls exist
//   node web_test.cjs phone      SITE  390 x 844 at devicePixelRatio 3 with touch: the picture fits, taps, zoom, turned, End
//   node web_test.cjs sharp      SITE  the windowed picture at devicePixelRatio 2: a 1280 x 960 buffer, whole-pixel blocks
//   node web_test.cjs hidden     SITE  a tab hidden before the end: the demo ends there on time, the music stops
//   node web_test.cjs lost       SITE  the WebGL context lost and given back: the page's message, no music
//   node web_test.cjs deadends   SITE  .wasm and demo.js not found, a file:// address, an error after start-up, no JavaScript
//   node web_test.cjs params     SITE  ?at= and &fps= that are not numbers in range: the page's error
//   node web_test.cjs at         SITE CAPTURE FPS TIME...  ?at= frames against demo-capture's stills
//   node web_test.cjs serve      SITE  tools/web/serve.py (make serve-web) serves the page's files and nothing else
//
// Every check fails the run with a message; any console error or page error
// fails it too (where a test provokes errors, uncaught ones still do). What
// an engine cannot do here is said on a line "NOT RUN: ...".
'use strict';

const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');
const { fail, serve, open, peek, readPngBuffer, screenshot } = require('./driver.cjs');

const ENGINE = process.env.WEB_ENGINE || 'chromium';
const FIREFOX = ENGINE === 'firefox';
const BYTES_PER_SECOND = 176400;
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const say = (line) => console.log(`[${ENGINE}] ${line}`);
const cannot = (what, why) => console.log(`[${ENGINE}] NOT RUN: ${what}: ${why}`);

// Installed before the page's own scripts: what reaches the speakers (an
// analyser beside the output of every node that feeds it), where each music
// node was started, and the page's content-security-policy violations.
function pageHooks() {
  window.__violations = [];
  document.addEventListener('securitypolicyviolation', (e) => window.__violations.push(`${e.violatedDirective} ${e.blockedURI}`));
  if (typeof AudioNode === 'undefined') return;
  const connect = AudioNode.prototype.connect;
  AudioNode.prototype.connect = function (target, ...rest) {
    const result = connect.call(this, target, ...rest);
    if (target instanceof AudioDestinationNode) {
      if (!this.context.__tap) {
        this.context.__tap = this.context.createAnalyser();
        this.context.__tap.fftSize = 4096;
      }
      window.__tap = this.context.__tap;
      connect.call(this, this.context.__tap);
    }
    return result;
  };
  // RMS of what the output plays now (0 when nothing plays into it).
  window.__heard = () => {
    const a = window.__tap;
    if (!a || a.context.state !== 'running') return 0;
    const d = new Float32Array(a.fftSize);
    a.getFloatTimeDomainData(d);
    let sum = 0;
    for (const v of d) sum += v * v;
    return Math.sqrt(sum / d.length);
  };
  window.__starts = [];
  const start = AudioBufferSourceNode.prototype.start;
  AudioBufferSourceNode.prototype.start = function (when = 0, offset = 0, ...rest) {
    window.__starts.push({ at: this.context.currentTime, when, offset, loop: this.loop, duration: this.buffer.duration });
    return start.call(this, when, offset, ...rest);
  };
}

function noWebgl2() {
  const getContext = HTMLCanvasElement.prototype.getContext;
  HTMLCanvasElement.prototype.getContext = function (type, ...rest) {
    return type === 'webgl2' ? null : getContext.call(this, type, ...rest);
  };
}

function noAudio() {
  window.AudioContext = function () { throw new Error('no audio output'); };
}

// An output that starts late (a device slow to wake): until the test calls
// window.__startOutput() each context says it is suspended and resumes
// nothing.
function slowOutput() {
  const Real = window.AudioContext;
  if (!Real) return;
  const late = [];
  window.__startOutput = () => {
    for (const ctx of late.splice(0)) {
      ctx.__late = false;
      ctx.dispatchEvent(new Event('statechange'));
    }
    return true;
  };
  window.AudioContext = class extends Real {
    constructor(...args) {
      super(...args);
      this.__late = true;
      late.push(this);
    }
    get state() { return this.__late ? 'suspended' : super.state; }
    resume() { return this.__late ? new Promise(() => {}) : super.resume(); }
  };
}

// allowErrors: true lets console errors pass (not uncaught ones), 'all' both.
// A page whose browser stops answering altogether is opened again in a new
// browser, three times at most, and said so. (Firefox does, now and then on
// a loaded machine, just after the answer to the question: its content
// process waits for the sound output, whose server thread in the parent
// process waits on a lock, for good; seen in about one page in ten
// beside two busy loops. That says nothing about the page.) Stopped means a
// read unanswered twice, or any call of the driver's (a key, a click) past
// the protocol's time limit. Any other failure stands.
const browserStopped = (e) => e.unanswered || /timed out\. Increase the 'protocolTimeout'/.test(e.message);
async function withPage(site, body, options = {}) {
  for (let run = 1; ; run++) {
    try {
      return await withOnePage(site, body, options);
    } catch (e) {
      if (!browserStopped(e) || run === 4) throw e;
      console.error(`[${ENGINE}] ${e.message}: this page again in a new browser`);
    }
  }
}
async function withOnePage(site, body, { screen = null, viewport, refuse = [], hooks = [], allowErrors = false } = {}) {
  const server = await serve(site, { refuse });
  const session = await open(ENGINE, { screen, viewport });
  const { page } = session;
  const problems = [], uncaught = [];
  try {
    page.on('console', (m) => { if (m.type() === 'error') problems.push('console error: ' + m.text()); });
    page.on('pageerror', (e) => uncaught.push('page error: ' + e.message));
    for (const hook of [pageHooks, ...hooks]) await page.evaluateOnNewDocument(hook);
    const base = `http://127.0.0.1:${server.address().port}/`;
    await body(page, base, session);
    const all = allowErrors === 'all' ? [] : allowErrors ? uncaught : problems.concat(uncaught);
    if (all.length) fail(all.join('\n'));
  } finally {
    await session.close();
    server.close();
  }
}

const state = (page) => peek(page, () => {
  // The exports answer once the runtime is up.
  const ask = (f) => { try { return Module[f](); } catch (e) { return 0; } };
  const a = DemoPage.audio;
  return {
    status: DemoPage.status, part: ask('_web_current_part'), music: ask('_web_music_position'),
    sound: a.state, ctx: a.ctx ? a.ctx.state : 'none', audioTime: a.ctx ? a.ctx.currentTime : 0, frames: DemoPage.frames, hiddenFrames: DemoPage.hiddenFrames,
    now: performance.now(), heard: window.__heard ? window.__heard() : 0, hidden: document.hidden,
    active: !!(navigator.userActivation && navigator.userActivation.hasBeenActive),
    notices: document.getElementById('notices').textContent,
    hint: !!document.getElementById('sound-hint') && !document.getElementById('sound-hint').hidden,
  };
});

async function waitFor(page, what, predicate, seconds) {
  const until = Date.now() + seconds * 1000;
  for (;;) {
    const s = await state(page);
    if (predicate(s)) return s;
    if (Date.now() > until) fail(`${what}: not within ${seconds} s (last state ${JSON.stringify(s)})`);
    await sleep(50);
  }
}

// Waits until the demo has drawn `count` more frames.
async function framesPass(page, count) {
  const s = await state(page);
  return waitFor(page, `${count} frames`, (t) => t.frames >= s.frames + count, 60);
}

const visible = (page, id) => peek(page, (id) => {
  const e = document.getElementById(id);
  return !!e && !e.hidden && e.getBoundingClientRect().width > 0;
}, id);
const text = (page, id) => peek(page, (id) => (document.getElementById(id) || {}).textContent || '', id);
const rect = (page, id) => peek(page, (id) => {
  const r = document.getElementById(id).getBoundingClientRect();
  return { left: r.left, top: r.top, width: r.width, height: r.height };
}, id);
const centre = (r) => [r.left + r.width / 2, r.top + r.height / 2];

// The drawing surface's pixels: how many are not black.
const litPixels = (page) => peek(page, () => {
  const w = Module._web_surface_width(), h = Module._web_surface_height();
  const p = Module._malloc(w * h * 4);
  Module._web_read_surface(p);
  const px = HEAPU8.subarray(p, p + w * h * 4);
  let lit = 0;
  for (let i = 0; i < px.length; i += 4) if (px[i] | px[i + 1] | px[i + 2]) lit++;
  Module._free(p);
  return lit;
});

async function toQuestion(page, base, query = '') {
  await page.goto(base + query, { waitUntil: 'load' });
  await waitFor(page, 'the question', (s) => s.status === 'question', 90);
  if (!(await visible(page, 'question'))) fail('the question is not shown');
}

// No by a click on its button (an input that lets sound start).
async function clickNo(page) {
  await page.mouse.click(...centre(await rect(page, 'no')));
  return waitFor(page, 'the demo running after No', (s) => s.status === 'running' && s.frames > 0, 90);
}

function get(url) {
  return new Promise((resolve, reject) => {
    http.get(url, (res) => {
      const chunks = [];
      res.on('data', (c) => chunks.push(c));
      res.on('end', () => resolve({ status: res.statusCode, type: res.headers['content-type'], body: Buffer.concat(chunks) }));
    }).on('error', reject);
  });
}

// --- page ---------------------------------------------------------------------
async function testPage(site) {
  await withPage(site, async (page, base) => {
    await toQuestion(page, base);
    const q = await peek(page, () => ({
      caption: document.getElementById('question-caption').textContent,
      text: document.getElementById('question-text').textContent,
      title: document.title, focused: document.activeElement.id,
      icon: document.querySelector('link[rel~="icon"]').getAttribute('href'),
      policy: (document.querySelector('meta[http-equiv="Content-Security-Policy"]') || {}).content || '',
    }));
    if (q.caption !== 'Question' || q.text !== 'Switch to Fullscreen ?') fail(`question reads "${q.caption}" / "${q.text}"`);
    if (q.title !== 'Demo v0.17') fail(`the page's title is "${q.title}"`);
    if (!/script-src 'self'/.test(q.policy)) fail(`no content security policy of the page's own: "${q.policy}"`);
    const icon = await get(base + q.icon);
    const png = icon.status === 200 && readPngBuffer(icon.body, 'the icon');
    if (!png || png.width !== 48 || png.height !== 48) fail(`the icon ${q.icon}: ${icon.status}, ${png && png.width} x ${png && png.height}`);
    // A modal dialog: Tab moves between its buttons, a click beside it
    // changes nothing, Enter acts on the focused button.
    if (q.focused !== 'yes') fail(`"${q.focused}" has the focus, not Yes`);
    const focused = () => peek(page, () => document.activeElement.id);
    await page.keyboard.press('Tab');
    if ((await focused()) !== 'no') fail('Tab did not move the focus to No');
    await page.mouse.click(5, 5);
    await sleep(200);
    if ((await focused()) !== 'no' || (await state(page)).status !== 'question') fail('a click beside the dialog took its focus');
    await page.keyboard.press('Tab');
    await page.keyboard.press('Tab');
    if ((await focused()) !== 'no') fail('the focus left the two buttons');
    await page.keyboard.press('Enter');
    await waitFor(page, 'the demo running after Enter on No', (s) => s.status === 'running' && s.frames > 0, 90);
    if (await peek(page, () => document.body.classList.contains('fullscreen'))) fail('Enter on No gave full screen');
    const box = await peek(page, () => { const c = document.getElementById('canvas'); return [c.width, c.height, c.clientWidth, c.clientHeight]; });
    if (box.join() !== '640,480,640,480') fail(`the canvas is ${box} (drawing buffer, CSS), not 640 x 480`);
    const s = await framesPass(page, 3);
    if (s.part !== 1) fail(`part ${s.part} after the answer, not 1`);
    // The splash stood over the page while the demo loaded: shown, painted
    // with its soft edge over the page's colour, gone before the first frame.
    const splash = await peek(page, () => {
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
    // A tap on the right half of the picture steps forward, on the left half back.
    const canvas = await rect(page, 'canvas');
    const tapped = await tap(page, canvas.left + canvas.width * 0.9, canvas.top + canvas.height / 2);
    if (!tapped) {
      cannot('taps', NO_TOUCH);
    } else {
      if (tapped !== 2) fail(`a tap on the right half stepped to part ${tapped}, not 2`);
      if ((await tap(page, canvas.left + canvas.width * 0.1, canvas.top + canvas.height / 2)) !== 1) {
        fail('a tap on the left half did not step back to part 1');
      }
    }
    for (let i = 0; i < 7; i++) await page.keyboard.press('ArrowRight');
    await framesPass(page, 2);
    const s8 = await state(page);
    if (s8.part !== 8) fail(`part ${s8.part} after Right seven times, not 8`);
    await page.keyboard.press('Escape');
    await waitFor(page, 'the ended page', (t) => t.status === 'ended', 20);
    if (!(await visible(page, 'ended'))) fail('the ended page is not shown');
    if (await visible(page, 'canvas')) fail('the canvas is still shown after the end');
    if (!(await peek(page, () => document.getElementById('again').getAttribute('href')))) fail('the ended page has no way to play again');
    const violations = await peek(page, () => window.__violations);
    if (violations.length) fail(`the page broke its own content security policy: ${violations.join('; ')}`);
    say(`page: the dialog (focus kept, Tab, Enter on No), the splash, part 1${tapped ? ', taps' : ''}, part 8, ended; title, 48 x 48 icon, policy kept`);
  });
}

// --- music --------------------------------------------------------------------
// How many different music positions the page gives within 50 ms, and how
// many different times its clock does (chromium's moves every 0.1 ms or so,
// Firefox's every few).
const positionsIn50ms = (page) => peek(page, () => {
  const positions = new Set(), times = new Set(), until = performance.now() + 50;
  for (let t = 0; t < until; t = performance.now()) {
    times.add(t);
    positions.add(Module._web_music_position());
  }
  return { positions: positions.size, times: times.size };
});

async function testMusic(site) {
  await withPage(site, async (page, base, session) => {
    if (!session.sound) { cannot('music', 'no PulseAudio here, so Firefox has no sound output'); return; }
    await toQuestion(page, base);
    const first = await clickNo(page);
    if (first.sound !== 'running' || first.ctx !== 'running') fail(`sound is ${first.sound} (context ${first.ctx}) after a click on No`);
    if (first.hint || first.notices) fail(`after a click on No the page says "${first.notices}" (hint shown: ${first.hint})`);
    // The position advances with the audio's own clock (bytes of 44.1 kHz
    // stereo: a wrong rate or frames taken for bytes shows), and between the
    // audio callbacks too (the output's timestamp moved on by the page's
    // clock). (On a loaded machine an output may fall behind real time: what
    // is heard leads, so the audio's clock, not the page's, is the measure.)
    // Both clocks are read in one call (in two, a busy machine may put any
    // time between them: Firefox under load once gave 2.26 s of music in
    // 1.88 s of audio so read).
    const a = await state(page);
    await sleep(2000);
    const b = await state(page);
    const heard = (b.music - a.music) / BYTES_PER_SECOND, passed = b.audioTime - a.audioTime;
    // (Either end may be read up to a block of audio late on a busy machine.)
    if (!(Math.abs(heard - passed) < 0.25 && heard > 0.2)) fail(`music advanced ${heard.toFixed(3)} s in ${passed.toFixed(3)} s of audio`);
    // What is heard is looked at past the music's fade-in (its first second
    // stays below an RMS of 0.01): a loaded machine's output can be that far
    // behind the page, and the music rightly with it.
    const loud = await waitFor(page, 'the music past 2.5 s', (s) => s.music / BYTES_PER_SECOND >= 2.5, 20);
    if (!(loud.heard > 0.01)) fail(`nothing is heard at ${(loud.music / BYTES_PER_SECOND).toFixed(3)} s of music (RMS ${loud.heard})`);
    // (Stepping once per block of audio gave at most a handful.) The page
    // moves the position on by its own clock for at most 100 ms past the
    // output's last timestamp, so an output stalled that long (Firefox's,
    // beside busy loops) holds it still for a whole window: five windows,
    // 200 ms apart, and one must move.
    let positions = 0, times = 0;
    for (let window = 1; window <= 5 && !(positions >= Math.max(5, times / 2)); window++) {
      if (window > 1) await sleep(200);
      ({ positions, times } = await positionsIn50ms(page));
    }
    if (positions < Math.max(5, times / 2)) fail(`only ${positions} different music positions in 50 ms of ${times} clock readings, in each of five windows`);
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
      await sleep(100);
    }
    const parts = changes.map((c) => c[0]).join();
    if (parts !== '2,3,4,5,6,7,8') fail(`parts came as ${parts}`);
    // Each change seen after its sync time and before the next one (how much
    // after depends on the frame rate and the polling, which load changes).
    const syncs = [8.3, 16.6, 25.1, 33.5, 41.7, 50.1, 57.7, 65.6];
    changes.forEach(([part, at], i) => {
      if (!(at >= syncs[i] && at < syncs[i + 1])) fail(`part ${part} came at ${at.toFixed(3)} s of music, not after ${syncs[i]}`);
    });
    const endedAt = await peek(page, () => DemoPage.endedAtMusicSeconds);
    // The end: the first frame at or after 65.6 s of music, then its Right.
    if (!(endedAt >= 65.6 && endedAt < 66.6)) fail(`the end came at ${endedAt} s of music, not about 65.6`);
    say(`music: ${heard.toFixed(3)} s in ${passed.toFixed(3)} s of audio (${((b.now - a.now) / 1000).toFixed(3)} s of the page's clock), RMS ${loud.heard.toFixed(3)} at ${(loud.music / BYTES_PER_SECOND).toFixed(2)} s, ${positions} positions in 50 ms ` +
      `(${times} clock readings); parts at ` +
      changes.map((c) => `${c[0]}@${c[1].toFixed(2)}`).join(' ') + `; ended at ${endedAt.toFixed(3)} s`);
  });
}

// --- Escape: the demo at once, sound on the next input ------------------------------
// Where the music node plays now against the demo's music position, in
// seconds: the node's start (its offset at that context time) moved on by
// the output's timestamp, as it is heard.
const heardAgainstDemo = (page) => peek(page, () => {
  const ctx = DemoPage.audio.ctx, start = window.__starts[window.__starts.length - 1];
  const ts = ctx.getOutputTimestamp();
  const heard = start.offset + (ts.contextTime - Math.max(start.at, start.when));
  const demo = Module._web_music_position() / 176400;
  return { heard: start.loop ? heard % start.duration : heard, demo: demo % start.duration };
});

async function testEscape(site) {
  await withPage(site, async (page, base, session) => {
    await toQuestion(page, base);
    await page.keyboard.press('Escape');
    const s = await waitFor(page, 'the demo running after Escape', (t) => t.status === 'running' && t.frames > 0, 90);
    if (s.active) fail('the page counts as activated before any click or key but Escape');
    if (s.notices) fail(`after Escape the page says "${s.notices}"`);
    if (s.sound !== 'waiting' || !s.hint) fail(`after Escape sound is ${s.sound}, the hint ${s.hint ? 'shown' : 'not shown'}`);
    const hint = await text(page, 'sound-hint');
    if (!/click/.test(hint) || !/tap/.test(hint) || !/press/.test(hint)) fail(`the hint says "${hint}"`);
    // Silent, on the page's clock, the parts following it.
    await sleep(1500);
    const t = await state(page);
    const moved = (t.music - s.music) / BYTES_PER_SECOND, passed = (t.now - s.now) / 1000;
    if (!(Math.abs(moved - passed) < 0.15)) fail(`the music's position moved ${moved.toFixed(3)} s in ${passed.toFixed(3)} s`);
    if (t.heard > 0.001) fail(`sound (RMS ${t.heard}) before any input`);
    // A click on the page: the music joins where the demo's clock stands.
    // The page samples that clock every few milliseconds from the click on,
    // so that the last reading before the join and the first after it are
    // compared (read from here, the output's first blocks on a busy machine,
    // which the demo rightly follows, fell inside the comparison).
    // (Set up through peek: puppeteer's evaluate would hand the page a user
    // activation before the click.)
    await peek(page, () => {
      const sample = () => ({ now: performance.now() / 1000, at: Module._web_music_position() / 176400 });
      const join = window.__join = { before: sample(), after: null };
      const id = setInterval(() => {
        const waiting = DemoPage.audio.state === 'waiting';
        if (waiting) join.before = sample();
        else { join.after = sample(); clearInterval(id); }
      }, 2);
      return true;
    });
    await page.mouse.click(5, 5);
    const joined = await waitFor(page, 'sound after a click', (u) => u.sound !== 'waiting', 10);
    if (!session.sound) {
      if (!joined.notices.includes('Shit !: Could not initialize BASS, switching to no-sound')) {
        fail(`without a sound output, after the click the page says "${joined.notices}"`);
      }
      cannot('sound after Escape and a click', 'no PulseAudio here: Firefox has no sound output, and the page says so after the click');
      return;
    }
    if (joined.sound !== 'running' || joined.notices) fail(`after the click sound is ${joined.sound}; the page says "${joined.notices}"`);
    // (The first reading after the join may come a moment after the state.)
    let join = await peek(page, () => window.__join);
    for (let i = 0; i < 100 && !join.after; i++) {
      await sleep(50);
      join = await peek(page, () => window.__join);
    }
    if (!join.after) fail('no reading of the music\'s position after sound joined');
    const drift = (join.after.at - join.after.now) - (join.before.at - join.before.now);
    if (!(Math.abs(drift) < 0.1)) {
      fail(`the demo's music clock jumped ${drift.toFixed(3)} s when sound joined (readings ${JSON.stringify(join)})`);
    }
    await sleep(1000);
    const u = await state(page);
    if (u.hint) fail('the hint stays after sound started');
    if (!(u.heard > 0.01)) fail(`nothing heard after the click (RMS ${u.heard})`);
    const h = await heardAgainstDemo(page);
    if (!(Math.abs(h.heard - h.demo) < 0.1)) fail(`the music is heard at ${h.heard.toFixed(3)} s, the demo is at ${h.demo.toFixed(3)} s`);
    say(`escape: silent ${moved.toFixed(3)} s in ${passed.toFixed(3)} s, no message; after a click heard (RMS ${u.heard.toFixed(3)}) ` +
      `at ${h.heard.toFixed(3)} s with the demo at ${h.demo.toFixed(3)} s; its clock moved ${(drift * 1000).toFixed(0)} ms at the join`);
  });
}

// --- sound that cannot start ------------------------------------------------------
async function testNoSound(site) {
  const message = 'Shit !: Could not initialize BASS, switching to no-sound';
  const lines = [];
  // A click on No: the demo itself says it has no sound.
  await withPage(site, async (page, base) => {
    await toQuestion(page, base);
    const a = await clickNo(page);
    if (!a.notices.includes(message)) fail(`no message about the sound on the page: "${a.notices}"`);
    await sleep(1500);
    const b = await state(page);
    const moved = (b.music - a.music) / BYTES_PER_SECOND, passed = (b.now - a.now) / 1000;
    if (!(Math.abs(moved - passed) < 0.2)) fail(`the silent timeline moved ${moved.toFixed(3)} s in ${passed.toFixed(3)} s`);
    lines.push(`a click on No: the message; silent timeline ${moved.toFixed(3)} s in ${passed.toFixed(3)} s`);
  }, { hooks: [noAudio] });
  // Escape, then a key: the page says it once sound was asked for and failed.
  await withPage(site, async (page, base) => {
    await toQuestion(page, base);
    await page.keyboard.press('Escape');
    const a = await waitFor(page, 'the demo running after Escape', (t) => t.status === 'running' && t.frames > 0, 90);
    if (a.notices) fail(`before any input the page says "${a.notices}"`);
    await page.keyboard.press(' ');
    const b = await waitFor(page, 'the message after Space', (t) => t.notices.includes(message), 10);
    if (b.hint) fail('the hint stays after sound failed');
    await sleep(1000);
    const c = await state(page);
    const moved = (c.music - a.music) / BYTES_PER_SECOND, passed = (c.now - a.now) / 1000;
    if (!(Math.abs(moved - passed) < 0.2)) fail(`the silent timeline moved ${moved.toFixed(3)} s in ${passed.toFixed(3)} s across the failure`);
    lines.push('Escape and Space: the message after Space, the timeline unbroken');
  }, { hooks: [noAudio] });
  // An output that starts late: the message while it has not, then the
  // music joins where the page's clock stands and the message goes.
  await withPage(site, async (page, base, session) => {
    await toQuestion(page, base);
    const a = await clickNo(page);
    if (a.sound !== 'silent' || !a.notices.includes(message)) fail(`before the output starts sound is ${a.sound}, the page says "${a.notices}"`);
    if (!session.sound) {
      lines.push('a late output: NOT RUN (no sound output here)');
      return;
    }
    // (Past the music's fade-in by the time it is heard.)
    await sleep(1500);
    await peek(page, () => window.__startOutput());
    const b = await waitFor(page, 'sound once the output started', (t) => t.sound === 'running', 15);
    if (b.notices) fail(`with sound the page still says "${b.notices}"`);
    await sleep(1000);
    const c = await state(page);
    if (!(c.heard > 0.01)) fail(`nothing heard after the output started (RMS ${c.heard})`);
    const h = await heardAgainstDemo(page);
    if (!(Math.abs(h.heard - h.demo) < 0.1)) fail(`the music is heard at ${h.heard.toFixed(3)} s, the demo is at ${h.demo.toFixed(3)} s`);
    lines.push(`a late output: the message, then heard (RMS ${c.heard.toFixed(3)}) at ${h.heard.toFixed(3)} s with the demo at ${h.demo.toFixed(3)} s, the message gone`);
  }, { hooks: [slowOutput] });
  say(`nosound: ${lines.join('; ')}`);
}

// --- no WebGL 2 ---------------------------------------------------------------
async function testNoWebgl2(site) {
  await withPage(site, async (page, base) => {
    await page.goto(base, { waitUntil: 'load' });
    await waitFor(page, 'the no-WebGL 2 page', (s) => s.status === 'no-webgl2', 20);
    if (!(await visible(page, 'no-webgl2'))) fail('the message is not shown');
    if (await visible(page, 'question')) fail('the question is shown without WebGL 2');
    if (await visible(page, 'loading')) fail('"Loading" is still shown');
    const message = await text(page, 'no-webgl2');
    if (!/WebGL 2/.test(message)) fail(`the message reads "${message}"`);
    say('nowebgl2: message shown');
  }, { hooks: [noWebgl2] });
}

// --- Yes: full screen ------------------------------------------------------------
// The desktop's placement rule, in device pixels (top counted from the top):
// full screen, where 640 x 480 fits at least twice, its largest whole
// multiple up to four times; else as large as fits, aspect kept; centred.
function placement(dw, dh, fullscreen) {
  let w = dw, h = Math.floor(dw * 480 / 640);
  if (h > dh) { h = dh; w = Math.floor(dh * 640 / 480); }
  const fit = Math.min(Math.floor(dw / 640), Math.floor(dh / 480));
  if (fullscreen && fit >= 2) { w = 640 * Math.min(fit, 4); h = 480 * Math.min(fit, 4); }
  return [Math.floor((dw - w) / 2), dh - h - Math.floor((dh - h) / 2), w, h];
}
// What the README promises for some screens (CSS pixels at a ratio of 1).
const PLACED = {
  '1920x1080': [320, 60, 1280, 960],   // twice 640 x 480, centred
  '1366x768': [171, 0, 1024, 768],     // below twice: as large as fits
  '1440x900': [120, 0, 1200, 900],
  '1280x800': [107, 0, 1066, 800],
};

// The bounding box [left, top, width, height] of the screenshot's pixels
// brighter than near-black.
async function litBox(page) {
  const shot = await screenshot(page);
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

const canvasLook = (page) => peek(page, () => {
  const c = document.getElementById('canvas'), r = c.getBoundingClientRect();
  return { full: !!(document.fullscreenElement || document.webkitFullscreenElement), viewport: [innerWidth, innerHeight],
    buffer: [c.width, c.height], box: [r.left, r.top, r.width, r.height], cursor: getComputedStyle(c).cursor,
    ratio: devicePixelRatio };
});

// Yes (Space on the focused Yes) on a screen of each size (the browser's
// window that size): the canvas and what the screenshot shows lit stand
// where the desktop's placement puts the picture; no cursor; Escape leaves
// and ends the demo. `hooks`: for the prefixed variant.
async function fullScreenOn(site, screen, hooks = []) {
  let line = '';
  await withPage(site, async (page, base) => {
    await toQuestion(page, base);
    await page.keyboard.press(' ');
    await waitFor(page, 'the demo running after Yes', (s) => s.status === 'running' && s.frames > 0, 90);
    // Part 8: its clear colour lights the whole picture.
    for (let i = 0; i < 7; i++) await page.keyboard.press('ArrowRight');
    await waitFor(page, 'part 8', (s) => s.part === 8, 30);
    await framesPass(page, 5);
    const look = await canvasLook(page);
    const [vw, vh] = look.viewport;
    let want = placement(vw, vh, true);
    if (look.full) {
      if (`${vw}x${vh}` !== screen) fail(`${screen}: the full-screen viewport is ${vw}x${vh}`);
      if (PLACED[screen] && PLACED[screen].join() !== want.join()) fail(`${screen}: the rule gives ${want}, the README ${PLACED[screen]}`);
    } else if (FIREFOX) {
      cannot(`full screen itself at ${screen}`, 'Firefox refuses the driver\'s key press its full screen ("Fullscreen request denied"); ' +
        `the page's own full-screen layout in the ${vw} x ${vh} viewport is checked`);
    } else {
      fail(`${screen}: Yes did not go full screen`);
    }
    if (look.box.join() !== want.join() || look.buffer.join() !== want.slice(2).join()) {
      fail(`${screen}: the canvas stands at ${look.box} (buffer ${look.buffer}), not at ${want}`);
    }
    const lit = await litBox(page);
    if (lit.join() !== want.join()) fail(`${screen}: the screenshot is lit at ${lit}, not at ${want} (${JSON.stringify(await state(page))})`);
    if (look.cursor !== 'none') fail(`${screen}: the cursor is ${look.cursor} over the picture`);
    await page.keyboard.press('Escape');
    await waitFor(page, 'the ended page after Escape in full screen', (t) => t.status === 'ended', 20);
    if ((await canvasLook(page)).full) fail(`${screen}: still full screen after the end`);
    line = `${screen}: ${want[2]} x ${want[3]} at ${want[0]}, ${want[1]}${look.full ? '' : ' of the page'}`;
  }, { screen, hooks });
  return line;
}

async function testFullScreen(site, screens) {
  const lines = [];
  for (const screen of screens) lines.push(await fullScreenOn(site, screen));
  say(`fullscreen: ${lines.join('; ')}; no cursor; Escape ends it`);
}

// Safari before 16.4 has only webkitRequestFullscreen and its kin.
function onlyPrefixedFullScreen() {
  delete Element.prototype.requestFullscreen;
  delete Document.prototype.exitFullscreen;
  delete Document.prototype.fullscreenElement;
}

async function testPrefixed(site) {
  if (FIREFOX) { cannot('prefixed full screen', 'Firefox has no webkit-prefixed full-screen calls to fall back on'); return; }
  const line = await fullScreenOn(site, '1920x1080', [onlyPrefixedFullScreen]);
  say(`prefixed: full screen through webkitRequestFullscreen, ${line}`);
}

// --- a phone ------------------------------------------------------------------------
const PHONE = { width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true };
const TURNED = { ...PHONE, width: 844, height: 390 };

// The windowed canvas fits the viewport: inside it, 4:3, its buffer the box
// in device pixels, no horizontal scroll.
async function fitsTheViewport(page, where) {
  await framesPass(page, 3);
  const f = await peek(page, () => {
    const c = document.getElementById('canvas'), r = c.getBoundingClientRect();
    return { box: [r.left, r.top, r.width, r.height], buffer: [c.width, c.height], ratio: devicePixelRatio,
      viewport: [innerWidth, innerHeight], scroll: document.documentElement.scrollWidth };
  });
  const [left, top, w, h] = f.box;
  const bad = [];
  if (left < 0 || left + w > f.viewport[0] + 0.5) bad.push('cut at the sides');
  if (top + h > f.viewport[1] + 0.5) bad.push('cut below');
  if (Math.abs(w / h - 4 / 3) > 0.01) bad.push(`not 4:3 (${w} x ${h})`);
  if (Math.abs(f.buffer[0] - w * f.ratio) > 1 || Math.abs(f.buffer[1] - h * f.ratio) > 1) bad.push(`buffer ${f.buffer} for a box of ${w} x ${h} at ${f.ratio}`);
  if (f.scroll > f.viewport[0]) bad.push(`scrolls sideways (${f.scroll} wide)`);
  if (bad.length) fail(`${where}: the picture ${bad.join(', ')} (${JSON.stringify(f)})`);
  return f;
}

// A tap where the engine's driver can make one (Firefox's cannot here:
// its synthesized touch fails with NS_ERROR_ILLEGAL_VALUE); false when not.
// In chromium the finger is down for 50 ms by the events' own time stamps,
// as a screen would stamp them: stamped as the driver sends them, a busy
// machine held one tap down for 1.4 s, which the page rightly takes for a
// press, not a tap.
const touchSessions = new WeakMap();
async function touch(page, x, y) {
  if (!FIREFOX) {
    if (!touchSessions.has(page)) touchSessions.set(page, await page.target().createCDPSession());
    const cdp = touchSessions.get(page), at = Date.now() / 1000;
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x, y }], timestamp: at });
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [], timestamp: at + 0.05 });
    return true;
  }
  try {
    await page.touchscreen.tap(x, y);
    return true;
  } catch (e) {
    if (/synthesizeTouch|input\.performActions/.test(e.message)) return false;
    throw e;
  }
}
// A tap, or else a click: an input that activates the page.
async function press(page, x, y) {
  if (!(await touch(page, x, y))) await page.mouse.click(x, y);
}
const NO_TOUCH = 'Firefox\'s driver makes no touch input here (synthesizeTouchAtPoint: NS_ERROR_ILLEGAL_VALUE)';

// The part after a tap at x, y; 0 when no tap can be made.
async function tap(page, x, y) {
  if (!(await touch(page, x, y))) return 0;
  await framesPass(page, 2);
  return (await state(page)).part;
}

async function testPhone(site) {
  const lines = [];
  await withPage(site, async (page, base) => {
    await toQuestion(page, base);
    await press(page, ...centre(await rect(page, 'no')));
    await waitFor(page, 'the demo running after a tap on No', (s) => s.status === 'running' && s.frames > 0, 90);
    const upright = await fitsTheViewport(page, 'upright');
    if ((await litPixels(page)) < 100000) fail('part 1 draws a (nearly) black picture');
    // Taps on the picture step; the browser's own gestures stay the
    // browser's: no touch handler that may block them, pinch zoom beside
    // the picture zooms.
    const [left, top, w, h] = upright.box;
    const right = await tap(page, left + w * 0.8, top + h / 2);
    if (!right) {
      cannot('taps on a phone', NO_TOUCH);
    } else {
      if (!(await visible(page, 'end'))) fail('no End button on a touch screen');
      if (right !== 2) fail('a tap on the right of the picture did not step to part 2');
      if ((await tap(page, left + w * 0.2, top + h / 2)) !== 1) fail('a tap on the left of the picture did not step back to part 1');
    }
    if (!FIREFOX) {
      const cdp = await page.target().createCDPSession();
      const blocking = [];
      for (const target of ['window', 'document', 'document.body']) {
        const { result } = await cdp.send('Runtime.evaluate', { expression: target });
        const { listeners } = await cdp.send('DOMDebugger.getEventListeners', { objectId: result.objectId });
        for (const l of listeners) if (['touchstart', 'touchmove', 'wheel'].includes(l.type) && !l.passive) blocking.push(`${target} ${l.type}`);
      }
      if (blocking.length) fail(`touch handlers that can block panning and zooming: ${blocking.join(', ')}`);
      // (Headless chromium synthesizes no touch pinch; its default one is
      // the touchpad's, which a page can refuse too.)
      await cdp.send('Input.synthesizePinchGesture', { x: 195, y: Math.min(top + h + 150, 800), scaleFactor: 2.5, relativeSpeed: 800,
        gestureSourceType: 'default' });
      const zoom = await peek(page, () => visualViewport.scale);
      if (!(zoom > 1.5)) fail(`a pinch beside the picture zoomed to ${zoom}`);
      lines.push(`pinch zoom ${zoom.toFixed(2)}`);
      const middle = await peek(page, () => [visualViewport.width / 2, visualViewport.height / 2]);
      await cdp.send('Input.synthesizePinchGesture', { x: middle[0], y: middle[1], scaleFactor: 0.2, relativeSpeed: 800,
        gestureSourceType: 'default' });
      const back = await peek(page, () => visualViewport.scale);
      if (!(back < 1.01)) fail(`pinched back, the page stays zoomed at ${back}`);
    } else {
      cannot('the listeners and pinch zoom', 'Firefox offers the driver neither');
    }
    // Turned: placed again.
    await page.setViewport(TURNED);
    const turned = await fitsTheViewport(page, 'turned');
    if (right) {
      if (!(await visible(page, 'end'))) fail('no End button when turned');
      await press(page, ...centre(await rect(page, 'end')));
      await waitFor(page, 'the ended page after End', (t) => t.status === 'ended', 20);
    }
    lines.unshift(`No: ${upright.box.slice(2).map(Math.round).join(' x ')} CSS, buffer ${upright.buffer.join(' x ')}; ` +
      `turned ${turned.box.slice(2).map(Math.round).join(' x ')}, buffer ${turned.buffer.join(' x ')}${right ? '; taps; End' : ''}`);
  }, { viewport: PHONE });
  // Yes: the picture placed by the desktop's rule in the phone's device
  // pixels, upright and turned.
  await withPage(site, async (page, base) => {
    await toQuestion(page, base);
    await press(page, ...centre(await rect(page, 'yes')));
    await waitFor(page, 'the demo running after a tap on Yes', (s) => s.status === 'running' && s.frames > 0, 90);
    const placedIn = async (viewport) => {
      await page.setViewport(viewport);
      await framesPass(page, 3);
      const look = await canvasLook(page);
      const r = look.ratio, want = placement(Math.round(look.viewport[0] * r), Math.round(look.viewport[1] * r), true);
      const box = look.box.map((v) => Math.round(v * r));
      if (box.some((v, i) => Math.abs(v - want[i]) > 1) || look.buffer.join() !== want.slice(2).join()) {
        fail(`full screen ${look.viewport.join(' x ')} at ${r}: the canvas stands at ${box} (buffer ${look.buffer}), not at ${want}`);
      }
      return `${want[2]} x ${want[3]} at ${want[0]}, ${want[1]}`;
    };
    const a = await placedIn(PHONE), b = await placedIn(TURNED);
    const stepped = await tap(page, 800, 200);
    if (stepped && stepped !== 2) fail('in full screen a tap on the right did not step');
    lines.push(`Yes: ${a} upright, ${b} turned`);
  }, { viewport: PHONE });
  say(`phone 390 x 844 at 3: ${lines.join('; ')}`);
}

// --- sharp at devicePixelRatio 2 ---------------------------------------------------
async function testSharp(site) {
  await withPage(site, async (page, base) => {
    await toQuestion(page, base);
    await clickNo(page);
    await framesPass(page, 5);
    const look = await canvasLook(page);
    if (look.ratio !== 2) fail(`devicePixelRatio ${look.ratio}`);
    if (look.buffer.join() !== '1280,960' || look.box.slice(2).join() !== '640,480') {
      fail(`the canvas is ${look.box.slice(2)} CSS with a buffer of ${look.buffer}, not 640 x 480 and 1280 x 960`);
    }
    // Every pixel drawn is a 2 x 2 block of the screen's pixels.
    const shot = await screenshot(page);
    const scale = shot.width / look.viewport[0];
    if (scale !== 2) fail(`the screenshot is ${shot.width} wide for a viewport of ${look.viewport[0]}`);
    const x0 = Math.round(look.box[0] * 2), y0 = Math.round(look.box[1] * 2);
    let blocks = 0, broken = 0;
    const colours = new Set();
    for (let y = y0; y < y0 + 960; y += 2) {
      for (let x = x0; x < x0 + 1280; x += 2) {
        const at = (dx, dy) => { const i = ((y + dy) * shot.width + x + dx) * 3; return shot.rgb.readUIntBE(i, 3); };
        const c = at(0, 0);
        if (at(1, 0) !== c || at(0, 1) !== c || at(1, 1) !== c) broken++;
        colours.add(c);
        blocks++;
      }
    }
    if (colours.size < 100) fail(`the picture has ${colours.size} colours: not drawn`);
    if (broken) fail(`${broken} of ${blocks} 2 x 2 blocks are not one colour: the picture is smoothed`);
    say(`sharp: buffer 1280 x 960 in 640 x 480 CSS pixels, all ${blocks} 2 x 2 blocks one colour, ${colours.size} colours`);
  }, { viewport: { width: 1000, height: 700, deviceScaleFactor: 2 } });
}

// --- a hidden tab ------------------------------------------------------------------
async function testHiddenTab(site) {
  await withPage(site, async (page, base, session) => {
    await toQuestion(page, base);
    await clickNo(page);
    const other = await session.browser.newPage();
    await other.bringToFront();
    await sleep(500);
    const hidden = await state(page);
    if (!hidden.hidden) { cannot('a hidden tab', 'another tab brought to the front leaves this one visible'); return; }
    // Hidden past the first sync: the music moves the parts there.
    const later = await waitFor(page, '9.3 s of music in the hidden tab', (t) => t.music >= 9.3 * BYTES_PER_SECOND, 60);
    if (later.part !== 2) fail(`part ${later.part} at ${(later.music / BYTES_PER_SECOND).toFixed(2)} s of music in the hidden tab, not 2`);
    // On to the end, still hidden: the demo ends at the music's last sync
    // and the music stops with it; it never starts again.
    const samples = [];
    let s = later;
    while (s.status !== 'ended') {
      if (!s.hidden) fail('the tab came to the front by itself');
      if (s.now - later.now > 80000) fail(`no end in the hidden tab after ${(s.music / BYTES_PER_SECOND).toFixed(2)} s of music`);
      samples.push(s.music / BYTES_PER_SECOND);
      await sleep(250);
      s = await state(page);
    }
    const endedAt = await peek(page, () => DemoPage.endedAtMusicSeconds);
    if (!(endedAt >= 65.6 && endedAt < 66.6)) fail(`the demo ended at ${endedAt} s of music in the hidden tab, not about 65.6`);
    const back = samples.findIndex((v, i) => i > 0 && v < samples[i - 1]);
    if (back >= 0) fail(`the music went back from ${samples[back - 1].toFixed(2)} s to ${samples[back].toFixed(2)} s`);
    const after = [];
    for (let i = 0; i < 4; i++) { await sleep(500); after.push((await state(page)).heard); }
    if (after.some((v) => v > 0.001)) fail(`sound after the end in the hidden tab: RMS ${after}`);
    await other.close();
    await page.bringToFront();
    await sleep(500);
    if (!(await visible(page, 'ended'))) fail('back in the tab, the ended page is not shown');
    if (await visible(page, 'canvas')) fail('back in the tab, the canvas is shown');
    say(`hidden: part 2 at ${(later.music / BYTES_PER_SECOND).toFixed(2)} s, ${s.hiddenFrames} passes hidden, ` +
      `ended at ${endedAt.toFixed(3)} s of music while hidden, silent after; the ended page on return`);
  });
}

// --- the WebGL context lost -----------------------------------------------------------
async function testLost(site) {
  await withPage(site, async (page, base, session) => {
    await toQuestion(page, base);
    await clickNo(page);
    await framesPass(page, 5);
    if (session.sound) await waitFor(page, 'music before the context is lost', (s) => s.heard > 0.01, 10);
    say('losing the context');
    await peek(page, () => {
      window.__lose = document.getElementById('canvas').getContext('webgl2').getExtension('WEBGL_lose_context');
      window.__lose.loseContext();
      return 1;
    });
    say('lost');
    const lost = await waitFor(page, 'the message after the context was lost', (s) => s.status === 'failed', 20);
    const message = await text(page, 'failed-text');
    if (!/WebGL/.test(message) || !(await visible(page, 'reload'))) fail(`the page says "${message}" (reload link: ${await visible(page, 'reload')})`);
    if (await visible(page, 'canvas')) fail('the canvas is still shown');
    await sleep(1000);
    const quiet = await state(page);
    if (quiet.heard > 0.001 || quiet.ctx !== 'none') fail(`music after the context was lost (RMS ${quiet.heard}, context ${quiet.ctx})`);
    say('restoring the context');
    await peek(page, () => { window.__lose.restoreContext(); return 1; });
    await sleep(1500);
    const after = await state(page);
    if (after.status !== 'failed' || !(await visible(page, 'failed')) || (await visible(page, 'canvas'))) {
      fail(`after the context came back: ${JSON.stringify(after)}`);
    }
    say(`lost: "${message.slice(0, 60)}...", a reload link, no canvas, silent (at ${(lost.music / BYTES_PER_SECOND).toFixed(2)} s); the same once restored`);
  }, { allowErrors: true });
}

// --- no dead ends -------------------------------------------------------------------
async function failedWith(page, what, pattern) {
  await waitFor(page, what, (s) => s.status === 'failed', 60);
  const message = await text(page, 'failed-text');
  if (!pattern.test(message)) fail(`${what}: the page says "${message}"`);
  if (await visible(page, 'loading')) fail(`${what}: "Loading" stays`);
  return message;
}

function plantedFault() {
  window.__plant = () => { DemoPage.nextKey = () => { throw new Error('a planted fault'); }; return 1; };
}

async function testDeadEnds(site) {
  const lines = [];
  for (const file of ['/demo.wasm', '/demo.js']) {
    await withPage(site, async (page, base) => {
      await page.goto(base, { waitUntil: 'load' });
      const m = await failedWith(page, `${file} not found`, new RegExp(`${file.slice(1).replace('.', '\\.')}.*(404|fetched)`));
      if (!(await visible(page, 'reload'))) fail(`${file} not found: no link to load the page again`);
      lines.push(`${file} not found: "${m}"`);
    }, { refuse: [file], allowErrors: true });
  }
  await withPage(site, async (page) => {
    await page.goto('file://' + path.resolve(site, 'index.html'), { waitUntil: 'load' });
    const m = await failedWith(page, 'a file:// address', /web server/);
    lines.push(`file://: "${m.slice(0, 50)}..."`);
  }, { allowErrors: true });
  await withPage(site, async (page, base) => {
    await toQuestion(page, base);
    await clickNo(page);
    await framesPass(page, 3);
    await peek(page, () => window.__plant());
    const m = await failedWith(page, 'an error after start-up', /planted fault/);
    await sleep(500);
    const s = await state(page);
    if (s.heard > 0.001 || (await visible(page, 'canvas'))) fail('after the error the canvas or the music goes on');
    lines.push(`an error after start-up: "${m}"`);
  }, { hooks: [plantedFault], allowErrors: 'all' });
  if (FIREFOX) {
    cannot('no JavaScript', 'the driver cannot switch JavaScript off in Firefox');
  } else {
    await withPage(site, async (page, base) => {
      await page.setJavaScriptEnabled(false);
      await page.goto(base, { waitUntil: 'load' });
      const shown = await page.$$eval('noscript', (n) => n.length).catch(() => 0);
      const inner = (await page.content()).includes('needs JavaScript');
      const shot = await screenshot(page);
      // Light text on the page's dark background: the message is drawn.
      let light = 0;
      for (let i = 0; i < shot.rgb.length; i += 3) if (shot.rgb[i] > 180 && shot.rgb[i + 1] > 180) light++;
      if (!shown || !inner || light < 200) fail(`without JavaScript no message shows (${light} light pixels)`);
      lines.push('no JavaScript: the <noscript> message');
    });
  }
  say(`deadends: ${lines.join('; ')}`);
}

// --- ?at= and &fps= that are not numbers in range ---------------------------------------
async function testParams(site) {
  const bad = ['?at=abc', '?at=-3', '?at=Infinity', '?at=', '?at=1e1', '?at=0x10', '?at=1&fps=7.9', '?at=1&fps=0',
    '?at=1&fps=241', '?at=1&fps=', '?at=99'];
  await withPage(site, async (page, base) => {
    for (const q of bad) {
      await page.goto(base + q, { waitUntil: 'load' });
      const key = q === '?at=99' ? /ends at 65\.6/ : /fps/.test(q) ? /&fps=/ : /\?at=/;
      const m = await failedWith(page, q, key);
      if (await peek(page, () => DemoPage.at && DemoPage.at.ok)) fail(`${q}: reported as drawn`);
      if (q === '?at=1&fps=7.9' && !m.includes('7.9')) fail(`${q}: the page says "${m}"`);
    }
    await page.goto(base + '?at=1.5&fps=7', { waitUntil: 'load' });
    await waitFor(page, '?at=1.5&fps=7', (s) => s.status === 'at-done', 120);
    const at = await peek(page, () => DemoPage.at);
    if (!at.ok || !(Math.abs(at.seconds - 1.5) <= 1 / 7)) fail(`?at=1.5&fps=7 gave ${JSON.stringify(at)}`);
  }, { allowErrors: true });
  say(`params: ${bad.join(' ')} refused with the page's error; ?at=1.5&fps=7 drew a frame at 7 a second`);
}

// --- ?at= against the capture tool ---------------------------------------------
async function testAt(site, capture, fps, times) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'web-at-'));
  try {
    execFileSync(capture, ['--fps', String(fps), '--stills', times.join(','), '--no-progress', '-o', dir + '/'],
      { stdio: ['ignore', 'ignore', 'inherit'] });
    const stills = fs.readdirSync(dir).filter((f) => f.endsWith('.png')).sort();
    if (stills.length !== times.length) fail(`demo-capture wrote ${stills.length} stills for ${times.length} times`);
    await withPage(site, async (page, base) => {
      const lines = [];
      const bad = [];
      for (const t of times) {
        await page.goto(`${base}?at=${t}&fps=${fps}`, { waitUntil: 'load' });
        const started = Date.now();
        while (!(await peek(page, () => DemoPage.at !== null))) {
          if (Date.now() - started > 240000) fail(`?at=${t}: no frame within 240 s`);
          await sleep(100);
        }
        const at = await peek(page, () => DemoPage.at);
        if (!at.ok) fail(`?at=${t}: ${at.why}`);
        const shown = await peek(page, () => {
          const all = document.querySelectorAll('canvas'), c = all[0];
          return all.length === 1 && !c.hidden && c.width === 640 && c.height === 480 && DemoPage.audio.ctx === null &&
            DemoPage.times.question === undefined;
        });
        if (!shown) fail(`?at=${t}: not one shown 640 x 480 canvas, or a question or music`);
        const web = Buffer.from(await peek(page, () => {
          const p = Module._malloc(640 * 480 * 4);
          Module._web_read_surface(p);
          const copy = Array.from(HEAPU8.subarray(p, p + 640 * 480 * 4));
          Module._free(p);
          return copy;
        }));
        const file = path.join(dir, stills.find((f) => Math.abs(parseFloat(f.replace(/^still-/, '')) - t) < 1e-6) ||
          fail(`no still for ${t} among ${stills}`));
        const ref = readPngBuffer(fs.readFileSync(file), file);
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
      say(lines.join('\n'));
      if (bad.length) fail('frames off the capture tool\'s:\n' + bad.join('\n'));
    });
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

// --- make serve-web: the page's files only ----------------------------------------
async function testServe(site) {
  // A copy of the page with what a build folder may also hold.
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'web-serve-'));
  fs.cpSync(site, dir, { recursive: true });
  for (const extra of ['demo-web.zip', 'CMakeCache.txt', '.hidden.js', 'cmake/build.js']) {
    fs.mkdirSync(path.dirname(path.join(dir, extra)), { recursive: true });
    fs.writeFileSync(path.join(dir, extra), 'not the page');
  }
  const server = require('child_process').spawn('python3', [path.join(__dirname, '../../tools/web/serve.py'), dir, '--port', '0'],
    { stdio: ['ignore', 'pipe', 'ignore'] });
  try {
    const port = await new Promise((resolve, reject) => {
      let out = '';
      server.stdout.on('data', (d) => { out += d; const m = out.match(/127\.0\.0\.1:(\d+)/); if (m) resolve(m[1]); });
      server.on('exit', (code) => reject(new Error(`serve.py ended (${code}): ${out}`)));
    });
    const base = `http://127.0.0.1:${port}`;
    const served = { '/': 'text/html', '/index.html': 'text/html', '/demo.css': 'text/css', '/demo-page.js': 'text/javascript',
      '/demo.js': 'text/javascript', '/demo.wasm': 'application/wasm', '/favicon.png': 'image/png',
      '/licences/README.txt': 'text/plain', '/index.html?at=3': 'text/html' };
    for (const [url, type] of Object.entries(served)) {
      const r = await get(base + url);
      if (r.status !== 200 || !r.type.startsWith(type)) fail(`${url}: ${r.status} ${r.type}, not 200 ${type}`);
    }
    if (!(await get(base + '/')).body.toString().includes('<title>Demo v0.17</title>')) fail('/ is not the page');
    const refused = ['/licences/', '/demo-web.zip', '/CMakeCache.txt', '/.hidden.js', '/cmake/build.js', '/cmake/',
      '/../' + path.basename(dir) + '/index.html', '/%2e%2e/etc/passwd', '/nothing.js'];
    for (const url of refused) {
      const r = await get(base + url);
      if (r.status !== 404) fail(`${url}: ${r.status}, not 404`);
    }
    console.log(`serve: the page's ${Object.keys(served).length} addresses served, ${refused.length} others refused`);
  } finally {
    server.kill();
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

async function main() {
  const [what, site, ...rest] = process.argv.slice(2);
  if (!site || !fs.existsSync(path.join(site, 'index.html'))) fail(`no page at ${site} (make web builds build-web/)`);
  const tests = {
    page: () => testPage(site),
    music: () => testMusic(site),
    escape: () => testEscape(site),
    nosound: () => testNoSound(site),
    nowebgl2: () => testNoWebgl2(site),
    fullscreen: () => testFullScreen(site, rest),
    prefixed: () => testPrefixed(site),
    phone: () => testPhone(site),
    sharp: () => testSharp(site),
    hidden: () => testHiddenTab(site),
    lost: () => testLost(site),
    deadends: () => testDeadEnds(site),
    params: () => testParams(site),
    at: () => testAt(site, rest[0], Number(rest[1]), rest.slice(2).map(Number)),
    serve: () => testServe(site),
  };
  if (!tests[what]) fail(`unknown test ${what}`);
  return tests[what]();
}

main().then(() => process.exit(0), (e) => {
  console.error(`[${ENGINE}] ${e.message}`);
  process.exit(1);
});
