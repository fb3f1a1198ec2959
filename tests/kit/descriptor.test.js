'use strict';
// kit/extension.xml is what adt packages and what the runtime reads to find
// the DLL and its entry points; a slip here shows only on a user's machine.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { descriptor, projectVersion, paths, EXTENSION_ID, WIDTHS } = require('./lib/kit');

const WINDOWS = WIDTHS.map((w) => w.platform);

test('is well-formed XML in a runtime extension namespace', () => {
  const { namespace } = descriptor(); // throws with line and column when malformed
  assert.match(namespace, /^http:\/\/ns\.adobe\.com\/air\/extension\/\d+\.\d+$/);
});

test('carries the extension id and the project version, as both classes\' VERSION does', () => {
  const { id, version } = descriptor();
  assert.equal(id, EXTENSION_ID);
  assert.equal(version, projectVersion());
  for (const file of [paths.shippedClass, paths.defaultClass]) {
    const declared = /\bstatic\s+const\s+VERSION\s*:\s*String\s*=\s*"([^"]*)"/.exec(fs.readFileSync(file, 'utf8'));
    assert.equal(declared && declared[1], projectVersion(), file);
  }
});

test('names the DLL and both entry points for each Windows platform', () => {
  const { platforms } = descriptor();
  for (const name of WINDOWS) {
    assert.deepEqual(platforms.get(name), {
      nativeLibrary: 'VelmorantUtils.dll',
      initializer: 'ExtensionInitializer',
      finalizer: 'ExtensionFinalizer',
    }, name);
  }
});

test('has an ActionScript-only default platform and no other', () => {
  const { platforms } = descriptor();
  assert.deepEqual([...platforms.keys()].sort(), [...WINDOWS, 'default'].sort());
  assert.deepEqual(platforms.get('default'), {});
});
