'use strict';
// Runs the ActionScript of SWFs compiled by Apache Royale's compc in the AVM2
// of @awayfl/avm2, on the builtins (builtin.abc) of @awayfl/awayfl-player:
//
//   const vm = load([fakesSwf, kitSwf]);
//   vm.cls('com.velmorant.utils.VelmorantUtils').instance.setScreenResolution(800, 600);
//
// AS classes and objects reach JS as proxies over their public members (get,
// set, call, `new`); AS Arrays and plain Objects as JS copies. JS values reach
// AS as AS values, a JS function as an AS Function. An AS exception reaching
// JS becomes a JS Error (`asError` holds the AS one) and a JS exception
// reaching AS an AS Error, which AS code can catch.
//
// One VM per process: the AVM2 resolves top-level names through one table for
// the whole process, so each load() takes them all over and the VMs before it
// stop working. The shipped and the default VelmorantUtils need a process each.
const fs = require('node:fs');
const zlib = require('node:zlib');

let avm; // @awayfl/avm2, started once per process
let builtins; // the bytes of builtin.abc: Object, Array, Error and the rest
let current; // the VM of the last load()

// Requires the VM with the browser globals it reads stubbed and its version
// banners silenced, and starts it as the AwayFL player does.
function start() {
  if (avm) return avm;
  globalThis.self ??= globalThis;
  globalThis.window ??= globalThis;
  globalThis.navigator ??= { userAgent: 'node' };
  const debug = console.debug;
  console.debug = () => {};
  try {
    builtins = fs.readFileSync(require.resolve('@awayfl/awayfl-player/builtins/builtin.abc'));
    avm = require('@awayfl/avm2');
  } catch (error) {
    throw new Error(`cannot load the AVM2, @awayfl/avm2 with @awayfl/awayfl-player's builtin.abc ` +
      `(${error.message.split('\n')[0]}): run scripts/install-test-tools.sh`);
  } finally {
    console.debug = debug;
  }
  avm.initSystem();
  avm.initializeAXBasePrototype();
  avm.initlazy();
  // The VM calls every function through axApply and axCall, its natives (plain JS functions) too.
  for (const [name, value] of [['axApply', Function.prototype.apply], ['axCall', Function.prototype.call]]) {
    Object.defineProperty(Function.prototype, name, { value, writable: true, configurable: true });
  }
  return avm;
}

// The ABC bytes of each DoABC tag of a SWF, in order.
function abcBlocks(file) {
  let swf = fs.readFileSync(file);
  const signature = swf.toString('latin1', 0, 3);
  if (signature === 'CWS') swf = Buffer.concat([swf.subarray(0, 8), zlib.inflateSync(swf.subarray(8))]);
  else if (signature !== 'FWS') throw new Error(`${file}: not a SWF, or an LZMA-compressed one (${signature})`);
  const blocks = [];
  let at = 8 + Math.ceil((5 + 4 * (swf[8] >> 3)) / 8) + 4; // past the frame size, rate and count
  while (at < swf.length) {
    const code = swf.readUInt16LE(at) >> 6;
    let length = swf.readUInt16LE(at) & 0x3f;
    at += 2;
    if (length === 0x3f) { length = swf.readUInt32LE(at); at += 4; }
    if (code === 82) blocks.push(swf.subarray(swf.indexOf(0, at + 4) + 1, at + length)); // flags, name, ABC
    if (code === 72) blocks.push(swf.subarray(at, at + length)); // the older DoABC: the ABC alone
    if (code === 0) break;
    at += length;
  }
  if (!blocks.length) throw new Error(`${file}: no DoABC tag, so no ActionScript`);
  return blocks.map((block) => new Uint8Array(block));
}

// A new VM: the builtins, then every DoABC of the SWFs, in order, into the
// application domain. Names resolve on first use, so the order is free.
function load(swfPaths) {
  const { ABCFile, AXSecurityDomain, Multiname } = start();
  const vm = current = {}; // from the first ABC parsed on, the VMs before are done for
  const sec = new AXSecurityDomain();
  const app = sec.application;
  const step = (what, run) => {
    try {
      run();
    } catch (error) {
      throw new Error(`${what}: ${error.$Bgmessage || error.message}`); // an AS or a JS error
    }
  };
  step('@awayfl/avm2 failed to run builtin.abc', () => {
    const core = new ABCFile({ app: sec.system, url: 'builtin.abc' }, new Uint8Array(builtins));
    sec.system.loadABC(core);
    sec.initialize();
    sec.system.executeABC(core);
  });
  for (const file of swfPaths) {
    for (const bytes of abcBlocks(file)) {
      step(`${file}: the AVM2 refused a DoABC block`, () => app.loadABC(new ABCFile({ app, url: file }, bytes)));
    }
  }
  const PUBLIC = Multiname.FromFQNString('public', 0 /* public */).namespaces;
  const proxies = new WeakMap(); // AS object -> proxy
  const objects = new WeakMap(); // proxy -> AS object
  const boxes = new WeakMap(); // JS function -> AS Function: the same listener stays the same
  const isAS = (value) => value !== null && typeof value === 'object' && value.sec === sec;
  // Compiled methods are plain JS functions, closures are AS Function objects.
  const isFunction = (value) => typeof value === 'function' || sec.AXFunction.axIsType(value);

  // Runs JS that reaches into the VM, turning an AS exception into a JS Error.
  function guard(run) {
    if (current !== vm) throw new Error('a later load() in this process replaced this VM');
    try {
      return run();
    } catch (thrown) {
      if (!isAS(thrown)) throw thrown;
      if (thrown.jsError) throw thrown.jsError; // thrown by JS in the first place
      const error = new Error(String(thrown.axGetPublicProperty('message')));
      if (sec.AXError.axIsType(thrown)) error.name = thrown.axClass.classInfo.instanceInfo.multiname.name;
      error.errorID = thrown.axGetPublicProperty('errorID');
      throw Object.assign(error, { asError: thrown });
    }
  }

  function toJS(value) {
    if (isFunction(value)) return (...args) => guard(() => toJS(value.axApply(null, args.map(toAS))));
    if (!isAS(value)) return value; // undefined, null, numbers, strings, Booleans
    if (sec.AXArray.axIsType(value)) return value.value.map(toJS);
    if (value.axClass !== sec.AXObject) return proxy(value);
    const names = Object.keys(value).filter((key) => key.startsWith('$Bg')); // public names, mangled
    return Object.fromEntries(names.map((key) => [key.slice(3), toJS(value[key])]));
  }

  function toAS(value) {
    if (value === null || (typeof value !== 'object' && typeof value !== 'function')) return value;
    if (objects.has(value)) return objects.get(value);
    if (isAS(value)) return value;
    if (typeof value === 'function') return box(value);
    if (Array.isArray(value)) return sec.createArray(value.map(toAS));
    const object = sec.createObject();
    for (const key of Object.keys(value)) object.axSetPublicProperty(key, toAS(value[key]));
    return object;
  }

  // A JS function as an AS Function. Not the JS function itself: the JIT turns
  // a call through a property that holds one into a call to that very function,
  // for good, so a later value of the property would never be called.
  function box(fn) {
    if (!boxes.has(fn)) {
      boxes.set(fn, sec.boxFunction((...args) => {
        try {
          return toAS(fn(...args.map(toJS)));
        } catch (error) {
          // Compiled AS catch blocks see AS values only (and JS TypeErrors).
          if (error && error.asError) throw error.asError;
          throw Object.assign(sec.AXError.axConstruct([String(error && error.message)]), { jsError: error });
        }
      }));
    }
    return boxes.get(fn);
  }

  // A class (which `new` constructs) or an object, as a proxy over its public
  // members only: the VM keeps every member under its bare name, whatever its
  // namespace. What JS sets is coerced to the declared type, as in AS.
  function proxy(object) {
    if (!proxies.has(object)) {
      const isPublic = (name) => typeof name === 'string' && Boolean(object.traits.getTrait(PUBLIC, name));
      const handle = new Proxy(sec.AXClass.axIsType(object) ? function () {} : {}, {
        get(_, name) {
          if (!isPublic(name)) return undefined;
          const value = guard(() => object.axGetPublicProperty(name));
          if (!isFunction(value)) return toJS(value);
          return (...args) => guard(() => toJS(object.axCallPublicProperty(name, args.map(toAS))));
        },
        set(_, name, value) {
          if (!isPublic(name)) throw new TypeError(`no public property ${String(name)} to set`);
          guard(() => object.axSetProperty(Multiname.FromFQNString(name, 0), toAS(value), 0x61 /* setproperty */));
          return true;
        },
        construct: (_, args) => guard(() => toJS(object.axConstruct(args.map(toAS)))),
      });
      proxies.set(object, handle);
      objects.set(handle, object);
    }
    return proxies.get(object);
  }

  // The class of a qualified name, such as 'flash.external.ExtensionContext'.
  function cls(name) {
    let found;
    try {
      found = guard(() => sec.application.getClass(Multiname.FromFQNString(name, 0 /* public */)));
    } catch (error) {
      throw error.errorID === 2131 ? new Error(`no class ${name} in the loaded SWFs`) : error; // #2131: not defined
    }
    if (!sec.AXClass.axIsType(found)) throw new Error(`${name} is not a class`);
    return proxy(found);
  }

  return Object.assign(vm, { cls, toJS, toAS, sec });
}

module.exports = { load, abcBlocks };
