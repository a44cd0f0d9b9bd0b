// demo-page.js -- the page around the demo's WebAssembly: the question, the
// canvas and its layout, full screen, the splash canvas, keys and taps, the
// music's Web Audio side, the end of the demo, and ?at= (one exact frame).
// The C++ side (platform/sys_web_*.cpp, the platform layer's browser back
// end) calls the DemoPage functions below.
'use strict';

const VK = { RETURN: 0x0d, ESCAPE: 0x1b, SPACE: 0x20, LEFT: 0x25, UP: 0x26, RIGHT: 0x27, DOWN: 0x28, OTHER: 0xff };

function virtualKey(e) {
  switch (e.key) {
    case 'Escape': case 'Esc': return VK.ESCAPE;
    case 'ArrowLeft': case 'Left': return VK.LEFT;
    case 'ArrowRight': case 'Right': return VK.RIGHT;
    case 'ArrowUp': case 'Up': return VK.UP;
    case 'ArrowDown': case 'Down': return VK.DOWN;
    case 'Enter': return VK.RETURN;
    case ' ': return VK.SPACE;
    case 'Backspace': return 0x08;
    case 'Tab': return 0x09;
  }
  if (e.key && e.key.length === 1) {
    const c = e.key.toUpperCase().charCodeAt(0);
    if ((c >= 0x41 && c <= 0x5a) || (c >= 0x30 && c <= 0x39)) return c;
  }
  return VK.OTHER;
}

const el = (id) => document.getElementById(id);
const params = new URLSearchParams(location.search);

const DemoPage = {
  status: 'loading',  // loading, question, running, ended, at-done, failed, no-webgl2
  keys: [],
  fullScreenWanted: false,
  at: null,           // ?at= result: { ok, seconds, frame, why }
  endedAtMusicSeconds: null,
  frames: 0,          // animation frames the demo has waited for
  times: {},          // performance.now() of the steps (benchmark, tests): question, answer, splash..., firstFrame

  // --- ?at= -----------------------------------------------------------------
  atSeconds() {
    if (!params.has('at')) return -1;
    const s = Number(params.get('at'));
    return Number.isFinite(s) && s >= 0 ? s : 0;
  },
  atFps() {
    const f = Number.parseInt(params.get('fps') || '60', 10);
    return Number.isFinite(f) && f >= 1 && f <= 240 ? f : 60;
  },
  atDone(ok, seconds, frame, why) {
    this.at = { ok, seconds, frame, why };
    this.status = 'at-done';
    el('loading').hidden = true;
    if (!ok) this.fail('No frame at ' + this.atSeconds() + ' s: ' + why + '.');
  },

  // --- windows ------------------------------------------------------------------
  placeWindow(splash, x, y, width, height) {
    if (!splash) return;
    const c = el('splash');
    c.width = width;
    c.height = height;
    c.style.left = x + 'px';
    c.style.top = y + 'px';
    c.style.width = width + 'px';
    c.style.height = height + 'px';
  },
  showWindow(splash, show) {
    if (splash) {
      el('splash').hidden = !show;
      this.times[show ? 'splashShown' : 'splashHidden'] = performance.now();
      return;
    }
    el('canvas').hidden = !show;
    if (show) {
      el('loading').hidden = true;
      this.status = 'running';
      el('canvas').focus({ preventScroll: true });
    }
  },
  paintSplash(rgba, width, height) {
    const c = el('splash');
    const image = new ImageData(new Uint8ClampedArray(rgba), width, height);
    c.getContext('2d').putImageData(image, 0, 0);
    this.times.splashPainted = performance.now();
    this.splashSeen = !c.hidden && c.getBoundingClientRect().width === width;
    el('loading').hidden = true;
  },
  // Two animation frames: what was painted is on screen before loading goes on.
  showPainted() {
    return new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done)));
  },
  nextFrame() {
    if (!this.frames) this.times.firstFrame = performance.now();
    return new Promise((done) => requestAnimationFrame(() => { this.frames++; done(); }));
  },
  // The page stands where the desktop would be: its size in CSS pixels and
  // its background colour (R << 16 | G << 8 | B).
  screenSize() { return [window.innerWidth, window.innerHeight]; },
  // The screen in device pixels: what full screen will cover, known before
  // the browser has entered it.
  screenPixels() {
    const r = window.devicePixelRatio || 1;
    return [Math.round(screen.width * r), Math.round(screen.height * r)];
  },
  // The browser's renderer, where it tells it (the platform layer draws full
  // screen at 1 x on a software one, as on the desktop).
  rendererName(gl) {
    const info = gl.getExtension('WEBGL_debug_renderer_info');
    return info ? String(gl.getParameter(info.UNMASKED_RENDERER_WEBGL)) : '';
  },
  backgroundRgb() {
    const m = getComputedStyle(document.body).backgroundColor.match(/\d+/g) || [0, 0, 0];
    return (Number(m[0]) << 16) | (Number(m[1]) << 8) | Number(m[2]);
  },

  // Full screen: the page black, no cursor, the browser asked once. Where
  // the picture goes is the platform layer's placement, the desktop's.
  fullScreen(on) {
    this.fullScreenWanted = on;
    document.body.classList.toggle('fullscreen', on);
    if (on && !document.fullscreenElement && !this.fullScreenAsked && document.documentElement.requestFullscreen) {
      // Once: the answer's gesture asks; a later call without one would be refused.
      this.fullScreenAsked = true;
      document.documentElement.requestFullscreen().catch(() => {});
    } else if (!on && document.fullscreenElement) {
      document.exitFullscreen().catch(() => {});
    }
  },
  // What the picture is placed in, in device pixels: in full screen the
  // whole viewport (the screen, once the browser is full screen); else the
  // canvas's 640 x 480 box on the page.
  drawableSize(fullScreen) {
    if (!fullScreen) return [640, 480];
    const r = window.devicePixelRatio || 1;
    return [Math.round(window.innerWidth * r), Math.round(window.innerHeight * r)];
  },
  // The canvas becomes the picture: width x height device pixels, in full
  // screen at (left, top) of the viewport, else in its box on the page.
  placeCanvas(left, top, width, height) {
    const c = el('canvas');
    if (c.width !== width) c.width = width;
    if (c.height !== height) c.height = height;
    if (!this.fullScreenWanted) {
      c.style.width = '640px';
      c.style.height = '480px';
      c.style.left = c.style.top = '';
      return;
    }
    const r = window.devicePixelRatio || 1;
    c.style.width = width / r + 'px';
    c.style.height = height / r + 'px';
    c.style.left = left / r + 'px';
    c.style.top = top / r + 'px';
  },

  // --- the question and notices --------------------------------------------
  question(text, caption) {
    this.status = 'question';
    this.times.question = performance.now();
    el('loading').hidden = true;
    el('question-caption').textContent = caption;
    el('question-text').textContent = text;
    el('question').hidden = false;
    el('yes').focus();
    return new Promise((resolve) => {
      this.answer = (yes) => {
        this.answer = null;
        this.times.answer = performance.now();
        el('question').hidden = true;
        el('loading').hidden = false;
        this.status = 'loading';
        // The answer is the gesture the browser needs to play sound and to
        // go full screen: both start inside it.
        this.audio.prepare();
        if (yes) this.fullScreen(true);
        resolve(yes ? 1 : 0);
      };
    });
  },
  notice(text, caption) {
    const p = document.createElement('p');
    p.textContent = caption + ': ' + text;
    el('notices').appendChild(p);
  },
  fail(text) {
    el('loading').hidden = true;
    el('failed').textContent = text;
    el('failed').hidden = false;
  },

  // --- events ---------------------------------------------------------------------
  nextKey() { return this.keys.length ? this.keys.shift() : -1; },
  onKey(e) {
    if (this.answer) {
      if (e.key === 'Enter') { e.preventDefault(); this.answer(true); }
      else if (e.key === 'Escape' || e.key === 'Esc') { e.preventDefault(); this.answer(false); }
      return;
    }
    if (this.status !== 'running') return;
    const vk = virtualKey(e);
    if (vk !== VK.OTHER || !e.ctrlKey) this.keys.push(vk);
    if ([VK.ESCAPE, VK.LEFT, VK.RIGHT, VK.UP, VK.DOWN, VK.SPACE].includes(vk)) e.preventDefault();
  },
  // A tap on the right half steps forward, on the left half back.
  onTouch(e) {
    if (this.status !== 'running' || this.answer) return;
    const t = e.changedTouches[0];
    this.keys.push(t.clientX >= window.innerWidth / 2 ? VK.RIGHT : VK.LEFT);
    e.preventDefault();
  },
  // In full screen the browser keeps Escape and leaves full screen: that is
  // the demo's Escape.
  onFullScreenChange() {
    if (!document.fullscreenElement && this.fullScreenWanted && this.status === 'running') {
      this.keys.push(VK.ESCAPE);
    }
  },

  // --- the end ------------------------------------------------------------------
  ended(status) {
    // Where the music stood at the end, in seconds (the tests read it); the
    // platform has stopped it just before.
    this.endedAtMusicSeconds = this.audio.seconds();
    this.audio.close();
    this.status = 'ended';
    this.exitStatus = status;
    el('canvas').hidden = true;
    el('splash').hidden = true;
    el('question').hidden = true;
    el('loading').hidden = true;
    this.fullScreenWanted = false;
    document.body.classList.remove('fullscreen');
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    el('again').href = location.pathname + location.search;
    el('ended').hidden = false;
  },

  // --- music --------------------------------------------------------------------
  audio: {
    ctx: null,
    rate: 44100,         // the context's sample rate (kept after it closes)
    streams: new Map(),  // handle -> { buffer, node, start, last }
    // Made inside the viewer's answer, so that the browser lets it run.
    prepare() {
      if (this.ctx || typeof AudioContext === 'undefined') return;
      try {
        this.ctx = new AudioContext({ sampleRate: 44100 });
        this.rate = this.ctx.sampleRate;
        this.ctx.resume().catch(() => {});
      } catch (e) {
        this.ctx = null;
      }
    },
    async open(frequency) {
      if (this.ctx && this.ctx.sampleRate !== frequency) this.close();
      if (!this.ctx) this.prepare();
      const ctx = this.ctx;
      if (!ctx) return 0;
      if (ctx.state !== 'running') {
        const wait = new Promise((done) => setTimeout(done, 1000));
        await Promise.race([ctx.resume().catch(() => {}), wait]);
      }
      if (ctx.state !== 'running') {
        this.close();
        return 0;
      }
      return 1;
    },
    load(handle, pcm, frames) {
      const ctx = this.ctx;
      if (!ctx) return;
      const buffer = ctx.createBuffer(2, frames, ctx.sampleRate);
      const left = buffer.getChannelData(0), right = buffer.getChannelData(1);
      for (let i = 0; i < frames; i++) {
        left[i] = pcm[2 * i] / 32768;
        right[i] = pcm[2 * i + 1] / 32768;
      }
      this.streams.set(handle, { buffer, node: null, start: 0 });
    },
    play(handle, loop, restart) {
      const s = this.streams.get(handle);
      if (!s || !this.ctx) return false;
      if (s.node && !restart) { s.node.loop = loop; return true; }
      if (s.node) s.node.stop();
      s.node = this.ctx.createBufferSource();
      s.node.buffer = s.buffer;
      s.node.loop = loop;
      s.node.connect(this.ctx.destination);
      s.start = this.ctx.currentTime;
      s.node.start(s.start);
      return true;
    },
    // Sample frames heard since play: the output's timestamp where the
    // browser gives one, else the context's clock.
    framesPlayed(handle) {
      const s = this.streams.get(handle);
      if (!s || !s.node || !this.ctx) return s && s.last ? s.last : 0;
      let t = this.ctx.currentTime;
      if (this.ctx.getOutputTimestamp) {
        const ts = this.ctx.getOutputTimestamp();
        if (ts && ts.contextTime > 0) t = ts.contextTime;
      }
      return Math.max(0, Math.floor((t - s.start) * this.ctx.sampleRate));
    },
    // Seconds of music heard of the first stream, for the page's tests.
    seconds() {
      for (const [handle] of this.streams) return this.framesPlayed(handle) / this.rate;
      return 0;
    },
    pause(pause) {
      if (!this.ctx) return;
      (pause ? this.ctx.suspend() : this.ctx.resume()).catch(() => {});
    },
    free(handle) {
      const s = this.streams.get(handle);
      if (s && s.node) s.node.stop();
      this.streams.delete(handle);
    },
    close() {
      for (const [handle, s] of this.streams) {
        s.last = this.framesPlayed(handle);
        if (s.node) s.node.stop();
        s.node = null;
      }
      if (this.ctx) this.ctx.close().catch(() => {});
      this.ctx = null;
    },
  },
};
window.DemoPage = DemoPage;

function webgl2Available() {
  try {
    return !!document.createElement('canvas').getContext('webgl2');
  } catch (e) {
    return false;
  }
}

function start() {
  el('yes').addEventListener('click', () => DemoPage.answer && DemoPage.answer(true));
  el('no').addEventListener('click', () => DemoPage.answer && DemoPage.answer(false));
  window.addEventListener('keydown', (e) => DemoPage.onKey(e));
  window.addEventListener('touchstart', (e) => DemoPage.onTouch(e), { passive: false });
  document.addEventListener('fullscreenchange', () => DemoPage.onFullScreenChange());

  if (!webgl2Available()) {
    DemoPage.status = 'no-webgl2';
    el('loading').hidden = true;
    el('no-webgl2').hidden = false;
    return;
  }
  if (params.has('at')) {
    // One exact moment: the demo's canvas is the page's only one.
    el('splash').remove();
    el('canvas').hidden = false;
  }
  window.Module = {
    canvas: el('canvas'),
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    onAbort: (what) => {
      DemoPage.status = 'failed';
      DemoPage.fail('The demo stopped: ' + what);
    },
  };
  const script = document.createElement('script');
  script.src = 'demo.js';
  script.onerror = () => DemoPage.fail('The demo could not be loaded.');
  document.body.appendChild(script);
}

start();
