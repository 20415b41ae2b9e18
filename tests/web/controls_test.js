// The page's held keys, gamepad mapping and gamepad watch, outside a
// browser. controls.js is read from beside virtual_keys.js.
// Usage: node controls_test.js PATH/TO/virtual_keys.js
'use strict';
const assert = require('assert');
const fs = require('fs');
const path = require('path');
const vm = require('vm');
const {VelmoraKeys, keysFromPad, STICK_DEAD_ZONE} = require(process.argv[2]);
const CONTROLS = fs.readFileSync(path.join(path.dirname(process.argv[2]), 'controls.js'), 'utf8');

// A window with the Gamepad API: the pads the browser shows (`pads`), the
// listeners by type, the animation frames asked for, the focus.
function padWindow(options = {}) {
  const win = {
    pads: [], listeners: {}, frames: [], reads: 0, focused: true,
    navigator: options.noGamepads ? {} : {getGamepads() { win.reads++; return win.pads; }},
    document: {hasFocus: () => win.focused},
    addEventListener(type, fn, capture) {
      (win.listeners[type] = win.listeners[type] || []).push({fn, capture: !!capture});
    },
    removeEventListener(type, fn, capture) {
      win.listeners[type] = (win.listeners[type] || []).filter((l) => l.fn !== fn || l.capture !== !!capture);
    },
    requestAnimationFrame(fn) { win.frames.push(fn); },
    fire(type, ev = {}) { (win.listeners[type] || []).slice().forEach((l) => l.fn(ev)); },
    listensFor(type) { return (win.listeners[type] || []).length; },
    // Runs the animation frames asked for so far.
    frame() { const due = win.frames; win.frames = []; due.forEach((fn) => fn()); },
  };
  win.VelmoraPad = {keysFromPad};
  vm.runInNewContext(CONTROLS, {window: win});
  return win;
}

function pad(pressed, connected = true) {
  return {connected, axes: [0, 0], buttons: Array.from({length: 17}, (_, i) => ({pressed: pressed.includes(i)}))};
}

// A page watching for pads, with the keys it sends.
function watchedPage(options) {
  const win = padWindow(options);
  const {keys, sent} = recorder();
  const watch = win.VelmoraControls.watchPads(keys, win);
  return {win, watch, sent};
}

function recorder() {
  const sent = [];
  const keys = new VelmoraKeys({dispatchEvent: (e) => sent.push(e)}, (type, code) => type + ' ' + code);
  return {keys, sent};
}

const cases = {
  'a key goes down with its first holder and up with its last'() {
    const {keys, sent} = recorder();
    keys.hold('ArrowRight', 'touch1');
    keys.hold('ArrowRight', 'touch2');  // a second finger on the same arrow
    keys.hold('ArrowRight', 'touch1');  // the same finger again: nothing new
    assert.deepStrictEqual(sent, ['keydown ArrowRight']);
    keys.release('ArrowRight', 'touch1');
    assert.deepStrictEqual(sent, ['keydown ArrowRight']);
    assert.ok(keys.isDown('ArrowRight'));
    keys.release('ArrowRight', 'touch2');
    keys.release('ArrowRight', 'touch2');  // released twice: one keyup
    assert.deepStrictEqual(sent, ['keydown ArrowRight', 'keyup ArrowRight']);
    assert.ok(!keys.isDown('ArrowRight'));
  },
  'two fingers on two arrows are two keys, each let go on its own'() {
    const {keys, sent} = recorder();
    keys.hold('ArrowDown', 'touch1');
    keys.hold('ArrowRight', 'touch2');
    keys.releaseAll('touch1');
    assert.deepStrictEqual(sent, ['keydown ArrowDown', 'keydown ArrowRight', 'keyup ArrowDown']);
    keys.releaseAll();
    assert.deepStrictEqual(sent.slice(3), ['keyup ArrowRight']);
  },
  'holdOnly follows a pad from one state to the next'() {
    const {keys, sent} = recorder();
    keys.holdOnly({ArrowLeft: true, Space: false}, 'pad0');
    keys.holdOnly({ArrowLeft: true, Space: true}, 'pad0');
    keys.holdOnly({ArrowLeft: false, Space: true}, 'pad0');
    assert.deepStrictEqual(sent, ['keydown ArrowLeft', 'keydown Space', 'keyup ArrowLeft']);
  },
  'the pad mapping: d-pad and stick hold arrows, A or Start is Space, Back is Escape'() {
    const buttons = (pressed) => Array.from({length: 17}, (_, i) => ({pressed: pressed.includes(i), value: 0}));
    const idle = keysFromPad({buttons: buttons([]), axes: [0, 0, 0, 0]});
    assert.ok(Object.values(idle).every((v) => v === false));
    let k = keysFromPad({buttons: buttons([14, 12]), axes: [0, 0]});
    assert.ok(k.ArrowLeft && k.ArrowUp && !k.ArrowRight && !k.ArrowDown);
    k = keysFromPad({buttons: buttons([0]), axes: [0, 0]});
    assert.ok(k.Space && !k.Escape);
    k = keysFromPad({buttons: buttons([9]), axes: [0, 0]});
    assert.ok(k.Space);
    k = keysFromPad({buttons: buttons([8]), axes: [0, 0]});
    assert.ok(k.Escape && !k.Space);
    // Inside the dead zone nothing; just outside it an arrow, each way.
    const inside = STICK_DEAD_ZONE * 0.99, outside = STICK_DEAD_ZONE * 1.01;
    k = keysFromPad({buttons: buttons([]), axes: [inside, -inside]});
    assert.ok(!k.ArrowRight && !k.ArrowUp);
    k = keysFromPad({buttons: buttons([]), axes: [-outside, outside]});
    assert.ok(k.ArrowLeft && k.ArrowDown && !k.ArrowRight && !k.ArrowUp);
    assert.ok(Math.abs(STICK_DEAD_ZONE * 32767 - 12000) < 1e-6);
  },
  'a pad with missing or odd fields holds nothing'() {
    const k = keysFromPad({buttons: [null, 1], axes: [NaN, 'x']});
    assert.ok(Object.values(k).every((v) => v === false));
    const old = keysFromPad({buttons: [1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1], axes: []});  // plain numbers
    assert.ok(old.Space && old.ArrowLeft);
  },
  'the page neither listens for pads nor reads them before the first key, click or tap'() {
    for (const gesture of ['keydown', 'mousedown', 'touchstart']) {
      const {win, watch} = watchedPage();
      win.fire('focus');
      win.fire('gamepadconnected', {gamepad: {index: 0}});
      assert.ok(!watch.listening() && !win.listensFor('gamepadconnected') && !win.listensFor('gamepaddisconnected'));
      assert.strictEqual(win.reads, 0);
      win.fire(gesture);
      assert.ok(watch.listening(), gesture);
      assert.strictEqual(win.listensFor('gamepadconnected'), 1);
      assert.strictEqual(win.listensFor('gamepaddisconnected'), 1);
      // Once woken, later gestures add nothing.
      ['keydown', 'mousedown', 'touchstart'].forEach((type) => assert.strictEqual(win.listensFor(type), 0));
    }
    const {win, watch} = watchedPage({noGamepads: true});
    assert.strictEqual(watch, null);
    assert.deepStrictEqual(Object.keys(win.listeners), []);
  },
  'a pad connected after the gesture holds keys, and lets go when unplugged'() {
    const {win, sent} = watchedPage();
    win.fire('mousedown');
    win.pads = [null, pad([0, 14])];
    win.fire('gamepadconnected', {gamepad: {index: 1}});
    win.fire('gamepadconnected', {gamepad: {index: 1}});  // one poll loop, however many events
    assert.strictEqual(win.frames.length, 1);
    win.frame();
    assert.deepStrictEqual(sent.slice().sort(), ['keydown ArrowLeft', 'keydown Space']);
    win.pads = [null, pad([14])];
    win.frame();
    assert.deepStrictEqual(sent.slice(2), ['keyup Space']);
    win.pads = [null, pad([14], false)];
    win.frame();
    assert.deepStrictEqual(sent.slice(3), ['keyup ArrowLeft']);
    assert.strictEqual(win.frames.length, 0, 'no pad connected: polling stops');
  },
  'without a pad the watch pauses while the window has no focus and resumes with it'() {
    const {win, watch} = watchedPage();
    win.fire('blur');
    win.fire('focus');
    assert.ok(!watch.listening(), 'focus is not a gesture');
    win.fire('keydown');
    win.focused = false;
    win.fire('blur');
    assert.ok(!watch.listening() && !win.listensFor('gamepadconnected'));
    win.focused = true;
    win.fire('focus');
    win.fire('focus');
    assert.strictEqual(win.listensFor('gamepadconnected'), 1);
    assert.strictEqual(win.listensFor('gamepaddisconnected'), 1);
  },
  'a pad in use keeps the watch through a blur, until it is unplugged'() {
    const {win, watch, sent} = watchedPage();
    win.fire('touchstart');
    win.pads = [pad([13])];
    win.fire('gamepadconnected', {gamepad: {index: 0}});
    win.frame();
    win.focused = false;
    win.fire('blur');
    assert.ok(watch.listening());
    win.frame();
    assert.strictEqual(win.frames.length, 1, 'still polling');
    win.fire('gamepaddisconnected', {gamepad: {index: 0}});
    assert.deepStrictEqual(sent, ['keydown ArrowDown', 'keyup ArrowDown']);
    win.pads = [];
    win.frame();
    assert.ok(!watch.listening(), 'unplugged while the window has no focus');
    win.focused = true;
    win.fire('focus');
    assert.ok(watch.listening());
  },
};

let failed = 0;
for (const [name, run] of Object.entries(cases)) {
  try {
    run();
    console.log(`ok: ${name}`);
  } catch (e) {
    failed++;
    console.log(`FAILED: ${name}: ${e.message}`);
  }
}
process.exit(failed ? 1 : 0);
