'use strict';
// The pieces that ship, together: the Windows class's library.swf runs in the AVM2, and each call it makes on
// its ExtensionContext goes, synchronously, to one velmorant-host session under Wine that has loaded the DLL as
// the descriptor names it; the host's answer comes back as the ActionScript value. So a name, an argument or
// an answer that the class and the DLL read differently shows here, as the application would see it.
//   VELMORANT_TREE   the Windows build tree whose DLL, host and Wine prefix are used
//   VELMORANT_RUNS   1 when this machine runs that tree's programs
const test = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { TABLE, WIDTHS, descriptor, loadKit } = require('./lib/kit');
const { startSession } = require('./lib/host-session');

const tree = process.env.VELMORANT_TREE;
const { platform } = WIDTHS.find((w) => w.preset === path.basename(tree || ''));
const skip = process.env.VELMORANT_RUNS !== '1' && `this machine does not run ${platform} programs: not run`;
const wineRun = path.join(tree, 'wine-run');

// A host session on the DLL as the runtime would load it for this platform, listing its table first.
function hostSession() {
  const { nativeLibrary, initializer, finalizer } = descriptor().platforms.get(platform);
  return startSession(wineRun, [path.join(tree, 'velmorant-host.exe'), '--initializer', initializer,
    '--finalizer', finalizer, '--list', path.join(tree, nativeLibrary), '-'], { cwd: tree });
}

// An ActionScript value in the host's step syntax, and the host's answer back as the value it stands for.
const asStep = (value) => (typeof value === 'string' ? `"${value}"` : String(value));
function answer(line) {
  const result = / -> (true|false|null)$/.exec(line);
  if (!result) throw new Error(`the native side refused the call: ${line}`);
  return JSON.parse(result[1]);
}

test.after(() => spawnSync(wineRun, ['--stop-server'])); // no Wine process outlives the test

test(`the kit drives the ${platform} DLL under Wine: switch, refusal, keyboard speed, the exit restore`, { skip }, () => {
  const session = hostSession();
  assert.deepEqual(TABLE.map(() => session.next('its table')), [...TABLE], 'the table the DLL hands out');
  const system = () => /^system: display (\d+x\d+), .*; keyboard speed (\d+)$/.exec(session.step('system')).slice(1);
  const [mode, speed] = system();

  const { VelmorantUtils, ExtensionContext, NativeApplication } = loadKit();
  ExtensionContext.reset();
  NativeApplication.reset();
  const seen = [];
  ExtensionContext.transport = (name, args) => {
    const line = session.step(`${name}${args.length ? `:${args.map(asStep).join(',')}` : ''}`);
    seen.push(line);
    return answer(line);
  };

  assert.strictEqual(VelmorantUtils.isSupported, true);
  assert.deepEqual(seen, ['as_setScreenResolution() -> null'], 'the probe reached the DLL and did nothing');
  const utils = VelmorantUtils.instance;
  assert.strictEqual(utils.setScreenResolution(800, 600), true);
  assert.deepEqual(system(), ['800x600', speed]);
  assert.strictEqual(utils.setScreenResolution(1234, 567), false, 'a size the display refuses');
  assert.deepEqual(system(), ['800x600', speed]);
  const newSpeed = speed === '5' ? 6 : 5;
  utils.setKeyboardSpeed(newSpeed);
  assert.deepEqual(system(), ['800x600', String(newSpeed)]);

  // The application quits on its own: the screen comes back, the keyboard speed stays, as documented.
  NativeApplication.dispatchExiting();
  assert.deepEqual(system(), [mode, String(newSpeed)]);
  utils.restoreKeyboardSpeed();
  assert.deepEqual(system(), [mode, speed]);
  utils.dispose();
  assert.deepEqual([...new Set(seen.map((line) => line.split('(')[0]))].sort(), [...TABLE].sort(),
    'the names the class called are the table\'s, each of them');
  assert.equal(session.close(), 'ended (exit status 0)');
});

test('a host that ends before it answers fails the call, naming how it ended and its words', { skip }, () => {
  const session = startSession(wineRun, [path.join(tree, 'velmorant-host.exe'), 'no-such-extension.dll', '-'],
    { cwd: tree });
  assert.throws(() => session.step('system'),
    /velmorant-host ended \(exit status 1\); its standard error: velmorant-host: cannot load no-such-extension\.dll/);
});
