'use strict';
// node probe.js INDEX_JS api|calls
//   api    the public API of the compiled VelmorantUtils, from Royale's
//          reflection data, as JSON
//   calls  the function names the class hands to the context when the
//          shared object opens and every public method runs once, as JSON
// Run in a process of its own, since a build's classes are globals.
const { load } = require('./royale');

const [indexJs, what] = process.argv.slice(2);
const { VelmorantUtils, ExtensionContext } = load(indexJs);

function api() {
  const info = VelmorantUtils.prototype.ROYALE_REFLECTION_INFO();
  const members = (group) => Object.fromEntries(Object.entries(group ? group() : {}).map(([name, m]) => [
    name, { type: m.type, access: m.access, parameters: m.parameters ? m.parameters() : [] },
  ]));
  return {
    EXTENSION_ID: VelmorantUtils.EXTENSION_ID,
    accessors: members(info.accessors),
    methods: members(info.methods),
    variables: members(info.variables),
  };
}

// Walks the reflected methods rather than a list of our own, so that a public
// method added later is exercised too.
function calls() {
  ExtensionContext.reset();
  const subject = VelmorantUtils.instance;
  for (const [name, method] of Object.entries(api().methods)) {
    if (name === 'VelmorantUtils' || name === 'dispose') continue;
    const arity = method.parameters.length / 2; // [type, optional, type, optional, ...]
    subject[name](...Array.from({ length: arity }, (_, i) => 640 + i));
  }
  subject.dispose();
  return ExtensionContext.events.filter((e) => e.event === 'call').map((e) => e.functionName);
}

const probes = { api, calls };
if (!probes[what]) {
  process.stderr.write(`unknown probe ${what}\n`);
  process.exit(2);
}
process.stdout.write(JSON.stringify(probes[what]()));
