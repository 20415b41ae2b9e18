// The page's held keys and gamepad mapping, outside a browser.
// Usage: node controls_test.js PATH/TO/virtual_keys.js
'use strict';
const assert = require('assert');
const {VelmoraKeys, keysFromPad, STICK_DEAD_ZONE} = require(process.argv[2]);

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
