// The audio worklet's processor (host/web/web_audio_worklet.js) run in node
// with a stand-in for the worklet scope: blocks play in order across render
// quanta, a dry queue plays silence and counts it, the page hears how many
// frames were played every block's worth of output, and a mono output gets
// the left channel.
// Usage: node audio_worklet_test.js PATH/TO/web_audio_worklet.js
'use strict';
const assert = require('assert');
const fs = require('fs');
const vm = require('vm');

const source = fs.readFileSync(process.argv[2], 'utf8');

// Loads the processor into a fresh scope; returns its class.
function loadProcessor() {
  const registered = {};
  class AudioWorkletProcessor {
    constructor() {
      this.port = {sent: [], onmessage: null, postMessage(m) { this.sent.push(m); }};
    }
  }
  const scope = {AudioWorkletProcessor, Float32Array, Math,
                 registerProcessor: (name, cls) => { registered[name] = cls; }};
  vm.runInNewContext(source, scope);
  assert.ok(registered['velmora-output'], 'registers velmora-output');
  return registered['velmora-output'];
}

// An interleaved stereo block whose frame f holds (start + f, -(start + f)) / 1000.
function block(start, frames) {
  const b = new Float32Array(2 * frames);
  for (let f = 0; f < frames; ++f) {
    b[2 * f] = (start + f) / 1000;
    b[2 * f + 1] = -(start + f) / 1000;
  }
  return b;
}

function render(p, channels, frames = 128) {
  const out = [];
  for (let c = 0; c < channels; ++c) out.push(new Float32Array(frames).fill(9));
  assert.strictEqual(p.process([], [out]), true, 'keeps running');
  return out;
}

function send(p, data) { p.port.onmessage({data}); }
// The processor's messages come from another realm: compare them as data.
function sent(p) { return JSON.parse(JSON.stringify(p.port.sent)); }
function last(p) { return sent(p).at(-1); }

const Processor = loadProcessor();
let failures = 0;
function check(name, body) {
  try {
    body();
    console.log(`ok: ${name}`);
  } catch (e) {
    failures++;
    console.log(`FAILED: ${name}: ${e.message}`);
  }
}

check('blocks play in order across render quanta, left and right apart', () => {
  const p = new Processor({processorOptions: {reportFrames: 1000}});
  // Blocks that do not line up with the 128-frame quantum.
  send(p, block(0, 100));
  send(p, block(100, 50));
  send(p, block(150, 300));
  const played = [];
  for (let q = 0; q < 3; ++q) {
    const [l, r] = render(p, 2);
    for (let i = 0; i < 128; ++i) {
      assert.strictEqual(r[i], -l[i], `right is its own channel at quantum ${q} frame ${i}`);
      played.push(Math.round(l[i] * 1000));
    }
  }
  const want = Array.from({length: 384}, (_, i) => i);
  assert.deepStrictEqual(played, want);
});

check('a dry queue plays silence, counts it, and resumes with the next block', () => {
  const p = new Processor({processorOptions: {reportFrames: 128}});
  send(p, block(1, 100));
  const [l, r] = render(p, 2);
  assert.strictEqual(Math.round(l[99] * 1000), 100);
  for (let i = 100; i < 128; ++i) assert.ok(l[i] === 0 && r[i] === 0, `silence at ${i}`);
  assert.deepStrictEqual(last(p), {played: 100, starved: 28});
  render(p, 2);
  assert.deepStrictEqual(last(p), {played: 100, starved: 156});
  send(p, block(500, 128));
  const [l2] = render(p, 2);
  assert.strictEqual(Math.round(l2[0] * 1000), 500, 'the next block starts at once, nothing skipped');
  assert.deepStrictEqual(last(p), {played: 228, starved: 156});
});

check('the page hears once per block of output, not once per quantum', () => {
  const p = new Processor({processorOptions: {reportFrames: 512}});
  for (let i = 0; i < 8; ++i) send(p, block(i * 512, 512));
  for (let q = 0; q < 32; ++q) render(p, 2);  // 4096 frames
  assert.strictEqual(sent(p).length, 8);
  assert.deepStrictEqual(sent(p).map(m => m.played), [512, 1024, 1536, 2048, 2560, 3072, 3584, 4096]);
});

check('a mono output gets the left channel; anything but a sample block is ignored', () => {
  const p = new Processor({processorOptions: {reportFrames: 128}});
  send(p, 'hello');
  send(p, new Float32Array(1));
  send(p, {length: 256});
  send(p, block(7, 128));
  const [m] = render(p, 1);
  assert.strictEqual(Math.round(m[0] * 1000), 7);
  assert.strictEqual(Math.round(m[127] * 1000), 134);
  assert.deepStrictEqual(last(p), {played: 128, starved: 0});
});

check('without options it reports every 2048 frames; silence before the first block is no gap', () => {
  const p = new Processor(undefined);
  for (let q = 0; q < 15; ++q) render(p, 2);
  assert.strictEqual(sent(p).length, 0);
  render(p, 2);
  assert.deepStrictEqual(sent(p), [{played: 0, starved: 0}]);
  send(p, block(0, 64));
  for (let q = 0; q < 16; ++q) render(p, 2);
  assert.deepStrictEqual(last(p), {played: 64, starved: 2048 - 64});
});

console.log(failures ? `${failures} failed` : 'all passed');
process.exit(failures ? 1 : 0);
