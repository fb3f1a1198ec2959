'use strict';
// The function names the ActionScript sources pass to ExtensionContext.call(),
// read from the shipped files, against the native library's table.
const test = require('node:test');
const assert = require('node:assert/strict');
const { paths, TABLE, callSites, descriptor, difference } = require('./lib/kit');

test('the Windows class calls every table name and nothing else', () => {
  const called = callSites(paths.shippedClass).sites.map((s) => s.name);
  assert.deepEqual(difference(TABLE, called), [], 'table names the class never calls');
  assert.deepEqual(difference(called, TABLE), [], 'names the class calls that are not in the table');
});

test('the default class calls nothing and does not use ExtensionContext', () => {
  const { sites, code } = callSites(paths.defaultClass);
  assert.deepEqual(sites, []);
  assert.doesNotMatch(code, /\bExtensionContext\b|\bflash\.external\b/);
});

test('both classes declare the descriptor\'s id as EXTENSION_ID', () => {
  const { id } = descriptor();
  for (const file of [paths.shippedClass, paths.defaultClass]) {
    assert.equal(callSites(file).constants.get('EXTENSION_ID'), id, file);
  }
});
