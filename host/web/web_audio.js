// web_audio.js — the browser host's sound: the program's mixer played
// through Web Audio (web_host.cpp mixes; this file moves the samples).
//
// Provides: velmora_web_audio_open/close. Browsers let a page make sound
// only once the user has acted on it, so the output starts on the first
// key, click or touch; until then web_host.cpp pulls the mixer by the clock
// and drops what it mixes, so the cues keep time. Where the browser has an
// AudioWorklet, the page mixes blocks of `blockFrames` frames and posts
// them to the processor in velmora.worklet.js (web_audio_worklet.js), which
// plays them on the audio thread and asks for the next one as each is
// used: the page's thread wakes once a block. Elsewhere (or with
// `?audio=script-processor` in the address) a ScriptProcessorNode pulls the
// same blocks on the page's thread. Module.velmora records which path plays
// (audioPath), the frames mixed for it (audioFrames) and their peak, and the
// frames the worklet has played (audioPlayed), all at the context's rate
// (audioRate: the mixer's, 22050 Hz, which the browser converts to the
// device's).
// Depends on: $VW of web_host.js (page state, status line), the exported
// _velmora_web_mix, emscripten's locateFile.

mergeInto(LibraryManager.library, {
  $VA__deps: ['$VW'],
  $VA: {
    audio: null,
    // Blocks queued ahead of the one playing: enough to ride out a busy
    // moment of the page's thread, few enough to keep the cues prompt.
    leadBlocks: 2,

    listenForGesture: function(on) {
      ['keydown', 'mousedown', 'touchstart'].forEach(function(type) {
        if (on) window.addEventListener(type, VA.start, true);
        else window.removeEventListener(type, VA.start, true);
      });
    },

    // `frames` mixed frames as interleaved stereo floats, or null when the
    // program has no output open.
    mix: function(a, frames) {
      var ptr = VA.audio === a ? Module['_velmora_web_mix'](frames) : 0;
      if (!ptr) return null;
      var out = HEAPF32.slice(ptr >> 2, (ptr >> 2) + 2 * frames);
      var peak = Module['_velmora_web_mix_peak']();
      var st = VW.state();
      st.audioFrames += frames;
      if (peak > st.audioPeak) st.audioPeak = peak;
      return out;
    },

    // Tops the worklet's queue up to the lead.
    feed: function(a) {
      while (VA.audio === a && a.sent - a.played < VA.leadBlocks * a.blockFrames) {
        var block = VA.mix(a, a.blockFrames);
        if (!block) return;
        a.node.port.postMessage(block, [block.buffer]);
        a.sent += a.blockFrames;
      }
    },

    startWorklet: function(a) {
      var node;
      try {
        node = new AudioWorkletNode(a.ctx, 'velmora-output', {
          numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2],
          processorOptions: {reportFrames: a.blockFrames}});
      } catch (e) {
        VA.startScriptProcessor(a);
        return;
      }
      a.node = node;
      a.path = 'worklet';
      a.sent = 0;
      a.played = 0;
      VW.state().audioPath = a.path;
      node.port.onmessage = function(ev) {
        if (VA.audio !== a) return;
        a.played = ev.data.played;
        var st = VW.state();
        st.audioPlayed = a.played;
        st.audioStarved = ev.data.starved;
        VA.feed(a);
      };
      node.connect(a.ctx.destination);
      VA.feed(a);
    },

    startScriptProcessor: function(a) {
      if (typeof a.ctx.createScriptProcessor !== 'function') {
        VW.status('This browser cannot play the game\'s sound: it plays silently.');
        return;
      }
      var node = a.ctx.createScriptProcessor(a.blockFrames, 0, 2);
      a.node = node;
      a.path = 'script-processor';
      VW.state().audioPath = a.path;
      node.onaudioprocess = function(ev) {
        var out = ev.outputBuffer;
        var n = out.length;
        var left = out.getChannelData(0);
        var right = out.numberOfChannels > 1 ? out.getChannelData(1) : null;
        var block = VA.mix(a, n);
        if (!block) {
          left.fill(0);
          if (right) right.fill(0);
          return;
        }
        for (var i = 0; i < n; ++i) {
          left[i] = block[2 * i];
          if (right) right[i] = block[2 * i + 1];
        }
      };
      node.connect(a.ctx.destination);
    },

    // The first gesture: make the context (allowed now) and the output path.
    start: function() {
      var a = VA.audio;
      if (!a) return;
      if (a.ctx) {
        if (a.ctx.state === 'suspended') a.ctx.resume();
        return;
      }
      var Context = window.AudioContext || window.webkitAudioContext;
      try {
        // A tenth of a second of output buffer: the browser's audio threads
        // then wake a few times less often than for the 10 ms it picks for
        // games, at a fraction of the cost (docs/WEB.md), and a cue is still
        // heard within the tick that started it.
        a.ctx = new Context({sampleRate: a.rate, latencyHint: 0.1});
      } catch (e) {
        VW.status('This browser cannot play sound at ' + a.rate + ' Hz: the game plays silently.');
        VA.listenForGesture(false);
        return;
      }
      VA.listenForGesture(false);
      var ctx = a.ctx;
      VW.state().audioRate = ctx.sampleRate;
      var wanted = new URLSearchParams(window.location.search).get('audio');
      if (wanted !== 'script-processor' && ctx.audioWorklet && typeof AudioWorkletNode === 'function') {
        ctx.audioWorklet.addModule(locateFile('velmora.worklet.js')).then(function() {
          if (VA.audio === a) VA.startWorklet(a);
        }, function() {
          if (VA.audio === a) VA.startScriptProcessor(a);
        });
      } else {
        VA.startScriptProcessor(a);
      }
      ctx.resume();
    },
  },

  velmora_web_audio_open__deps: ['$VA'],
  velmora_web_audio_open: function(rate, channels, blockFrames) {
    if (!(window.AudioContext || window.webkitAudioContext)) return 0;
    VA.audio = {rate: rate, channels: channels, blockFrames: blockFrames, ctx: null, node: null, path: null,
                sent: 0, played: 0};
    VA.listenForGesture(true);
    return 1;
  },

  velmora_web_audio_close__deps: ['$VA'],
  velmora_web_audio_close: function() {
    var a = VA.audio;
    VA.audio = null;
    VA.listenForGesture(false);
    if (a && a.node) a.node.disconnect();
    if (a && a.ctx) a.ctx.close();
  },
});
