// The page's sound (host/web/web_audio.js) run in node against a stand-in
// for Web Audio, the page and the program: the blocks it mixes play back
// to back on the context's clock with no frame lost or doubled, a cue is
// heard before the next tick, a late wake-up leaves a counted gap instead
// of a block in the past, a hidden page stops and suspends the output and
// hands the clock back to the program, and closing leaves nothing behind.
// Usage: node audio_queue_test.js PATH/TO/web_audio.js
'use strict';
const assert = require('assert');
const fs = require('fs');
const vm = require('vm');

const source = fs.readFileSync(process.argv[2], 'utf8');
const RATE = 22050;
const BLOCK = 4096;
const TICK_SECONDS = 0.5;

// A page with one program: virtual time drives the timers and the context's
// clock, which moves in steps of what the browser renders at once (2304
// frames at the 0.1 s hint in Chromium), its baseLatency.
function makePage(options = {}) {
  const page = {ms: 0, timers: [], listeners: {}, docListeners: {}, contexts: [], holds: [], status: '',
                visibility: 'visible', mixCalls: [], mixed: 0, silentHost: false, lateMs: options.lateMs || 0,
                burst: options.burst || 2304};
  const heap = new Float32Array(2 * 16384 + 16);
  const state = {frames: 0, audioFrames: 0, audioPeak: 0};

  class Node {
    constructor(ctx) { this.ctx = ctx; this.buffer = null; this.when = null; this.stopped = false; this.connected = false; }
    connect(dest) { assert.strictEqual(dest, this.ctx.destination); this.connected = true; }
    disconnect() { this.connected = false; }
    start(when) {
      assert.strictEqual(this.when, null, 'a source node starts once');
      assert.ok(when >= this.ctx.currentTime, `a block starts at ${when}, in the past (clock ${this.ctx.currentTime})`);
      this.when = when;
    }
    stop() { this.stopped = true; }
  }
  class Context {
    constructor(opts) {
      if (options.refuse) throw new Error('NotSupportedError');
      this.opts = opts;
      this.sampleRate = opts.sampleRate;
      this.state = 'suspended';
      this.frames = 0;
      this.destination = {};
      this.baseLatency = page.burst / opts.sampleRate;
      this.nodes = [];
      page.contexts.push(this);
    }
    // A started context renders its first burst at once.
    get currentTime() {
      const rendered = this.frames > 0 ? Math.floor(this.frames / page.burst) * page.burst + page.burst : 0;
      return rendered / this.sampleRate;
    }
    createBuffer(channels, frames, rate) {
      assert.strictEqual(rate, this.sampleRate);
      const planes = Array.from({length: channels}, () => new Float32Array(frames));
      return {length: frames, planes, copyToChannel(data, c) { planes[c].set(data); }};
    }
    createBufferSource() { const n = new Node(this); this.nodes.push(n); return n; }
    resume() {
      // A browser may refuse the first start (no activation): the promise
      // then waits for a later one.
      if (options.holdFirstResume && !this.refusedOnce) {
        this.refusedOnce = true;
        return new Promise(() => {});
      }
      if (this.state !== 'closed') this.state = 'running';
      return Promise.resolve();
    }
    suspend() { if (this.state !== 'closed') this.state = 'suspended'; return Promise.resolve(); }
    close() { this.state = 'closed'; return Promise.resolve(); }
  }

  const scope = {
    Math, Promise, Float32Array, Number, isNaN,
    HEAPF32: heap,
    LibraryManager: {library: {}},
    mergeInto: (lib, entries) => Object.assign(lib, entries),
    setTimeout: (fn, ms) => { const t = {at: page.ms + ms + page.lateMs, fn}; page.timers.push(t); return page.timers.length; },
    clearTimeout: (id) => { if (id > 0 && page.timers[id - 1]) page.timers[id - 1].fn = null; },
    window: {
      AudioContext: Context,
      addEventListener: (type, fn) => { page.listeners[type] = fn; },
      removeEventListener: (type, fn) => { if (page.listeners[type] === fn) delete page.listeners[type]; },
    },
    document: {
      get visibilityState() { return page.visibility; },
      addEventListener: (type, fn) => { page.docListeners[type] = fn; },
      removeEventListener: (type, fn) => { if (page.docListeners[type] === fn) delete page.docListeners[type]; },
    },
    VW: {state: () => state, status: (text) => { page.status = text; }},
    // The program: frame n of what it mixes is n on the left, -n on the
    // right, and the peak of a block is its frame count.
    Module: {
      _velmora_web_mix(frames) {
        if (page.silentHost) return 0;
        page.mixCalls.push({time: page.ms / 1000 + page.burst / RATE, frames});
        for (let i = 0; i < frames; ++i) {
          heap[4 + i] = page.mixed + i;
          heap[4 + frames + i] = -(page.mixed + i);
        }
        page.mixed += frames;
        page.lastPeak = frames;
        return 16;
      },
      _velmora_web_mix_peak() { return page.lastPeak; },
      _velmora_web_audio_hold(ahead) { page.holds.push({ms: page.ms, ahead}); },
    },
  };
  vm.runInNewContext(source, scope);
  const lib = scope.LibraryManager.library;
  scope.VA = lib.$VA;
  page.VA = lib.$VA;
  page.lib = lib;
  page.state = state;
  page.ctx = () => page.contexts[0];

  // Moves virtual time on by `ms`, a millisecond at a time, running due
  // timers and the promises they settle.
  page.advance = async (ms) => {
    for (let i = 0; i < ms; ++i) {
      page.ms += 1;
      for (const c of page.contexts) if (c.state === 'running') c.frames += RATE / 1000;
      const due = page.timers.filter((t) => t.fn && t.at <= page.ms);
      for (const t of due) {
        const fn = t.fn;
        t.fn = null;
        fn();
      }
      await flush();
    }
  };
  page.open = () => assert.strictEqual(lib.velmora_web_audio_open(RATE, 2, BLOCK), 1);
  page.gesture = async () => { page.listeners.keydown(); await flush(); };
  page.setVisibility = async (v) => { page.visibility = v; page.docListeners.visibilitychange(); await flush(); };
  page.pending = () => page.timers.filter((t) => t.fn).length;
  // What the context would play, frame by frame, from its first block to
  // `frames` frames on: the sum of every started, unstopped node there.
  page.render = (frames) => {
    const ctx = page.ctx();
    const nodes = ctx.nodes.filter((n) => n.when !== null && !n.stopped);
    const first = Math.min(...nodes.map((n) => n.when * RATE));
    const left = new Float64Array(frames);
    const right = new Float64Array(frames);
    const cover = new Uint8Array(frames);
    for (const n of nodes) {
      const at = n.when * RATE - first;
      assert.ok(Math.abs(at - Math.round(at)) < 1e-6, `a block starts between frames (${at})`);
      for (let i = 0; i < n.buffer.length && Math.round(at) + i < frames; ++i) {
        left[Math.round(at) + i] += n.buffer.planes[0][i];
        right[Math.round(at) + i] += n.buffer.planes[1][i];
        cover[Math.round(at) + i]++;
      }
    }
    return {left, right, cover, first};
  };
  return page;
}

async function flush() { for (let i = 0; i < 4; ++i) await Promise.resolve(); }

const cases = {
  async 'blocks play back to back on the clock: every mixed frame once, in order, with nothing starved'() {
    const page = makePage();
    page.open();
    await page.advance(300);
    assert.strictEqual(page.contexts.length, 0, 'no context before a gesture');
    assert.strictEqual(page.mixCalls.length, 0, 'nothing mixed before a gesture');
    await page.gesture();
    const ctx = page.ctx();
    assert.deepStrictEqual(JSON.parse(JSON.stringify(ctx.opts)), {sampleRate: RATE, latencyHint: 0.1});
    assert.strictEqual(page.state.audioRate, RATE);
    assert.strictEqual(page.state.audioState, 'running');
    assert.strictEqual(page.listeners.keydown, undefined, 'the gesture listener is gone once sound started');
    await page.advance(3000);
    const mixed = page.mixed;
    assert.ok(mixed >= 3 * RATE, `${mixed} frames mixed in 3 s`);
    assert.ok(mixed <= 3 * RATE + 2 * BLOCK, `${mixed} frames mixed in 3 s: more than a block or two ahead`);
    const {left, right, cover} = page.render(mixed);
    for (let i = 0; i < mixed; ++i) {
      if (cover[i] !== 1 || left[i] !== i || right[i] !== -i) {
        assert.fail(`frame ${i}: covered ${cover[i]} times, left ${left[i]}, right ${right[i]}`);
      }
    }
    assert.strictEqual(page.state.audioFrames, mixed);
    assert.strictEqual(page.state.audioPeak, BLOCK);
    assert.strictEqual(page.state.audioStarved, 0);
    // Played: the frames from the first block's start to the clock, as of
    // the last wake-up (at most a block ago).
    const clockFrames = Math.round(ctx.currentTime * RATE);
    const firstFrame = Math.round(ctx.nodes[0].when * RATE);
    const behind = clockFrames - firstFrame - page.state.audioPlayed;
    assert.ok(behind >= 0 && behind <= BLOCK, `frames played ${page.state.audioPlayed}, ${behind} behind the clock`);
    assert.strictEqual(page.pending(), 1, 'one timer waits for the next block');
  },

  async 'a cue is heard before the next tick, and the page wakes about once a block'() {
    const page = makePage();
    page.open();
    await page.gesture();
    await page.advance(5000);
    const calls = page.mixCalls;
    const starts = page.ctx().nodes.map((n) => n.when);
    // A cue started just after one block was mixed is in the next block
    // (times where the browser renders by the wall clock: a burst ahead of
    // it; the context's clock follows in steps).
    let worst = 0;
    for (let i = 1; i < calls.length; ++i) worst = Math.max(worst, starts[i] - calls[i - 1].time);
    // The device's own delay comes on top: a tenth of a second is left for it.
    assert.ok(worst < TICK_SECONDS - 0.1, `a cue may wait ${worst.toFixed(3)} s to reach the output`);
    const perSecond = calls.length / 5;
    assert.ok(perSecond <= RATE / BLOCK + 1, `${perSecond} mixes a second`);
    assert.ok(page.timers.length <= calls.length + 2, `${page.timers.length} timers for ${calls.length} blocks`);
  },

  async 'a late wake-up leaves a counted gap, never a block in the past'() {
    const page = makePage();
    page.open();
    await page.gesture();
    await page.advance(1000);
    page.lateMs = 400;  // the next timer fires far beyond the queue's end
    await page.advance(1500);
    const starved = page.state.audioStarved;
    assert.ok(starved > 0, 'the gap is counted');
    const ctx = page.ctx();
    const nodes = ctx.nodes;
    // No two blocks overlap and the gap is exactly what was counted.
    let gap = 0;
    for (let i = 1; i < nodes.length; ++i) {
      const d = Math.round(nodes[i].when * RATE) - Math.round(nodes[i - 1].when * RATE) - BLOCK;
      assert.ok(d >= 0, `block ${i} overlaps the one before by ${-d} frames`);
      gap += d;
    }
    assert.strictEqual(gap, starved);
    // Frames played never count the gap.
    const firstFrame = Math.round(nodes[0].when * RATE);
    const clockFrames = Math.round(ctx.currentTime * RATE);
    assert.ok(page.state.audioPlayed <= clockFrames - firstFrame - starved);
  },

  async 'a hidden page drops its queue, suspends the output and gives the clock back; shown, it plays on'() {
    const page = makePage();
    page.open();
    await page.gesture();
    await page.advance(1000);
    const ctx = page.ctx();
    const queuedEnd = Math.max(...ctx.nodes.map((n) => Math.round(n.when * RATE) + BLOCK));
    const clock = Math.round(ctx.currentTime * RATE);
    const firstFrame = Math.round(ctx.nodes[0].when * RATE);
    await page.setVisibility('hidden');
    assert.strictEqual(ctx.state, 'suspended');
    assert.strictEqual(page.state.audioState, 'suspended');
    assert.deepStrictEqual(page.holds, [{ms: page.ms, ahead: queuedEnd - clock}]);
    assert.ok(ctx.nodes.every((n) => n.stopped || Math.round(n.when * RATE) + BLOCK <= clock),
              'every block not yet played is stopped');
    assert.strictEqual(page.state.audioPlayed, clock - firstFrame);
    assert.strictEqual(page.pending(), 0, 'no timer runs while hidden');
    const mixed = page.mixed;
    await page.advance(2000);
    assert.strictEqual(page.mixed, mixed, 'nothing mixed while hidden');
    // A key while hidden does not wake the output.
    if (page.listeners.keydown) await page.gesture();
    assert.strictEqual(ctx.state, 'suspended');
    await page.setVisibility('visible');
    assert.strictEqual(ctx.state, 'running');
    assert.ok(page.mixed > mixed, 'the page mixes again once shown');
    const resumed = ctx.nodes.filter((n) => !n.stopped).at(-1);
    assert.ok(resumed.when >= ctx.currentTime);
    assert.strictEqual(page.state.audioStarved, 0, 'a hidden page is no gap for want of a block');
    await page.advance(1000);
    assert.strictEqual(page.pending(), 1);
  },

  async 'a page hidden when the first gesture comes starts suspended; the program keeps to the clock'() {
    const page = makePage();
    page.open();
    page.visibility = 'hidden';
    await page.gesture();
    assert.strictEqual(page.ctx().state, 'suspended');
    // The program has followed the clock since the output opened: a new
    // hold would lose the time since its last wait.
    assert.deepStrictEqual(page.holds, []);
    await page.advance(500);
    assert.strictEqual(page.mixed, 0);
    await page.setVisibility('visible');
    await page.advance(500);
    assert.ok(page.mixed > 0);
  },

  async 'a context the browser keeps suspended is tried again on the next gesture'() {
    const page = makePage({holdFirstResume: true});
    page.open();
    await page.gesture();
    assert.strictEqual(page.ctx().state, 'suspended');
    assert.ok(page.listeners.keydown, 'still listening for a gesture');
    await page.advance(300);
    assert.strictEqual(page.mixed, 0);
    await page.gesture();
    assert.strictEqual(page.contexts.length, 1, 'one context');
    assert.strictEqual(page.ctx().state, 'running');
    assert.strictEqual(page.listeners.keydown, undefined);
    await page.advance(300);
    assert.ok(page.mixed > 0);
  },

  async 'closing stops every block, the timer and the context; a late promise feeds nothing'() {
    const page = makePage();
    page.open();
    await page.gesture();
    await page.advance(700);
    const ctx = page.ctx();
    page.lib.velmora_web_audio_close();
    assert.strictEqual(ctx.state, 'closed');
    assert.strictEqual(page.pending(), 0);
    const playing = Math.round(ctx.currentTime * RATE);
    assert.ok(ctx.nodes.every((n) => n.stopped || Math.round(n.when * RATE) + BLOCK <= playing));
    assert.ok(ctx.nodes.every((n) => !n.connected || Math.round(n.when * RATE) + BLOCK <= playing));
    assert.strictEqual(page.docListeners.visibilitychange, undefined);
    const mixed = page.mixed;
    await page.advance(1000);
    assert.strictEqual(page.mixed, mixed);
    page.lib.velmora_web_audio_close();  // twice is harmless
  },

  async 'a host with nothing to mix stops the feeding; a browser refusing the rate plays silently'() {
    const page = makePage();
    page.open();
    page.silentHost = true;
    await page.gesture();
    assert.strictEqual(page.ctx().nodes.length, 0);
    assert.strictEqual(page.pending(), 0);
    const refused = makePage({refuse: true});
    refused.open();
    await refused.gesture();
    assert.match(refused.status, /cannot play sound at 22050 Hz/);
    assert.strictEqual(refused.listeners.keydown, undefined, 'no context is tried on every key');
  },
};

(async () => {
  let failures = 0;
  for (const [name, body] of Object.entries(cases)) {
    try {
      await body();
      console.log(`ok: ${name}`);
    } catch (e) {
      failures++;
      console.log(`FAILED: ${name}: ${e.stack}`);
    }
  }
  console.log(failures ? `${failures} failed` : 'all passed');
  process.exit(failures ? 1 : 0);
})();
