// page.js — the page around the program: starting it (and again, without a
// reload, after it ends), the hint for the device in hand, touch controls
// on touch devices, gamepads, the fullscreen button, offline play.
//
// Provides: window.Module (the running program's module object; tests read
// Module.velmora from it), VelmoraPage.playAgain().
// Depends on: shell.html's elements, virtual_keys.js, controls.js, and
// velmora.js (built with MODULARIZE: VelmoraProgram(module) starts a fresh
// instance of the program).
(function() {
  'use strict';

  var body = document.body;
  var status = document.getElementById('status');
  var canvas = document.getElementById('canvas');
  var playAgain = document.getElementById('play-again');
  var fullscreen = document.getElementById('fullscreen');
  var controls = document.getElementById('controls');
  var keys = new VelmoraKeys(window);
  var touch = null;
  var compiled = null;  // the program's WebAssembly, compiled once for every run

  // A gamepad, like sound, wakes with the first key, click or touch
  // (controls.js): a pad player is told to press something first.
  var HINT_KEYS = 'Space or a double click starts; arrow keys or clicks move; Esc quits. ' +
                  'Sound and gamepads start with your first key or click.';
  var HINT_TOUCH = 'Double tap the board or press START; tap beside the walker or hold the arrows to move. ' +
                   'Sound and gamepads start with your first touch.';

  function isTouch() { return body.classList.contains('touch'); }

  // The host lays the canvas out again on a resize of the window.
  function relayout() { window.dispatchEvent(new Event('resize')); }

  function useTouch(on) {
    if (on === isTouch()) return;
    body.classList.toggle('touch', on);
    controls.hidden = !on;
    if (body.getAttribute('data-state') === 'running') status.textContent = on ? HINT_TOUCH : HINT_KEYS;
    relayout();
  }

  function newModule() {
    return {
      velmora: {frames: 0, audioFrames: 0, audioPeak: 0, exitCode: null, input: []},
      canvas: canvas,
      print: function(text) { console.log(text); },
      printErr: function(text) { console.error(text); },
      instantiateWasm: function(imports, done) {
        if (!compiled) {
          compiled = (WebAssembly.compileStreaming ? WebAssembly.compileStreaming(fetch('velmora.wasm'))
                                                  : fetch('velmora.wasm').then(function(r) { return r.arrayBuffer(); })
                                                      .then(function(b) { return WebAssembly.compile(b); }));
          compiled.catch(function() { compiled = null; });
        }
        compiled.then(function(module) {
          return WebAssembly.instantiate(module, imports).then(function(instance) { done(instance, module); });
        }).catch(function(e) { ended('the program could not be loaded: ' + e); });
        return {};  // filled in asynchronously
      },
      onRuntimeInitialized: function() {
        body.setAttribute('data-state', 'running');
        status.textContent = isTouch() ? HINT_TOUCH : HINT_KEYS;
      },
      onAbort: function(what) {
        ended('VELMORA stopped with an error: ' + what);
      },
    };
  }

  function ended(text) {
    body.setAttribute('data-state', 'ended');
    if (text) status.textContent = text;
    showPlayAgain();
  }

  function showPlayAgain() {
    keys.releaseAll();
    if (touch) touch.releaseAll();
    playAgain.hidden = false;
    playAgain.focus();
  }

  function start() {
    playAgain.hidden = true;
    body.setAttribute('data-state', 'loading');
    status.textContent = 'Loading VELMORA…';
    canvas.style.visibility = '';
    window.Module = newModule();
    window.VelmoraProgram(window.Module);
  }

  // The program says it has ended by setting the page's state.
  new MutationObserver(function() {
    if (body.getAttribute('data-state') === 'ended' && playAgain.hidden) showPlayAgain();
  }).observe(body, {attributes: true, attributeFilter: ['data-state']});

  playAgain.addEventListener('click', function() {
    playAgain.blur();
    start();
  });

  if (document.fullscreenEnabled) {
    fullscreen.hidden = false;
    fullscreen.addEventListener('click', function() {
      fullscreen.blur();
      if (document.fullscreenElement) document.exitFullscreen();
      else document.documentElement.requestFullscreen().catch(function() {});
    });
    document.addEventListener('fullscreenchange', function() {
      fullscreen.textContent = document.fullscreenElement ? 'Leave full screen' : 'Full screen';
    });
  }

  touch = VelmoraControls.attachTouch(controls, keys);
  VelmoraControls.watchPads(keys);
  // A finger on the page shows the touch controls even where the browser
  // calls its main pointer fine (a laptop's touch screen).
  useTouch(window.matchMedia('(pointer: coarse)').matches);
  window.addEventListener('touchstart', function() { useTouch(true); }, {capture: true, passive: true});
  window.matchMedia('(orientation: portrait)').addEventListener('change', relayout);
  window.addEventListener('blur', function() {
    keys.releaseAll();
    if (touch) touch.releaseAll();
  });

  if ('serviceWorker' in navigator && window.isSecureContext) {
    window.addEventListener('load', function() {
      navigator.serviceWorker.register('sw.js').catch(function(e) { console.log('offline play unavailable: ' + e); });
    });
  }

  window.VelmoraPage = {playAgain: start};
  var script = document.querySelector('script[src="velmora.js"]');
  if (typeof window.VelmoraProgram === 'function') start();
  else script.addEventListener('load', start);
})();
