// demo-page.js -- the page around the demo's WebAssembly: loading it, the
// question, the canvas and its layout, full screen, the splash canvas, keys
// and taps, the music's Web Audio side, a tab in the background, the end of
// the demo, what the page says when something fails, and ?at= (one exact
// frame). The C++ side (platform/sys_web_*.cpp, the platform layer's
// browser back end) calls the DemoPage functions below.
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
// (?at= removes the splash canvas.)
const hide = (...ids) => { for (const id of ids) if (el(id)) el(id).hidden = true; };
const params = new URLSearchParams(location.search);

// A hidden tab draws no animation frames; the demo's loop then goes on at
// this pace (browsers may slow it to once a second when nothing is heard),
// so that its music still moves the parts and ends it on time.
const HIDDEN_FRAME_MS = 100;
// After an input that may start sound, how long the browser may take.
const SOUND_START_MS = 3000;

// Full screen through the standard calls, or where a browser has only
// WebKit's prefixed ones (Safari before 16.4) through those.
const fullScreenApi = {
  element() { return document.fullscreenElement || document.webkitFullscreenElement || null; },
  request(target) {
    const request = target.requestFullscreen || target.webkitRequestFullscreen;
    if (!request) return false;
    try {
      const p = request.call(target);
      if (p && p.catch) p.catch(() => {});
      return true;
    } catch (e) {
      return false;
    }
  },
  exit() {
    const exit = document.exitFullscreen || document.webkitExitFullscreen;
    if (!exit || !this.element()) return;
    try {
      const p = exit.call(document);
      if (p && p.catch) p.catch(() => {});
    } catch (e) {
      // already left
    }
  },
};

// Whether the visitor's input now lets the page start sound (a click, a
// tap, a key other than Escape, within the last moments). Without the API
// (older Safari) the page cannot tell and tries.
function activationNow() {
  return !navigator.userActivation || navigator.userActivation.isActive;
}
// Whether the visitor has given such an input at all (browsers let a page
// that has had one start sound later too).
function activatedOnce() {
  return !navigator.userActivation || navigator.userActivation.hasBeenActive;
}

// ?at=SECONDS and &fps=N, as demo-capture's --stills and --fps take them:
// plain decimal seconds, 0 or more; a whole number of frames a second, 1 to
// 240 (60 when not given). Anything else is refused with the reason.
function parseAt() {
  if (!params.has('at')) return { seconds: -1, fps: 60, error: '' };
  const at = params.get('at'), fps = params.get('fps');
  if (!/^[0-9]+(\.[0-9]+)?$/.test(at)) {
    return { seconds: -1, fps: 60, error: `?at=${at} is not a moment of the demo: plain decimal seconds, 0 or more, as ?at=8.3` };
  }
  if (fps !== null && !(/^[0-9]+$/.test(fps) && Number(fps) >= 1 && Number(fps) <= 240)) {
    return { seconds: -1, fps: 60, error: `&fps=${fps} is not a frame rate: a whole number of frames a second from 1 to 240` };
  }
  return { seconds: Number(at), fps: fps === null ? 60 : Number(fps), error: '' };
}
const atRequest = parseAt();

const DemoPage = {
  status: 'loading',  // loading, question, running, ended, at-done, failed, no-webgl2
  keys: [],
  fullScreenWanted: false,
  at: null,           // ?at= result: { ok, seconds, frame, why }
  endedAtMusicSeconds: null,
  frames: 0,          // animation frames the demo has waited for
  hiddenFrames: 0,    // of them, passes of the loop in a hidden tab
  stopped: false,     // failed or ended: the program waits for nothing more
  times: {},          // performance.now() of the steps (benchmark, tests): question, answer, splash..., firstFrame

  // --- ?at= -----------------------------------------------------------------
  atSeconds() { return atRequest.seconds; },
  atFps() { return atRequest.fps; },
  atDone(ok, seconds, frame, why) {
    this.at = { ok, seconds, frame, why };
    this.status = 'at-done';
    el('loading').hidden = true;
    if (!ok) this.fail(`No frame at ${atRequest.seconds} s: ${why}.`);
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
    if (this.stopped) return;
    if (splash) {
      el('splash').hidden = !show;
      this.times[show ? 'splashShown' : 'splashHidden'] = performance.now();
      return;
    }
    el('canvas').hidden = !show;
    if (show) {
      el('loading').hidden = true;
      this.status = 'running';
      el('end').hidden = !this.touchScreen;
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
  // Two animation frames: what was painted is on screen before loading goes
  // on (in a hidden tab, nothing is drawn: on at once).
  showPainted() {
    if (document.hidden) return Promise.resolve();
    return new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done)));
  },
  // The next frame: the browser's next animation frame, or in a hidden tab
  // (which has none) a short wait, so that the demo keeps its clock there.
  // After a failure or the end nothing more comes.
  nextFrame() {
    if (this.stopped) return new Promise(() => {});
    if (!this.frames) this.times.firstFrame = performance.now();
    return new Promise((done) => {
      let frame = 0, finished = false;
      const go = () => {
        if (finished) return;
        finished = true;
        document.removeEventListener('visibilitychange', onHide);
        if (frame) cancelAnimationFrame(frame);
        this.frames++;
        if (document.hidden) this.hiddenFrames++;
        if (!this.stopped) done();
      };
      const onHide = () => { if (document.hidden) setTimeout(go, HIDDEN_FRAME_MS); };
      if (document.hidden) {
        setTimeout(go, HIDDEN_FRAME_MS);
        return;
      }
      frame = requestAnimationFrame(() => { frame = 0; go(); });
      document.addEventListener('visibilitychange', onHide);
    });
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
  // the picture goes is the platform layer's placement, the desktop's. A
  // browser that cannot go full screen (an iPhone) shows it the same way in
  // the whole of its page.
  fullScreen(on) {
    this.fullScreenWanted = on;
    document.body.classList.toggle('fullscreen', on);
    if (on && !fullScreenApi.element() && !this.fullScreenAsked) {
      // Once: the answer's gesture asks; a later call without one would be refused.
      this.fullScreenAsked = true;
      fullScreenApi.request(document.documentElement);
    } else if (!on) {
      fullScreenApi.exit();
    }
  },
  // What the picture is placed in, in device pixels: in full screen the
  // whole viewport (the screen, once the browser is full screen); else the
  // canvas's box on the page, which the style sheet fits to the page (640 x
  // 480 CSS pixels at most, narrower on a narrow screen), at the screen's
  // pixel density, so that the picture is drawn into every device pixel.
  drawableSize(fullScreen) {
    const r = window.devicePixelRatio || 1;
    if (fullScreen) return [Math.round(window.innerWidth * r), Math.round(window.innerHeight * r)];
    const box = el('canvas').getBoundingClientRect();
    return [Math.round(box.width * r), Math.round(box.height * r)];
  },
  // The canvas becomes the picture: width x height device pixels, in full
  // screen at (left, top) of the viewport, else filling its box on the page.
  placeCanvas(left, top, width, height) {
    const c = el('canvas');
    if (c.width !== width) c.width = width;
    if (c.height !== height) c.height = height;
    if (!this.fullScreenWanted) {
      c.style.width = c.style.height = c.style.left = c.style.top = '';
      return;
    }
    const r = window.devicePixelRatio || 1;
    c.style.width = width / r + 'px';
    c.style.height = height / r + 'px';
    c.style.left = left / r + 'px';
    c.style.top = top / r + 'px';
  },

  // --- the question and notices --------------------------------------------
  // A modal dialog: focus stays on its two buttons (Tab moves between them);
  // Enter or Space acts on the focused one; with no button focused Return
  // answers Yes; Escape always answers No.
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
        DemoPage.touchScreen = window.matchMedia && matchMedia('(any-pointer: coarse)').matches;
  el('loading').hidden = false;
        this.status = 'loading';
        // The answer is the gesture the browser needs to go full screen and
        // (unless it was Escape, which is none) to play sound.
        this.audio.prepare();
        if (yes) this.fullScreen(true);
        resolve(yes ? 1 : 0);
      };
    });
  },
  keepFocusInQuestion(e) {
    if (this.answer && !el('question').contains(e.target)) el('yes').focus();
  },
  notice(text, caption) {
    const p = document.createElement('p');
    p.textContent = caption + ': ' + text;
    el('notices').appendChild(p);
    return p;
  },
  // A failure the demo cannot go on from: the message, with a link that
  // loads the page again where that may help; the music stops, full screen
  // ends, and the program waits for nothing more.
  fail(text, reload = false) {
    if (this.status === 'ended') return;
    this.status = 'failed';
    this.stopped = true;
    this.answer = null;
    this.audio.close();
    this.fullScreenWanted = false;
    document.body.classList.remove('fullscreen');
    fullScreenApi.exit();
    hide('loading', 'question', 'canvas', 'splash', 'end', 'sound-hint');
    el('failed-text').textContent = text;
    el('reload').hidden = !reload;
    el('reload').href = location.href;
    el('failed').hidden = false;
  },

  // --- events ---------------------------------------------------------------------
  nextKey() { return this.keys.length ? this.keys.shift() : -1; },
  onKey(e) {
    if (this.answer) {
      // (The buttons are pressed here, not by the browser's own Enter and
      // Space: some press them only in a window that has the focus.)
      const focused = document.activeElement === el('yes') || document.activeElement === el('no')
        ? document.activeElement : null;
      if (e.key === 'Escape' || e.key === 'Esc') {
        this.answer(false);
      } else if (e.key === 'Tab') {
        (focused === el('yes') ? el('no') : el('yes')).focus();
      } else if (e.key === 'Enter' || (e.key === ' ' && focused)) {
        this.answer(focused ? focused === el('yes') : true);
      } else {
        return;
      }
      e.preventDefault();
      return;
    }
    if (this.status !== 'running') return;
    const vk = virtualKey(e);
    if (vk !== VK.OTHER || !e.ctrlKey) this.keys.push(vk);
    if ([VK.ESCAPE, VK.LEFT, VK.RIGHT, VK.UP, VK.DOWN, VK.SPACE].includes(vk)) e.preventDefault();
  },
  // A tap steps: on the right half of the picture forward, on the left half
  // back (in full screen, of the screen). Only a tap on the canvas (in full
  // screen, anywhere but the End button) counts, and nothing else of the
  // browser's is taken: a touch that moves or stays pans and zooms as usual.
  touches: new Map(),
  touchScreen: false,  // a touch seen, or a screen that takes them: the End button shows
  onTouchStart(e) {
    if (!this.touchScreen) {
      this.touchScreen = true;
      if (this.status === 'running') el('end').hidden = false;
    }
    for (const t of e.changedTouches) this.touches.set(t.identifier, { x: t.clientX, y: t.clientY, at: e.timeStamp });
  },
  onTouchEnd(e) {
    const t = e.changedTouches[0];
    const start = t && this.touches.get(t.identifier);
    for (const u of e.changedTouches) this.touches.delete(u.identifier);
    if (!start || e.touches.length || this.status !== 'running' || this.answer) return;
    const tap = Math.hypot(t.clientX - start.x, t.clientY - start.y) < 12 && e.timeStamp - start.at < 600;
    const onPicture = this.fullScreenWanted ? e.target !== el('end') : e.target === el('canvas');
    if (!tap || !onPicture) return;
    const box = this.fullScreenWanted ? { left: 0, width: window.innerWidth } : el('canvas').getBoundingClientRect();
    this.keys.push(t.clientX >= box.left + box.width / 2 ? VK.RIGHT : VK.LEFT);
    // The tap was the demo's: no click or zoom follows it.
    if (e.cancelable) e.preventDefault();
  },
  // In full screen the browser keeps Escape and leaves full screen: that is
  // the demo's Escape.
  onFullScreenChange() {
    if (!fullScreenApi.element() && this.fullScreenWanted && this.status === 'running') {
      this.keys.push(VK.ESCAPE);
    }
  },
  // The WebGL context is gone (the graphics driver reset or updated, too many
  // tabs): the demo's pictures and textures went with it. The page says so
  // instead of a black canvas, and the music stops.
  onContextLost(e) {
    if (this.status === 'ended' || this.status === 'failed') return;
    e.preventDefault();
    this.contextLost = true;
    this.fail('The browser took the graphics away from the demo (its WebGL context was lost, as when the ' +
      'graphics driver restarts). Load the page again to play it.', true);
  },

  // --- the end ------------------------------------------------------------------
  ended(status) {
    // Where the music stood at the end, in seconds (the tests read it); the
    // platform has stopped it just before.
    this.endedAtMusicSeconds = this.audio.seconds();
    this.audio.close();
    this.status = 'ended';
    this.stopped = true;
    this.exitStatus = status;
    hide('canvas', 'splash', 'question', 'loading', 'end', 'sound-hint');
    this.fullScreenWanted = false;
    document.body.classList.remove('fullscreen');
    fullScreenApi.exit();
    el('again').href = location.pathname + location.search;
    el('ended').hidden = false;
  },

  // --- music --------------------------------------------------------------------
  // The music is an AudioBuffer played by an AudioBufferSourceNode. A browser
  // starts sound only after an activating input (a click, a tap, a key other
  // than Escape). When the answer was not one (Escape), the music plays on
  // the page's clock without sound, the page says how to get sound, and the
  // next activating input starts it at the position that clock has reached.
  audio: {
    ctx: null,
    rate: 44100,         // the music's sample rate (the context runs at it)
    state: 'closed',     // closed; running (heard); waiting (for an input, on the page's clock); silent (no output
                         // after an input: on the page's clock, joined if the output starts)
    paused: false,       // the page hidden: the music's clock stands
    silentNotice: null,  // the message while silent
    streams: new Map(),  // handle -> { buffer, node, start, loop, clock, last }
    heard: 0,            // the last heard time given (context seconds), so that it never goes back
    told: -1,            // the output's time as the context last told it, and
    toldAt: 0,           // when the page saw it move (performance.now())
    // Made inside the answer once the visitor has given an activating input
    // (the answer itself, or a click before it), so that the browser lets it
    // run.
    prepare() {
      if (this.ctx || typeof AudioContext === 'undefined' || !activatedOnce()) return;
      this.makeContext();
    },
    makeContext() {
      try {
        this.ctx = new AudioContext({ sampleRate: this.rate });
        this.ctx.resume().catch(() => {});
      } catch (e) {
        this.ctx = null;
      }
      return this.ctx;
    },
    // Resolves when the context runs, or after `ms`.
    running(ms) {
      const ctx = this.ctx;
      if (!ctx || ctx.state === 'running') return Promise.resolve();
      const wait = new Promise((done) => setTimeout(done, ms));
      return Promise.race([ctx.resume().catch(() => {}), wait]);
    },
    async open(frequency) {
      if (typeof AudioContext === 'undefined') return 0;
      this.rate = frequency;
      if (this.ctx && this.ctx.sampleRate !== frequency) this.closeContext();
      if (!this.ctx && activatedOnce()) this.makeContext();
      await this.running(SOUND_START_MS);
      if (this.ctx && this.ctx.state === 'running') {
        this.state = 'running';
        return 1;
      }
      // The visitor has given no activating input yet: the music waits for
      // one on the page's clock. Given one: without a context the demo has
      // no sound; a context whose output has not started is the page's
      // to follow (it may still start).
      if (navigator.userActivation && navigator.userActivation.hasBeenActive) {
        if (!this.ctx) return 0;
        this.giveUp();
        return 1;
      }
      this.state = 'waiting';
      DemoPage.showSoundHint(true);
      return 1;
    },
    buffer(pcm, frames) {
      const options = { numberOfChannels: 2, length: frames, sampleRate: this.rate };
      const buffer = this.ctx ? this.ctx.createBuffer(2, frames, this.rate) : new AudioBuffer(options);
      const left = buffer.getChannelData(0), right = buffer.getChannelData(1);
      for (let i = 0; i < frames; i++) {
        left[i] = pcm[2 * i] / 32768;
        right[i] = pcm[2 * i + 1] / 32768;
      }
      return buffer;
    },
    load(handle, pcm, frames) {
      this.streams.set(handle, { buffer: this.buffer(pcm, frames), node: null, start: 0, loop: false, clock: null });
    },
    // The stream plays from `frames` (sample frames since its play) on, in
    // step with what is heard: the node starts where the music will be when
    // what it plays now reaches the speakers.
    startNode(s, frames) {
      const ctx = this.ctx, duration = s.buffer.duration;
      // (The lag is measured by the clock the position is then read by, so
      // that the music goes on from `frames` exactly.)
      const lag = ctx.currentTime - this.heardTime();
      s.start = ctx.currentTime - (frames / this.rate + lag);
      let offset = Math.max(0, frames / this.rate + lag);
      if (s.loop) offset %= duration;
      else if (offset >= duration) return;
      s.node = ctx.createBufferSource();
      s.node.buffer = s.buffer;
      s.node.loop = s.loop;
      s.node.connect(ctx.destination);
      s.node.start(0, offset);
    },
    play(handle, loop, restart) {
      const s = this.streams.get(handle);
      if (!s || this.state === 'closed') return false;
      s.loop = loop;
      if (this.state !== 'running') {
        if (!s.clock || restart) s.clock = { from: performance.now(), frames: 0 };
        return true;
      }
      if (s.node && !restart) { s.node.loop = loop; return true; }
      if (s.node) s.node.stop();
      s.node = null;
      this.startNode(s, 0);
      return true;
    },
    // The context's time of what reaches the speakers now: its output
    // timestamp (until the output tells one, the context's clock less the
    // latencies it gives, which is where the timestamp then starts: so in
    // both engines here), which moves once per block of audio and only
    // between the page's tasks, moved on by the page's clock since it last
    // moved, by 100 ms at most (an output that stalls stops there); never
    // back.
    heardTime() {
      const ctx = this.ctx, now = performance.now();
      const ts = ctx.getOutputTimestamp ? ctx.getOutputTimestamp() : null;
      const told = ts && ts.contextTime > 0 ? ts.contextTime
        : ctx.currentTime - (ctx.outputLatency || 0) - (ctx.baseLatency || 0);
      if (told !== this.told) {
        this.told = told;
        this.toldAt = now;
      }
      const since = ctx.state === 'running' ? Math.min(0.1, (now - this.toldAt) / 1000) : 0;
      this.heard = Math.max(this.heard, told + since);
      return this.heard;
    },
    // Sample frames heard since play (on the page's clock while sound waits
    // or failed).
    framesPlayed(handle) {
      const s = this.streams.get(handle);
      if (!s) return 0;
      if (s.node && this.ctx) return Math.max(0, Math.floor((this.heardTime() - s.start) * this.rate));
      if (s.clock) {
        const now = s.clock.pausedAt !== undefined ? s.clock.pausedAt : performance.now();
        return s.clock.frames + Math.floor((now - s.clock.from) / 1000 * this.rate);
      }
      return s.last || 0;
    },
    // Seconds of music heard of the first stream, for the page's tests.
    seconds() {
      for (const [handle] of this.streams) return this.framesPlayed(handle) / this.rate;
      return 0;
    },
    pause(pause) {
      this.paused = pause;
      for (const [, s] of this.streams) {
        if (!s.clock) continue;
        if (pause && s.clock.pausedAt === undefined) s.clock.pausedAt = performance.now();
        if (!pause && s.clock.pausedAt !== undefined) {
          s.clock.from += performance.now() - s.clock.pausedAt;
          delete s.clock.pausedAt;
        }
      }
      if (this.ctx && this.state === 'running') (pause ? this.ctx.suspend() : this.ctx.resume()).catch(() => {});
      if (!pause && this.state === 'silent' && this.ctx && this.ctx.state === 'running') this.join();
    },
    // An input that may start sound: while the music waits for one, the
    // context is made (or resumed) inside it; once it runs, each playing
    // stream joins at the position the page's clock has reached.
    wake() {
      if (this.state === 'silent' && this.ctx && activationNow()) this.ctx.resume().catch(() => {});
      if (this.state !== 'waiting' || this.waking || !activationNow()) return;
      if (!this.ctx && !this.makeContext()) {
        this.giveUp();
        return;
      }
      this.ctx.resume().catch(() => {});
      this.waking = true;
      this.running(SOUND_START_MS).then(() => {
        this.waking = false;
        if (this.state !== 'waiting') return;
        if (this.ctx.state !== 'running') {
          // An activating input, and still no sound: it failed for good.
          if (!navigator.userActivation || navigator.userActivation.hasBeenActive) this.giveUp();
          return;
        }
        this.join();
      });
    },
    // Sound starts: each playing stream joins at the position the page's
    // clock has reached.
    join() {
      this.state = 'running';
      for (const [handle, s] of this.streams) {
        if (!s.clock) continue;
        const frames = this.framesPlayed(handle);
        s.clock = null;
        this.startNode(s, frames);
      }
      DemoPage.showSoundHint(false);
      if (this.silentNotice) this.silentNotice.remove();
      this.silentNotice = null;
      DemoPage.times.soundJoined = performance.now();
    },
    // Sound has not started: the desktop's message, and the music stays on
    // the page's clock. A context that was made stays open, for an output
    // can start late (a device slow to wake, a headset still connecting):
    // the music joins then and the message goes.
    giveUp() {
      this.state = 'silent';
      DemoPage.showSoundHint(false);
      this.silentNotice = DemoPage.notice('Could not initialize BASS, switching to no-sound', 'Shit !');
      const ctx = this.ctx;
      if (!ctx) return;
      ctx.onstatechange = () => {
        if (this.ctx === ctx && this.state === 'silent' && !this.paused && ctx.state === 'running') this.join();
      };
    },
    free(handle) {
      const s = this.streams.get(handle);
      if (s && s.node) s.node.stop();
      this.streams.delete(handle);
    },
    closeContext() {
      if (this.ctx) this.ctx.close().catch(() => {});
      this.ctx = null;
      this.heard = 0;
      this.told = -1;
    },
    close() {
      for (const [handle, s] of this.streams) {
        s.last = this.framesPlayed(handle);
        if (s.node) s.node.stop();
        s.node = null;
        s.clock = null;
      }
      this.closeContext();
      this.state = 'closed';
    },
  },
  // How to get sound, while the music waits for an input: said for a while.
  showSoundHint(show) {
    clearTimeout(this.soundHintTimer);
    el('sound-hint').hidden = !show;
    if (show) this.soundHintTimer = setTimeout(() => { el('sound-hint').hidden = true; }, 10000);
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

// demo.wasm, fetched (from the start, beside demo.js) with the progress
// shown, compiled as it arrives.
let wasmFetch = null;
async function instantiateDemo(imports) {
  let response;
  try {
    response = await wasmFetch;
  } catch (e) {
    throw new Error('demo.wasm could not be fetched (' + e.message + ')');
  }
  if (!response.ok) throw new Error(`demo.wasm could not be fetched (${response.status} ${response.statusText})`.replace(' )', ')'));
  // (With compression the length is that of the compressed bytes.)
  const total = Number(response.headers.get('Content-Length')) || 0;
  const encoded = !!response.headers.get('Content-Encoding');
  let received = 0;
  const progress = (bytes) => {
    const mb = (bytes / 1048576).toFixed(1);
    el('progress-text').textContent = total && !encoded ? `${mb} of ${(total / 1048576).toFixed(1)} MB` : `${mb} MB`;
    if (total && !encoded) el('progress').value = Math.min(1, bytes / total);
  };
  let body = response;
  if (response.body && typeof ReadableStream !== 'undefined') {
    const reader = response.body.getReader();
    const counted = new ReadableStream({
      async pull(controller) {
        const { done, value } = await reader.read();
        if (done) { controller.close(); return; }
        received += value.byteLength;
        progress(received);
        controller.enqueue(value);
      },
    });
    body = new Response(counted, { headers: { 'Content-Type': 'application/wasm' } });
  }
  if (WebAssembly.instantiateStreaming) return WebAssembly.instantiateStreaming(body, imports);
  return WebAssembly.instantiate(await body.arrayBuffer(), imports);
}

function start() {
  el('yes').addEventListener('click', () => DemoPage.answer && DemoPage.answer(true));
  el('no').addEventListener('click', () => DemoPage.answer && DemoPage.answer(false));
  el('question').addEventListener('mousedown', (e) => { if (!el('question-box').contains(e.target)) e.preventDefault(); });
  document.addEventListener('focusin', (e) => DemoPage.keepFocusInQuestion(e));
  window.addEventListener('keydown', (e) => DemoPage.onKey(e));
  // Every input that may start sound (the key first: its press steps too).
  for (const type of ['keydown', 'mousedown', 'pointerup', 'touchend', 'click']) {
    window.addEventListener(type, () => DemoPage.audio.wake(), { capture: true, passive: true });
  }
  window.addEventListener('touchstart', (e) => DemoPage.onTouchStart(e), { passive: true });
  window.addEventListener('touchend', (e) => DemoPage.onTouchEnd(e), { passive: false });
  el('end').addEventListener('click', () => { if (DemoPage.status === 'running') DemoPage.keys.push(VK.ESCAPE); });
  for (const type of ['fullscreenchange', 'webkitfullscreenchange']) {
    document.addEventListener(type, () => DemoPage.onFullScreenChange());
  }
  el('canvas').addEventListener('webglcontextlost', (e) => DemoPage.onContextLost(e));
  window.addEventListener('error', (e) => {
    if (DemoPage.status !== 'ended') DemoPage.fail('The demo stopped: ' + (e.message || 'an error in the page'), true);
  });
  window.addEventListener('unhandledrejection', (e) => {
    const why = e.reason && e.reason.message ? e.reason.message : String(e.reason);
    if (DemoPage.status !== 'ended') DemoPage.fail('The demo stopped: ' + why, true);
  });
  DemoPage.touchScreen = window.matchMedia && matchMedia('(any-pointer: coarse)').matches;
  el('loading').hidden = false;

  if (location.protocol === 'file:') {
    DemoPage.fail('This page plays only from a web server (an http:// or https:// address): browsers do not ' +
      'run its WebAssembly from a file. Put its folder on any static web server, or run make serve-web ' +
      'and open http://127.0.0.1:8000/.');
    return;
  }
  if (atRequest.error) {
    DemoPage.fail(atRequest.error + '.');
    return;
  }
  if (!webgl2Available()) {
    DemoPage.status = 'no-webgl2';
    el('loading').hidden = true;
    el('no-webgl2').hidden = false;
    return;
  }
  if (params.has('at')) {
    // One exact moment: the demo's canvas is the page's only one, as it is.
    el('splash').remove();
    el('canvas').hidden = false;
  }
  wasmFetch = fetch('demo.wasm', { credentials: 'same-origin' });
  wasmFetch.catch(() => {});  // (its failure is told when the demo asks for it)
  window.Module = {
    canvas: el('canvas'),
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    instantiateWasm(imports, receive) {
      instantiateDemo(imports).then(
        (result) => receive(result.instance, result.module),
        (e) => DemoPage.fail('The demo could not be loaded: ' + e.message + '.', true));
      return {};
    },
    onAbort: (what) => DemoPage.fail('The demo stopped: ' + what, true),
  };
  const script = document.createElement('script');
  script.src = 'demo.js';
  script.onerror = () => DemoPage.fail('The demo could not be loaded: demo.js could not be fetched.', true);
  document.body.appendChild(script);
}

start();
