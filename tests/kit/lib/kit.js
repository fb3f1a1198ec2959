'use strict';
// What the kit's tests and the release test share: where the package tree put what it built, the records the
// tests keep (the function table, the platforms), the descriptor as a real XML parser reads it, and the kit's
// compiled classes loaded in the AVM2 beside the runtime's fakes.
const fs = require('node:fs');
const path = require('node:path');
const { load } = require('./avm2');

const root = path.resolve(__dirname, '..', '..', '..');

// Set by CTest from the package tree; run by hand, the preset's tree.
const built = (variable, file) => process.env[variable] || path.join(root, 'build', 'package', file);
const paths = {
  root,
  descriptor: built('VELMORANT_DESCRIPTOR', 'kit/extension.xml'),
  kitSwf: built('VELMORANT_KIT_SWF', 'kit/src/library.swf'),
  defaultSwf: built('VELMORANT_DEFAULT_SWF', 'kit/default/library.swf'),
  fakesSwf: built('VELMORANT_FAKES_SWF', 'tests/kit/fakes/library.swf'),
};

// The lines of a plain-text record in the repository, without comments and blank lines, split in words.
const records = (file) => fs.readFileSync(path.join(root, file), 'utf8').split('\n')
  .filter((line) => line.trim() && !line.startsWith('#')).map((line) => line.trim().split(/\s+/));

// The native library's function table, in its order, as the tests record it.
const TABLE = Object.freeze(records('tests/support/table.txt').map(([name]) => name));

// The two Windows builds: CMake preset, AIR platform name and PE machine type.
const WIDTHS = Object.freeze(records('cmake/platforms.txt')
  .map(([preset, , platform, machine]) => ({ preset, platform, machine: parseInt(machine, 16) })));

// The descriptor's namespace, id, version and each platform's applicationDeployment.
function descriptor(text = fs.readFileSync(paths.descriptor, 'utf8')) {
  const { XMLParser, XMLValidator } = require('fast-xml-parser');
  const valid = XMLValidator.validate(text);
  if (valid !== true) throw new Error(`the descriptor is not well-formed XML: ${valid.err.msg}`);
  const { extension } = new XMLParser({ ignoreAttributes: false, attributeNamePrefix: '@', parseTagValue: false,
    isArray: (name) => name === 'platform' }).parse(text);
  const platforms = new Map(extension.platforms.platform.map((p) => [p['@name'],
    typeof p.applicationDeployment === 'object' ? p.applicationDeployment : {}]));
  return { namespace: extension['@xmlns'], id: extension.id, version: extension.versionNumber, platforms };
}

// The Windows class (or the default class) as compiled for the package, in the AVM2 with the runtime's fakes.
// One class per process: both are com.velmorant.utils.VelmorantUtils.
function loadKit(swf = paths.kitSwf) {
  for (const file of [paths.fakesSwf, swf]) {
    if (!fs.existsSync(file)) throw new Error(`${file} has not been built: build the package preset first`);
  }
  const vm = load([paths.fakesSwf, swf]);
  return {
    vm,
    VelmorantUtils: vm.cls('com.velmorant.utils.VelmorantUtils'),
    ExtensionContext: vm.cls('flash.external.ExtensionContext'),
    NativeApplication: vm.cls('flash.desktop.NativeApplication'),
    Screen: vm.cls('flash.display.Screen'),
    ScreenMode: vm.cls('flash.display.ScreenMode'),
  };
}

// The public members of a loaded VelmorantUtils class (loadKit's), static ones included, with their types and
// parameters, one line each, from the class's traits as the AVM2 loaded them.
function publicApi({ vm, VelmorantUtils }) {
  const KINDS = ['var', 'method', 'get', 'set', 'class', 'function', 'const'];
  const describe = (traits, prefix) => traits.traits.filter((t) => / 0:/.test(String(t.multiname))).map((t) => {
    const m = t.methodInfo;
    const type = m ? `(${m.parameters.map((p) => `${p.typeName}${p.optionalValueKind >= 0 ? '=' : ''}`).join(', ')}):${m.typeName}`
      : `:${t.typeName}`;
    return `${prefix}${KINDS[t.kind]} ${String(t.multiname).split('::').pop()}${type}`;
  });
  const { classInfo } = vm.toAS(VelmorantUtils);
  return [...describe(classInfo.traits, 'static '), ...describe(classInfo.instanceInfo.traits, '')].sort();
}

module.exports = { paths, TABLE, WIDTHS, descriptor, loadKit, publicApi };
