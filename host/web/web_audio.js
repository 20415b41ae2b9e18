// web_audio.js — the browser host's sound: the program's mixer played
// through Web Audio (web_host.cpp mixes; this file moves the samples).
//
// Provides: velmora_web_audio_open/close. Browsers let a page make sound
// only once the user has acted on it, so the output starts on the first
// key, click or touch; until then web_host.cpp pulls the mixer by the clock
// and drops what it mixes, so the cues keep time.
//
// The page mixes blocks of `blockFrames` frames (about a fifth of a second)
// and gives each to Web Audio as an AudioBuffer played by an
// AudioBufferSourceNode of its own, started on the context's clock at the
// frame where the block before it ends. The browser plays them in native
// code: no JavaScript runs on the audio thread. A timer wakes the page when
// the sound queued ahead of the clock falls to what the browser renders at
// once and a margin, and it mixes one block: a cue reaches the output at
// most a block and that lead after the tick that started it.
//
// While the page is hidden the context is suspended (it then costs
// nothing), the blocks queued ahead are dropped, and the program drops the
// mixer's output by the clock again from the end of the last of them, so
// the cues go on in time and are heard from where they are when the page
// is shown again.
//
// Module.velmora records the frames mixed for the output (audioFrames) and
// their peak, the frames whose time on the context's clock had passed at
// the page's last wake-up (audioPlayed), the frames of silence left when a block came too late
// (audioStarved), the context's rate (audioRate: the mixer's, 22050 Hz,
// which the browser converts to the device's) and state (audioState).
// Depends on: $VW of web_host.js (page state, status line), the exported
// _velmora_web_mix, _velmora_web_mix_peak and _velmora_web_audio_hold.

mergeInto(LibraryManager.library, {
  $VA__deps: ['$VW'],
  $VA: {
    audio: null,
    // Sound queued ahead of the context's clock when the page wakes to mix
    // the next block: what the browser renders at once (its clock moves in
    // steps of that size: 0.104 s in Chromium at the 0.1 s hint) and this
    // margin for a late timer or a busy moment of the page.
    marginSeconds: 0.05,

    listenForGesture: function(on) {
      ['keydown', 'mousedown', 'touchstart'].forEach(function(type) {
        if (on) window.addEventListener(type, VA.start, true);
        else window.removeEventListener(type, VA.start, true);
      });
    },

    listenForVisibility: function(on) {
      if (on) document.addEventListener('visibilitychange', VA.visibilityChanged);
      else document.removeEventListener('visibilitychange', VA.visibilityChanged);
    },

    // `frames` mixed frames as an AudioBuffer of the context, or null when
    // the program has no output open.
    mix: function(a, frames) {
      var ptr = VA.audio === a ? Module['_velmora_web_mix'](frames) : 0;
      if (!ptr) return null;
      var buffer = a.ctx.createBuffer(2, frames, a.rate);
      var base = ptr >> 2;
      // The host hands the channels one after the other.
      buffer.copyToChannel(HEAPF32.subarray(base, base + frames), 0);
      buffer.copyToChannel(HEAPF32.subarray(base + frames, base + 2 * frames), 1);
      var peak = Module['_velmora_web_mix_peak']();
      var st = VW.state();
      st.audioFrames += frames;
      if (peak > st.audioPeak) st.audioPeak = peak;
      return buffer;
    },

    // Counts the frames whose time on the context's clock has passed and
    // lets go of the blocks played to the end.
    account: function(a, nowFrame) {
      while (a.queue.length && a.queue[0].end <= nowFrame) {
        var done = a.queue.shift();
        a.played += done.end - done.start;
      }
      var st = VW.state();
      st.audioPlayed = a.played + (a.queue.length ? Math.max(0, nowFrame - a.queue[0].start) : 0);
      st.audioStarved = a.starved;
    },

    // Mixes and queues blocks until the sound ahead of the clock is more
    // than the lead, then sleeps until it falls to the lead again. The
    // clock stands still between the browser's renders, so the timer's
    // wake-up (`woken`) mixes a block even when the clock seems not to have
    // reached the mark yet: by the wall clock it has.
    feed: function(a, woken) {
      if (VA.audio !== a || a.timer) return;
      if (a.ctx.state !== 'running' || a.hidden) return;
      var rate = a.rate;
      var now = a.ctx.currentTime;
      var nowFrame = Math.round(now * rate);
      var burst = a.ctx.baseLatency > 0 ? a.ctx.baseLatency : 0.1;
      var aheadFrames = Math.ceil((burst + VA.marginSeconds) * rate);
      // A first block, or the next after the output ran dry, starts a whole
      // lead ahead: the browser may render a burst or two at once as it
      // starts.
      if (a.nextFrame < 0) {
        a.nextFrame = nowFrame + aheadFrames;
      } else if (a.nextFrame < nowFrame) {
        a.starved += nowFrame + aheadFrames - a.nextFrame;
        a.nextFrame = nowFrame + aheadFrames;
      }
      for (var due = woken; due || a.nextFrame - nowFrame <= aheadFrames; due = false) {
        var buffer = VA.mix(a, a.blockFrames);
        if (!buffer) return;
        var node = a.ctx.createBufferSource();
        node.buffer = buffer;
        node.connect(a.ctx.destination);
        // Whole frames of the context's clock: each block starts on the
        // frame after the last of the one before it.
        node.start(a.nextFrame / rate);
        a.queue.push({node: node, start: a.nextFrame, end: a.nextFrame + a.blockFrames});
        a.nextFrame += a.blockFrames;
      }
      VA.account(a, nowFrame);
      var wait = (a.nextFrame - nowFrame - aheadFrames) / rate;
      a.timer = setTimeout(function() {
        a.timer = 0;
        VA.feed(a, true);
      }, Math.max(1, Math.floor(1000 * wait)));
    },

    // Stops every queued block; returns the frames of sound they held that
    // had not played yet.
    dropQueue: function(a) {
      if (a.timer) clearTimeout(a.timer);
      a.timer = 0;
      var unplayed = 0;
      if (a.queue.length) {
        var nowFrame = Math.round(a.ctx.currentTime * a.rate);
        VA.account(a, nowFrame);
        a.queue.forEach(function(q) {
          var from = Math.min(Math.max(q.start, nowFrame), q.end);
          a.played += from - q.start;
          unplayed += q.end - from;
          try { q.node.stop(); } catch (e) {}
          q.node.disconnect();
        });
        a.queue = [];
        VA.account(a, nowFrame);
      }
      a.nextFrame = -1;
      return unplayed;
    },

    visibilityChanged: function() {
      var a = VA.audio;
      if (!a || !a.ctx) return;
      var hidden = document.visibilityState === 'hidden';
      if (hidden === a.hidden) return;
      a.hidden = hidden;
      if (hidden) {
        // A page that never played leaves the program following the clock
        // as it has since the output opened.
        var played = a.nextFrame >= 0;
        var unplayed = VA.dropQueue(a);
        if (played) Module['_velmora_web_audio_hold'](unplayed);
        a.ctx.suspend();
      } else {
        VA.resume(a);
      }
      VW.state().audioState = hidden ? 'suspended' : 'running';
    },

    // Starts the context and, once it runs, the feeding. Until it runs (a
    // browser may want another gesture) every gesture tries again.
    resume: function(a) {
      a.ctx.resume().then(function() {
        if (VA.audio !== a || a.ctx.state !== 'running') return;
        VA.listenForGesture(false);
        VA.feed(a);
      });
    },

    // A gesture: make the context (allowed now) and start playing.
    start: function() {
      var a = VA.audio;
      if (!a) return;
      if (!a.ctx) {
        var Context = window.AudioContext || window.webkitAudioContext;
        try {
          // A tenth of a second of output buffer: the browser's audio
          // threads then wake a few times less often than for the 10 ms it
          // picks for games, at a fraction of the cost (docs/WEB.md).
          a.ctx = new Context({sampleRate: a.rate, latencyHint: 0.1});
        } catch (e) {
          VW.status('This browser cannot play sound at ' + a.rate + ' Hz: the game plays silently.');
          VA.listenForGesture(false);
          return;
        }
        VA.listenForVisibility(true);
        var st = VW.state();
        st.audioRate = a.ctx.sampleRate;
        st.audioPath = 'buffers';
        a.hidden = document.visibilityState === 'hidden';
        st.audioState = a.hidden ? 'suspended' : 'running';
      }
      if (a.hidden) a.ctx.suspend();
      else VA.resume(a);
    },
  },

  velmora_web_audio_open__deps: ['$VA'],
  velmora_web_audio_open: function(rate, channels, blockFrames) {
    if (!(window.AudioContext || window.webkitAudioContext)) return 0;
    VA.audio = {rate: rate, channels: channels, blockFrames: blockFrames, ctx: null, hidden: false, timer: 0,
                queue: [], nextFrame: -1, played: 0, starved: 0};
    VA.listenForGesture(true);
    return 1;
  },

  velmora_web_audio_close__deps: ['$VA'],
  velmora_web_audio_close: function() {
    var a = VA.audio;
    if (!a) return;
    VA.listenForGesture(false);
    VA.listenForVisibility(false);
    VA.dropQueue(a);
    VA.audio = null;
    if (a.ctx) a.ctx.close();
  },
});
