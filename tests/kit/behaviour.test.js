'use strict';
// The Windows class's library.swf, as the package carries it, run in the AVM2 against the recording
// ExtensionContext and the stand-ins NativeApplication and Screen: what reaches the runtime, what comes back to
// the application, the shared object's life, the restore on exit, the temporary switch made again on activation,
// the sizes a switch can reach, and that nothing throws when the extension is missing, broken or disposed.
const { describe, it, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const { descriptor, loadKit } = require('./lib/kit');

const { VelmorantUtils, ExtensionContext, NativeApplication, Screen, ScreenMode } = loadKit();

// new before anything has used instance, which sets and clears the flag that lets new through: a flag that
// starts set shows only here.
let firstNew;
try {
  firstNew = new VelmorantUtils();
} catch (error) {
  firstNew = error;
}

// Each test starts with no shared object, an empty journal, no listener and no main screen.
let opened = 0;
beforeEach(() => {
  VelmorantUtils.instance.dispose();
  ExtensionContext.reset();
  NativeApplication.reset();
  Screen.reset();
  opened = 0;
});

// The shared object; the journal read by calls() starts after its opening.
function open() {
  const subject = VelmorantUtils.instance;
  opened = ExtensionContext.events.length;
  return subject;
}

const calls = () => ExtensionContext.events.slice(opened).filter((e) => e.event === 'call');
const called = () => calls().map((e) => e.functionName);
const disposals = () => ExtensionContext.events.filter((e) => e.event === 'dispose');

// method, its arguments, the table entry it must reach and, where they
// differ, the arguments it must pass on. The numbers differ so that a swapped
// or dropped argument shows; a switch is temporary (1) unless asked not to be.
const FORWARDING = [
  ['setScreenResolution', [1920, 1080], 'as_setScreenResolution', [1920, 1080, 1]],
  ['setScreenResolution', [1920, 1080, false], 'as_setScreenResolution', [1920, 1080, 0]],
  ['restoreScreenResolution', [], 'as_restoreScreenResolution'],
  ['setKeyboardSpeed', [31], 'as_setKeyboardSpeed'],
  ['restoreKeyboardSpeed', [], 'as_restoreKeyboardSpeed'],
];

describe('each method calls its own table entry', () => {
  for (const [method, args, functionName, passed = args] of FORWARDING) {
    it(`${method}(${args.join(', ')}) calls ${functionName} once with ${passed.join(', ')}`, () => {
      open()[method](...args);
      const seen = calls();
      assert.equal(seen.length, 1, `expected one call, got ${JSON.stringify(seen)}`);
      assert.equal(seen[0].functionName, functionName);
      assert.deepEqual(seen[0].args, passed);
      for (const arg of seen[0].args) assert.ok(Number.isInteger(arg), `${JSON.stringify(arg)} is not an integer`);
    });
  }
});

describe('setScreenResolution reports success only for a true result', () => {
  // Loose truthiness (1 == true, "true", an object) must not pass for success.
  const RESULTS = [[true, true], [false, false], [null, false], [1, false], ['true', false], [{}, false]];
  for (const [result, expected] of RESULTS) {
    it(`${JSON.stringify(result)} from the library reads as ${expected}`, () => {
      const subject = open();
      ExtensionContext.willReturn('as_setScreenResolution', result);
      assert.strictEqual(subject.setScreenResolution(800, 600), expected);
    });
  }

  it('an error from the native side reads as false and does not escape', () => {
    const subject = open();
    for (const [, , functionName] of FORWARDING) ExtensionContext.willThrow(functionName);
    for (const [method, args] of FORWARDING) assert.doesNotThrow(() => subject[method](...args), method);
    assert.strictEqual(subject.setScreenResolution(800, 600), false);
  });
});

describe('the shared object', () => {
  it('is opened once, on first use, with the descriptor\'s id and one probe that does nothing', () => {
    assert.strictEqual(VelmorantUtils.instance, VelmorantUtils.instance);
    assert.strictEqual(VelmorantUtils.isSupported, true);
    assert.strictEqual(VelmorantUtils.isSupported, true);
    assert.deepEqual(ExtensionContext.events, [
      { event: 'create', extensionID: descriptor().id, contextType: '' },
      { event: 'call', context: 1, functionName: 'as_setScreenResolution', args: [] },
    ]);
  });

  it('cannot be made with new, before instance was first used or after', () => {
    assert.ok(firstNew instanceof Error, 'new made an object before instance was first used');
    assert.match(firstNew.message, /VelmorantUtils\.instance/);
    assert.throws(() => new VelmorantUtils(), /VelmorantUtils\.instance/);
  });

  it('dispose releases the context once, and instance then opens a fresh one', () => {
    const first = open();
    first.dispose();
    first.dispose();
    assert.equal(disposals().length, 1);
    const second = VelmorantUtils.instance;
    assert.notStrictEqual(second, first);
    assert.strictEqual(VelmorantUtils.isSupported, true);
    ExtensionContext.willReturn('as_setScreenResolution', true);
    assertInert(first);
    assert.strictEqual(second.setScreenResolution(800, 600), true);
    assert.deepEqual(calls().map((e) => e.context), [2, 2]); // the probe, then the switch
  });

  it('restores nothing on dispose', () => {
    const subject = open();
    subject.setScreenResolution(1280, 720);
    subject.setKeyboardSpeed(5);
    subject.dispose();
    assert.equal(NativeApplication.dispatchExiting(), 0, 'an exiting listener is left behind');
    assert.equal(NativeApplication.dispatchActivate(), 0, 'an activate listener is left behind');
    assert.deepEqual(called(), ['as_setScreenResolution', 'as_setKeyboardSpeed']);
  });
});

// Screen modes, each [width, height, refresh rate, colour depth].
const modes = (...rows) => rows.map(([width, height, rate, depth]) => new ScreenMode(width, height, rate, depth));
// A display at 32 bits whose sizes come at 60 Hz, at 144 Hz, without a rate, at 16 bits only, and twice.
const DISPLAY = modes([1280, 720, 60, 32], [2560, 1440, 144, 32], [800, 600, 60, 32], [1920, 1080, 60, 32],
  [1152, 864, 60, 16], [1280, 1024, 60, 32], [1280, 720, 60, 32], [1024, 768, 60, 32], [1600, 900, 60, 32],
  [1920, 1080, 144, 32], [640, 480, 0, 32]);

// Every public member, on a subject that must stay quiet.
function assertInert(subject) {
  const before = calls().length;
  Screen.describe(...modes([1920, 1080, 60, 32]), DISPLAY);
  assert.deepEqual(subject.screenSizes, []);
  assert.strictEqual(subject.setScreenResolution(1024, 768), false);
  for (const [method, args] of FORWARDING.slice(1)) {
    assert.doesNotThrow(() => subject[method](...args), method);
  }
  assert.doesNotThrow(() => subject.dispose());
  assert.equal(calls().length, before);
}

describe('isSupported is false, and nothing is called or throws', () => {
  const MODES = [
    ['null', 'the extension is not found'],
    ['throw', 'creating the context throws'],
    ['unloadable', 'the native library failed to load (calls throw #3500)'],
  ];
  for (const [mode, why] of MODES) {
    it(`when ${why}`, () => {
      ExtensionContext.createWith(mode);
      assert.strictEqual(VelmorantUtils.isSupported, false);
      const subject = open();
      assertInert(subject);
      // A context that failed its probe is given back, and not left to listen.
      assert.equal(disposals().length, mode === 'unloadable' ? 1 : 0);
      assert.equal(NativeApplication.dispatchExiting(), 0);
    });
  }
});

it('carries the project version it was built with', () => {
  assert.equal(VelmorantUtils.VERSION, descriptor().version);
});

// A fresh shared object with these settings, the named steps on it (each switch accepted unless refused), then
// the runtime's event: the calls the event made, each as [name, ...arguments].
const STEPS = {
  switch: (subject) => subject.setScreenResolution(800, 600),
  temporary: (subject) => subject.setScreenResolution(1280, 720),
  lasting: (subject) => subject.setScreenResolution(1024, 768, false),
  speed: (subject) => subject.setKeyboardSpeed(5),
  restoreScreen: (subject) => subject.restoreScreenResolution(),
  restoreSpeed: (subject) => subject.restoreKeyboardSpeed(),
  dispose: (subject) => subject.dispose(),
  failing: (subject) => {
    ExtensionContext.willThrow('as_setScreenResolution');
    subject.setScreenResolution(640, 480);
  },
};
function callsOn(dispatch, steps, { settings = {}, refused = false, cancel = false } = {}) {
  VelmorantUtils.instance.dispose();
  NativeApplication.reset();
  const subject = open();
  for (const [name, value] of Object.entries(settings)) {
    if (value !== undefined) subject[name] = value; // otherwise the class's default
  }
  ExtensionContext.willReturn('as_setScreenResolution', !refused);
  for (const step of steps) STEPS[step](subject);
  if (cancel) NativeApplication.nativeApplication.addEventListener('exiting', (event) => event.preventDefault());
  const before = calls().length;
  dispatch();
  return calls().slice(before).map((e) => [e.functionName, ...e.args]);
}

describe('when the application exits', () => {
  // What the exit called.
  const exitAfter = (steps, { screen, keyboard, refused = false, cancel = false } = {}) =>
    callsOn(() => NativeApplication.dispatchExiting(), steps,
      { settings: { restoreScreenOnExit: screen, restoreKeyboardOnExit: keyboard }, refused, cancel })
      .map(([functionName]) => functionName);
  const BOTH = ['switch', 'speed'];

  it('puts back the screen mode, and not the keyboard speed, by default', () => {
    assert.deepEqual(exitAfter(BOTH), ['as_restoreScreenResolution']);
  });

  it('puts back what the two settings ask for', () => {
    assert.deepEqual(exitAfter(BOTH, { screen: false, keyboard: true }), ['as_restoreKeyboardSpeed']);
  });

  it('restores nothing when an application listener cancels the exit', () => {
    assert.deepEqual(exitAfter(BOTH, { keyboard: true, cancel: true }), []);
  });

  it('puts back only what was changed and not restored since', () => {
    const keyboard = true;
    assert.deepEqual(exitAfter([], { keyboard }), []);
    assert.deepEqual(exitAfter(['switch'], { refused: true }), [], 'a refused switch');
    assert.deepEqual(exitAfter([...BOTH, 'restoreScreen', 'restoreSpeed'], { keyboard }), [], 'both restored');
    assert.deepEqual(exitAfter([...BOTH, 'restoreScreen', 'restoreSpeed', ...BOTH], { keyboard }),
      ['as_restoreScreenResolution', 'as_restoreKeyboardSpeed'], 'changed again after the restores');
  });
});

describe('when the application is activated', () => {
  // What the activation called, with which arguments.
  const activateAfter = (steps, options) => callsOn(() => NativeApplication.dispatchActivate(), steps, options);

  it('makes an outstanding temporary switch again, as the same temporary switch', () => {
    assert.deepEqual(activateAfter(['temporary']), [['as_setScreenResolution', 1280, 720, 1]]);
    assert.deepEqual(activateAfter(['lasting', 'temporary']), [['as_setScreenResolution', 1280, 720, 1]]);
  });

  it('makes nothing again after a lasting switch, one that threw, a restore, dispose(), reapplyOnActivate off', () => {
    for (const steps of [['temporary', 'lasting'], ['temporary', 'failing'], ['temporary', 'restoreScreen'],
      ['temporary', 'dispose'], []]) {
      assert.deepEqual(activateAfter(steps), [], steps.join(', '));
    }
    assert.deepEqual(activateAfter(['temporary'], { settings: { reapplyOnActivate: false } }), [], 'the property off');
    assert.deepEqual(activateAfter(['temporary'], { refused: true }), [], 'a refused switch');
  });

  it('listens once, and a refusal on activation changes nothing: the next one tries again, the exit restores', () => {
    const subject = open();
    ExtensionContext.willReturn('as_setScreenResolution', true);
    subject.setScreenResolution(1280, 720);
    subject.setScreenResolution(1280, 720);
    ExtensionContext.willThrow('as_setScreenResolution');
    assert.equal(NativeApplication.dispatchActivate(), 1, 'one listener, whatever the number of switches');
    ExtensionContext.willReturn('as_setScreenResolution', false);
    NativeApplication.dispatchActivate();
    NativeApplication.dispatchActivate();
    NativeApplication.dispatchExiting();
    assert.deepEqual(called().slice(2), ['as_setScreenResolution', 'as_setScreenResolution',
      'as_setScreenResolution', 'as_restoreScreenResolution']);
  });
});

describe('screenSizes', () => {
  // What a subject lists when the main screen's current mode is 1920 x 1080 at this rate and depth.
  const sizesAt = (rate, depth = 32) => {
    Screen.describe(...modes([1920, 1080, rate, depth]), DISPLAY);
    return open().screenSizes;
  };
  const sizes = (...rows) => rows.map(([width, height]) => ({ width, height }));

  it('lists the sizes at the current depth and rate, once each, largest first (width, height), read each time', () => {
    assert.deepEqual(sizesAt(60),
      sizes([1920, 1080], [1600, 900], [1280, 1024], [1280, 720], [1024, 768], [800, 600]));
    assert.deepEqual(sizesAt(144), sizes([2560, 1440], [1920, 1080]));
    assert.deepEqual(sizesAt(60, 16), sizes([1152, 864]));
  });

  it('takes every rate when the current mode reports none (0) or the hardware\'s default (1)', () => {
    const all = sizes([2560, 1440], [1920, 1080], [1600, 900], [1280, 1024], [1280, 720], [1024, 768], [800, 600],
      [640, 480]);
    assert.deepEqual(sizesAt(0), all);
    assert.deepEqual(sizesAt(1), all);
  });

  it('is empty, and nothing throws, when the runtime gives no screen, mode or modes, or throws', () => {
    const subject = open();
    const [current] = modes([1920, 1080, 60, 32]);
    const CASES = [
      ['no main screen', () => {}],
      ['no current mode', () => Screen.describe(null, DISPLAY)],
      ['modes null', () => Screen.describe(current, null)],
      ['modes empty', () => Screen.describe(current, [])],
      ...['mainScreen', 'mode', 'modes'].map((member) => [`${member} throws`, () => {
        Screen.describe(current, DISPLAY);
        Screen.willThrow(member);
      }]),
    ];
    for (const [why, arrange] of CASES) {
      Screen.reset();
      arrange();
      assert.deepEqual(subject.screenSizes, [], why);
    }
  });
});
