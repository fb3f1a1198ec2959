'use strict';
// The compiled Windows class against the recording ExtensionContext: what
// reaches the runtime, what comes back to the application, and that nothing
// throws when the extension is missing or already disposed.
const { describe, it, before, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const { ensureBuilt, load } = require('./lib/royale');
const { descriptor } = require('./lib/kit');

let VelmorantUtils;
let ExtensionContext;

before(async () => {
  ({ VelmorantUtils, ExtensionContext } = load(await ensureBuilt('main')));
});
beforeEach(() => ExtensionContext.reset());

const calls = () => ExtensionContext.events.filter((e) => e.event === 'call');
const disposals = () => ExtensionContext.events.filter((e) => e.event === 'dispose');

// method, its arguments, and the table entry it must reach with them. The
// numbers differ so that a swapped or dropped argument shows.
const FORWARDING = [
  ['setScreenResolution', [1920, 1080], 'as_setScreenResolution'],
  ['restoreScreenResolution', [], 'as_restoreScreenResolution'],
  ['setKeyboardSpeed', [31], 'as_setKeyboardSpeed'],
  ['restoreKeyboardSpeed', [], 'as_restoreKeyboardSpeed'],
];

describe('each method calls its own table entry', () => {
  for (const [method, args, functionName] of FORWARDING) {
    it(`${method}(${args.join(', ')}) calls ${functionName} once with the same integers`, () => {
      new VelmorantUtils()[method](...args);
      const seen = calls();
      assert.equal(seen.length, 1, `expected one call, got ${JSON.stringify(seen)}`);
      assert.equal(seen[0].functionName, functionName);
      assert.deepEqual(seen[0].args, args);
      for (const arg of seen[0].args) assert.ok(Number.isInteger(arg), `${JSON.stringify(arg)} is not an integer`);
    });
  }

  it('opens one context with the descriptor\'s id and the given context type', () => {
    new VelmorantUtils();
    new VelmorantUtils('secondary');
    const created = ExtensionContext.events.filter((e) => e.event === 'create');
    const id = descriptor().id;
    assert.deepEqual(created, [
      { event: 'create', extensionID: id, contextType: '' },
      { event: 'create', extensionID: id, contextType: 'secondary' },
    ]);
  });
});

describe('setScreenResolution reports success only for a true result', () => {
  // Loose truthiness (1 == true, "true", an object) must not pass for success.
  const RESULTS = [[true, true], [false, false], [null, false], [1, false], ['true', false], [{}, false]];
  for (const [result, expected] of RESULTS) {
    it(`${JSON.stringify(result)} from the library reads as ${expected}`, () => {
      ExtensionContext.willReturn('as_setScreenResolution', result);
      assert.strictEqual(new VelmorantUtils().setScreenResolution(800, 600), expected);
    });
  }

  it('an error from the native side reads as false and does not escape', () => {
    for (const [, , functionName] of FORWARDING) ExtensionContext.willThrow(functionName);
    const subject = new VelmorantUtils();
    for (const [method, args] of FORWARDING) assert.doesNotThrow(() => subject[method](...args), method);
    assert.strictEqual(subject.setScreenResolution(800, 600), false);
  });
});

// Every public method, run on a subject that must stay quiet.
function assertInert(subject) {
  assert.strictEqual(subject.isSupported, false);
  assert.strictEqual(subject.setScreenResolution(1024, 768), false);
  for (const [method, args] of FORWARDING.slice(1)) {
    assert.doesNotThrow(() => subject[method](...args), method);
  }
  assert.doesNotThrow(() => subject.dispose());
  assert.deepEqual(calls(), []);
}

describe('without a context', () => {
  for (const [mode, why] of [['null', 'the extension is not found'], ['throw', 'creating the context throws']]) {
    it(`when ${why}, nothing is supported, nothing is called and nothing throws`, () => {
      ExtensionContext.createWith(mode);
      let subject;
      assert.doesNotThrow(() => { subject = new VelmorantUtils(); });
      assertInert(subject);
      assert.deepEqual(disposals(), []);
    });
  }

  it('with a context, isSupported is true', () => {
    assert.strictEqual(new VelmorantUtils().isSupported, true);
  });
});

describe('dispose', () => {
  it('disposes the context once, however often it is called', () => {
    const subject = new VelmorantUtils();
    subject.dispose();
    subject.dispose();
    assert.equal(disposals().length, 1);
  });

  it('leaves the object inert: later calls reach nothing and do not throw', () => {
    ExtensionContext.willReturn('as_setScreenResolution', true);
    const subject = new VelmorantUtils();
    subject.dispose();
    assertInert(subject);
  });

  it('restores nothing by itself', () => {
    const subject = new VelmorantUtils();
    subject.setScreenResolution(1280, 720);
    subject.setKeyboardSpeed(5);
    subject.dispose();
    assert.deepEqual(calls().map((e) => e.functionName), ['as_setScreenResolution', 'as_setKeyboardSpeed']);
  });
});
