// controls.js — the on-page d-pad and start button of touch devices, and
// gamepads through the Gamepad API, both holding keys as the keyboard does.
//
// Provides: VelmoraControls.attachTouch(container, keys) (each finger holds
// the key of the button under it, following it from arrow to arrow; two
// fingers hold two keys), VelmoraControls.watchPads(keys) (from the first
// key, click or tap on; polls connected pads once a frame, only while one
// is connected).
// Depends on: virtual_keys.js (VelmoraKeys, VelmoraPad), Pointer Events.
(function(root) {
  'use strict';

  function codeAt(container, x, y) {
    var el = document.elementFromPoint(x, y);
    while (el && el !== container && !(el.dataset && el.dataset.code)) el = el.parentElement;
    return el && el !== container && container.contains(el) ? el.dataset.code : null;
  }

  function attachTouch(container, keys) {
    var fingers = {};  // pointerId -> code held
    function source(id) { return 'touch' + id; }
    function show(code, on) {
      var b = container.querySelector('[data-code="' + code + '"]');
      if (b) b.classList.toggle('held', on);
    }
    function move(ev) {
      if (!(ev.pointerId in fingers)) return;
      var code = codeAt(container, ev.clientX, ev.clientY);
      var old = fingers[ev.pointerId];
      if (code === old) return;
      if (old) {
        keys.release(old, source(ev.pointerId));
        if (!keys.isDown(old)) show(old, false);
      }
      fingers[ev.pointerId] = code;
      if (code) {
        keys.hold(code, source(ev.pointerId));
        show(code, true);
      }
    }
    function lift(ev) {
      if (!(ev.pointerId in fingers)) return;
      var old = fingers[ev.pointerId];
      delete fingers[ev.pointerId];
      if (old) {
        keys.release(old, source(ev.pointerId));
        if (!keys.isDown(old)) show(old, false);
      }
    }
    container.addEventListener('pointerdown', function(ev) {
      ev.preventDefault();
      // The finger stays this container's as it slides, even off a button.
      if (container.setPointerCapture) {
        try { container.setPointerCapture(ev.pointerId); } catch (e) { /* an emulated pointer */ }
      }
      fingers[ev.pointerId] = null;
      move(ev);
    });
    container.addEventListener('pointermove', move);
    container.addEventListener('pointerup', lift);
    container.addEventListener('pointercancel', lift);
    container.addEventListener('lostpointercapture', lift);
    // No long-press menu, no double-tap zoom on the buttons.
    container.addEventListener('contextmenu', function(ev) { ev.preventDefault(); });
    return {
      releaseAll: function() {
        Object.keys(fingers).forEach(function(id) { lift({pointerId: id}); });
      },
    };
  }

  // The gesture that starts the page's sound also starts the watch for
  // gamepads: Chromium polls for pads in its browser process (every 16 ms,
  // a point or more of a core) for as long as a page listens for them, so
  // a page nobody has touched does not. Chromium stops by itself for a
  // hidden page, not for one behind another window: the watch also pauses
  // while the window has no focus, unless a pad is in use.
  var GESTURES = ['keydown', 'mousedown', 'touchstart'];

  function watchPads(keys, win) {
    win = win || root;
    var nav = win.navigator;
    if (!nav || !nav.getGamepads) return null;
    var polling = false;
    var listening = false;
    var woken = false;
    var known = {};  // pad index -> true while connected
    function anyKnown() { return Object.keys(known).length > 0; }
    function poll() {
      var pads = nav.getGamepads() || [];
      var any = false;
      for (var i = 0; i < pads.length; ++i) {
        var pad = pads[i];
        if (!pad || !pad.connected) {
          if (known[i]) keys.releaseAll('pad' + i);
          delete known[i];
          continue;
        }
        any = known[i] = true;
        keys.holdOnly(root.VelmoraPad.keysFromPad(pad), 'pad' + i);
      }
      polling = any;
      if (polling) win.requestAnimationFrame(poll);
      else if (!win.document.hasFocus()) listen(false);
    }
    function connected() {
      if (!polling) {
        polling = true;
        win.requestAnimationFrame(poll);
      }
    }
    function disconnected(ev) {
      keys.releaseAll('pad' + ev.gamepad.index);
      delete known[ev.gamepad.index];
    }
    function listen(on) {
      if (on === listening) return;
      listening = on;
      var change = on ? 'addEventListener' : 'removeEventListener';
      win[change]('gamepadconnected', connected);
      win[change]('gamepaddisconnected', disconnected);
    }
    function gesture() {
      GESTURES.forEach(function(type) { win.removeEventListener(type, gesture, true); });
      woken = true;
      listen(true);
    }
    GESTURES.forEach(function(type) { win.addEventListener(type, gesture, true); });
    win.addEventListener('blur', function() {
      if (!polling && !anyKnown()) listen(false);
    });
    win.addEventListener('focus', function() {
      if (woken) listen(true);
    });
    return {
      // Whether the page listens for pads now (the browser then polls).
      listening: function() { return listening; },
    };
  }

  root.VelmoraControls = {attachTouch: attachTouch, watchPads: watchPads};
})(window);
