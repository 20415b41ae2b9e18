// virtual_keys.js — keys held by the page's own controls (the touch d-pad,
// gamepads), given to the program as the keyboard's own events.
//
// Provides: VelmoraKeys (hold and release a key by its DOM code for one
// source; the key goes down when its first source holds it and up when its
// last lets go, so two fingers or a finger and a stick on one arrow are one
// key), VelmoraPad.keysFromPad (the desktop's gamepad mapping on the
// Gamepad API's standard layout).
// Depends on: nothing at load time; a target with dispatchEvent (window).
(function(root) {
  'use strict';

  // DOM `key` values for the codes the controls send.
  var KEY_VALUES = {ArrowLeft: 'ArrowLeft', ArrowRight: 'ArrowRight', ArrowUp: 'ArrowUp', ArrowDown: 'ArrowDown',
                    Space: ' ', Escape: 'Escape'};

  function VelmoraKeys(target, makeEvent) {
    this.target = target;
    this.makeEvent = makeEvent || function(type, code) {
      return new KeyboardEvent(type, {code: code, key: KEY_VALUES[code] || code, bubbles: true, cancelable: true});
    };
    this.holders = {};  // code -> {source: true}
  }

  VelmoraKeys.prototype.isDown = function(code) {
    return !!this.holders[code];
  };

  VelmoraKeys.prototype.hold = function(code, source) {
    var h = this.holders[code];
    if (h && h[source]) return;
    if (!h) h = this.holders[code] = {};
    var first = Object.keys(h).length === 0;
    h[source] = true;
    if (first) this.target.dispatchEvent(this.makeEvent('keydown', code));
  };

  VelmoraKeys.prototype.release = function(code, source) {
    var h = this.holders[code];
    if (!h || !h[source]) return;
    delete h[source];
    if (Object.keys(h).length === 0) {
      delete this.holders[code];
      this.target.dispatchEvent(this.makeEvent('keyup', code));
    }
  };

  // Lets go of everything `source` holds (a lifted finger, a pad unplugged);
  // with no source, of everything.
  VelmoraKeys.prototype.releaseAll = function(source) {
    var self = this;
    Object.keys(this.holders).forEach(function(code) {
      Object.keys(self.holders[code] || {}).forEach(function(s) {
        if (source === undefined || s === source) self.release(code, s);
      });
    });
  };

  // Makes `source` hold exactly the codes in `wanted` (code -> bool).
  VelmoraKeys.prototype.holdOnly = function(wanted, source) {
    var self = this;
    Object.keys(this.holders).forEach(function(code) {
      if (!wanted[code]) self.release(code, source);
    });
    Object.keys(wanted).forEach(function(code) {
      if (wanted[code]) self.hold(code, source);
    });
  };

  // The desktop's dead zone: 12000 of the stick's 32767 each way.
  var STICK_DEAD_ZONE = 12000 / 32767;
  // Standard layout: A 0, Back 8, Start 9, d-pad 12 up, 13 down, 14 left, 15 right.
  var BUTTON = {a: 0, back: 8, start: 9, up: 12, down: 13, left: 14, right: 15};

  function pressed(pad, index) {
    var b = pad.buttons && pad.buttons[index];
    if (b === undefined || b === null) return false;
    return typeof b === 'object' ? !!b.pressed : b > 0.5;
  }

  function axis(pad, index) {
    var v = pad.axes && pad.axes[index];
    return typeof v === 'number' && isFinite(v) ? v : 0;
  }

  // The keys a pad's state holds: d-pad and left stick hold arrows, A or
  // Start is Space, Back is Escape.
  function keysFromPad(pad) {
    var x = axis(pad, 0), y = axis(pad, 1);
    return {
      ArrowLeft: pressed(pad, BUTTON.left) || x < -STICK_DEAD_ZONE,
      ArrowRight: pressed(pad, BUTTON.right) || x > STICK_DEAD_ZONE,
      ArrowUp: pressed(pad, BUTTON.up) || y < -STICK_DEAD_ZONE,
      ArrowDown: pressed(pad, BUTTON.down) || y > STICK_DEAD_ZONE,
      Space: pressed(pad, BUTTON.a) || pressed(pad, BUTTON.start),
      Escape: pressed(pad, BUTTON.back),
    };
  }

  root.VelmoraKeys = VelmoraKeys;
  root.VelmoraPad = {keysFromPad: keysFromPad, STICK_DEAD_ZONE: STICK_DEAD_ZONE};
  if (typeof module !== 'undefined' && module.exports) {
    module.exports = {VelmoraKeys: VelmoraKeys, keysFromPad: keysFromPad, STICK_DEAD_ZONE: STICK_DEAD_ZONE};
  }
})(typeof window !== 'undefined' ? window : this);
