// web_audio_worklet.js — the audio rendering thread's end of the browser
// host's sound (web_audio.js sends the mixed blocks).
//
// Provides: the 'velmora-output' AudioWorkletProcessor. It plays blocks of
// interleaved stereo samples (Float32Array, -1..1) in the order they
// arrive, silence when none is waiting, and every `reportFrames` frames of
// output it tells the page how many frames it has taken from the blocks, so
// the page mixes more only when the queue runs low: the page's thread wakes
// once a block, not once a render quantum.
// Depends on: AudioWorkletGlobalScope only (it runs apart from the page).

class VelmoraOutput extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const o = (options && options.processorOptions) || {};
    this.reportFrames = o.reportFrames > 0 ? o.reportFrames : 2048;
    this.blocks = [];
    this.offset = 0;       // frames of blocks[0] already played
    this.played = 0;       // frames taken from blocks so far
    this.starved = 0;      // frames of silence for want of a block, once one came
    this.sinceReport = 0;
    this.port.onmessage = (e) => {
      if (e.data instanceof Float32Array && e.data.length >= 2) this.blocks.push(e.data);
    };
  }

  process(inputs, outputs) {
    const out = outputs[0];
    const left = out[0];
    const right = out.length > 1 ? out[1] : null;
    const n = left.length;
    let i = 0;
    while (i < n && this.blocks.length) {
      const block = this.blocks[0];
      const frames = block.length >> 1;
      const take = Math.min(n - i, frames - this.offset);
      let s = 2 * this.offset;
      for (let k = i; k < i + take; ++k, s += 2) {
        left[k] = block[s];
        if (right) right[k] = block[s + 1];
      }
      i += take;
      this.offset += take;
      if (this.offset >= frames) {
        this.blocks.shift();
        this.offset = 0;
      }
    }
    if (i < n) {
      left.fill(0, i);
      if (right) right.fill(0, i);
      // Before the first block the output has not begun: that is no gap.
      if (this.played + i > 0) this.starved += n - i;
    }
    this.played += i;
    this.sinceReport += n;
    if (this.sinceReport >= this.reportFrames) {
      this.sinceReport = 0;
      this.port.postMessage({played: this.played, starved: this.starved});
    }
    return true;
  }
}

registerProcessor('velmora-output', VelmoraOutput);
