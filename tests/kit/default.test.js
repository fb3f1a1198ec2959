'use strict';
// The default class stands in for the Windows one on every other platform:
// an application compiled against the Windows SWC must find the same members
// there, and nothing may report success or reach a context.
const test = require('node:test');
const assert = require('node:assert/strict');
const { ensureBuilt, load, probe } = require('./lib/royale');

test('has the public API of the Windows class, static members included', async () => {
  const [shipped, fallback] = await Promise.all([probe('main', 'api'), probe('default', 'api')]);
  assert.deepEqual(fallback, shipped);
});

test('reports false everywhere, creates and calls nothing, and never throws', async () => {
  const { VelmorantUtils, ExtensionContext, NativeApplication } = load(await ensureBuilt('default'));
  ExtensionContext.reset();
  NativeApplication.reset();
  // A context that would accept everything: any success seen would be invented.
  ExtensionContext.willReturn('as_setScreenResolution', true);
  assert.throws(() => new VelmorantUtils(), /VelmorantUtils\.instance/);
  const subject = VelmorantUtils.instance;
  assert.strictEqual(VelmorantUtils.instance, subject);
  assert.strictEqual(VelmorantUtils.isSupported, false);
  assert.deepEqual([subject.restoreScreenOnExit, subject.restoreKeyboardOnExit], [true, false]);
  assert.strictEqual(subject.setScreenResolution(1920, 1080), false);
  subject.restoreScreenResolution();
  subject.setKeyboardSpeed(31);
  subject.restoreKeyboardSpeed();
  subject.dispose();
  subject.dispose();
  assert.notStrictEqual(VelmorantUtils.instance, subject);
  assert.strictEqual(subject.setScreenResolution(1920, 1080), false);
  assert.deepEqual(ExtensionContext.events, []);
  assert.equal(NativeApplication.dispatchExiting(), 0);
});
