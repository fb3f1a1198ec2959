'use strict';
// The built DLL, loaded the way the runtime would load it from the
// descriptor, against the ActionScript class: every name the class calls must
// be handed out by the library, and the other way round.
//
// Run by CTest with the emulator command as arguments and
//   VELMORANT_HOST          velmorant-host.exe
//   VELMORANT_DLL           the built VelmorantUtils DLL
//   VELMORANT_AIR_PLATFORM  Windows-x86 or Windows-x86-64
// Standalone, VELMORANT_EMULATOR (split at spaces) may replace the arguments.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { execFile } = require('node:child_process');
const { paths, TABLE, callSites, descriptor, difference } = require('./lib/kit');
const { probe } = require('./lib/royale');

const { VELMORANT_HOST: host, VELMORANT_DLL: dll, VELMORANT_AIR_PLATFORM: platform } = process.env;
const emulator = process.argv.length > 2
  ? process.argv.slice(2)
  : (process.env.VELMORANT_EMULATOR || 'wine').split(' ').filter(Boolean);
const missing = ['VELMORANT_HOST', 'VELMORANT_DLL', 'VELMORANT_AIR_PLATFORM'].filter((v) => !process.env[v]);
const skip = missing.length ? `needs a build: ${missing.join(', ')} not set` : false;

function deployment() {
  const entry = descriptor().platforms.get(platform);
  assert.ok(entry && entry.nativeLibrary, `extension.xml has no native library for ${platform}`);
  return entry;
}

// Each Wine start costs seconds, so every run this file needs starts at once.
function runHost(initializer, finalizer, modulePath) {
  const args = [...emulator.slice(1), host, '--initializer', initializer, '--finalizer', finalizer, '--list', modulePath];
  return new Promise((resolve) => {
    execFile(emulator[0], args, { cwd: path.dirname(dll), encoding: 'utf8', timeout: 120_000 }, (error, stdout, stderr) => {
      const status = error ? (typeof error.code === 'number' ? error.code : String(error.code || error.signal)) : 0;
      resolve({ status, stdout, stderr, lines: stdout.split(/\r?\n/).filter((l, i, all) => l !== '' || i < all.length - 1) });
    });
  });
}

const report = (run) => `exit ${run.status}\nstdout:\n${run.stdout}\nstderr:\n${run.stderr}`;

let runs;
function hostRuns() {
  if (!runs) {
    const { nativeLibrary, initializer, finalizer } = deployment();
    const modulePath = path.join(path.dirname(dll), nativeLibrary);
    runs = Promise.all([
      runHost(initializer, finalizer, modulePath),
      runHost(`${initializer}Missing`, finalizer, modulePath),
      runHost(initializer, `${finalizer}Missing`, modulePath),
    ]).then(([listing, ...refused]) => ({ listing, refused }));
  }
  return runs;
}

async function listedNames() {
  const { listing } = await hostRuns();
  assert.equal(listing.status, 0, report(listing));
  return listing.lines;
}

test('the descriptor names the file this build makes', { skip }, () => {
  const { nativeLibrary } = deployment();
  assert.equal(path.basename(dll), nativeLibrary);
  assert.ok(fs.existsSync(dll), `${dll} has not been built`);
});

test('loaded by the descriptor\'s names, the library lists the table and only that', { skip }, async () => {
  assert.deepEqual(await listedNames(), [...TABLE]);
});

test('the names the class calls in its source are exactly those the library lists', { skip }, async () => {
  const names = await listedNames();
  const called = callSites(paths.shippedClass).sites.map((s) => s.name);
  assert.deepEqual(difference(called, names), [], 'called by the class but not in the library');
  assert.deepEqual(difference(names, called), [], 'in the library but never called by the class');
});

test('the names the compiled class calls at run time are exactly those the library lists', { skip }, async () => {
  const [names, called] = await Promise.all([listedNames(), probe('main', 'calls')]);
  assert.deepEqual(difference(called, names), [], 'called by the class but not in the library');
  assert.deepEqual(difference(names, called), [], 'in the library but never called by the class');
});

// Shows that the list above came through the entry points the descriptor
// names, and not through defaults that would hide a wrong name there.
test('an entry point name the library does not export is refused', { skip }, async () => {
  for (const run of (await hostRuns()).refused) {
    assert.notEqual(run.status, 0, report(run));
    assert.equal(run.stdout.trim(), '', report(run));
  }
});
