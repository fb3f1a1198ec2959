'use strict';
// The default class's library.swf, as the package carries it for every platform but Windows, run in the AVM2:
// an application compiled against the Windows class must find the same members there, and nothing may report
// success or reach a context. Each class is loaded in a process of its own: they share one name.
const test = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const { paths, loadKit, publicApi } = require('./lib/kit');

const kit = loadKit(paths.defaultSwf);

test('has the public API of the Windows class, static members included', () => {
  const lib = JSON.stringify(require.resolve('./lib/kit'));
  const shipped = JSON.parse(execFileSync(process.execPath, ['-e',
    `const kit = require(${lib}); process.stdout.write(JSON.stringify(kit.publicApi(kit.loadKit())))`],
  { encoding: 'utf8' }));
  assert.ok(shipped.includes('static get instance():7 0:com.velmorant.utils::VelmorantUtils'), shipped.join('\n'));
  assert.deepEqual(publicApi(kit), shipped);
});

test('reports false everywhere, creates and calls nothing, and never throws', () => {
  const { VelmorantUtils, ExtensionContext, NativeApplication, Screen, ScreenMode } = kit;
  ExtensionContext.reset();
  NativeApplication.reset();
  // A context that would accept everything and a screen with a mode to list: any success seen would be invented.
  ExtensionContext.willReturn('as_setScreenResolution', true);
  const mode = new ScreenMode(1920, 1080, 60, 32);
  Screen.describe(mode, [mode]);
  assert.throws(() => new VelmorantUtils(), /VelmorantUtils\.instance/);
  const subject = VelmorantUtils.instance;
  assert.strictEqual(VelmorantUtils.instance, subject);
  assert.strictEqual(VelmorantUtils.isSupported, false);
  assert.deepEqual([subject.restoreScreenOnExit, subject.restoreKeyboardOnExit, subject.reapplyOnActivate],
    [true, false, true]);
  assert.strictEqual(subject.setScreenResolution(1920, 1080), false);
  assert.deepEqual(subject.screenSizes, []);
  subject.restoreScreenResolution();
  subject.setKeyboardSpeed(31);
  subject.restoreKeyboardSpeed();
  subject.dispose();
  subject.dispose();
  assert.notStrictEqual(VelmorantUtils.instance, subject);
  assert.strictEqual(subject.setScreenResolution(1920, 1080), false);
  assert.deepEqual(ExtensionContext.events, []);
  assert.equal(NativeApplication.dispatchExiting() + NativeApplication.dispatchActivate(), 0);
});
