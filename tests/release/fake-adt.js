'use strict';
// A stand-in AIR SDK for running kit/package.sh without one: bin/adt, a Node script that records how it was
// called, one JSON line per call, in the SDK's calls.log, with the SHA-256 of every entry its package would
// hold (-swc gives catalog.xml and library.swf at the root; each -platform NAME -C DIR FILE... gives
// META-INF/ANE/NAME/FILE), and writes a placeholder package.
const fs = require('node:fs');
const path = require('node:path');

const ADT = String.raw`
const fs = require('fs'), path = require('path'), crypto = require('crypto'), { execFileSync } = require('child_process');
const args = process.argv.slice(2);
const sha = (data) => crypto.createHash('sha256').update(data).digest('hex');
const at = (flag) => args[args.indexOf(flag) + 1];
const output = at('-target') === 'ane' ? args[args.indexOf('-target') + 2] : null;
const entries = { 'META-INF/ANE/extension.xml': sha(fs.readFileSync(args[args.indexOf(output) + 1])) };
for (const name of ['catalog.xml', 'library.swf']) entries[name] = sha(execFileSync('unzip', ['-p', at('-swc'), name]));
let platform;
for (let i = 0; i < args.length; i++) {
  if (args[i] === '-platform') platform = args[++i];
  if (args[i] !== '-C') continue;
  const dir = args[++i];
  for (; i + 1 < args.length && !args[i + 1].startsWith('-'); i++) {
    entries['META-INF/ANE/' + platform + '/' + args[i + 1]] = sha(fs.readFileSync(path.join(dir, args[i + 1])));
  }
}
fs.appendFileSync(path.join(__dirname, '..', 'calls.log'), JSON.stringify({ args, entries }) + '\n');
fs.writeFileSync(output, 'ane');
`;

// Makes dir/bin/adt; returns the SDK's folder and a reader of its recorded calls, oldest first.
function makeFakeSdk(dir) {
  const home = path.resolve(dir);
  fs.mkdirSync(path.join(home, 'bin'), { recursive: true });
  fs.writeFileSync(path.join(home, 'bin', 'adt'), `#!${process.execPath}\n${ADT}`, { mode: 0o755 });
  const log = path.join(home, 'calls.log');
  const calls = () => (fs.existsSync(log) ? fs.readFileSync(log, 'utf8').split('\n').filter(Boolean).map(JSON.parse) : []);
  return { home, calls };
}

module.exports = { makeFakeSdk };
