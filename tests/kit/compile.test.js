'use strict';
// The shipped class and the default class, unchanged, through Apache Royale's
// compiler: no error at all, and no warning in a file of this project.
const test = require('node:test');
const assert = require('node:assert/strict');
const { compile, isOurs, describeFailure } = require('./lib/royale');

// Both trees at once: the compiler is one JVM each, and there are two cores.
let results;
const compiled = () => (results ??= Promise.all([compile('main'), compile('default')]));

for (const [index, tree] of ['main', 'default'].entries()) {
  test(`the ${tree} class compiles with no error and no warning of ours`, async () => {
    const result = (await compiled())[index];
    assert.ok(result.built, describeFailure(result));
    const ours = result.diagnostics.filter((d) => d.severity === 'error' || isOurs(d.file));
    assert.deepEqual(ours, [], describeFailure(result));
  });
}
