'use strict';
// A stand-in AIR SDK for running kit/package.sh without one: bin/compc and
// bin/adt are Node scripts that record how they were called, one JSON line
// per call, in the log that FAKE_SDK_LOG names.
//
// compc writes a real zip (package.sh unpacks library.swf from it) whose
// library.swf says which source path it was built from; it fails when
// FAKE_COMPC_FAILS is set. adt notes the SHA-256 of each file under its -C
// folders at the moment it runs (as `staged`), the entries the package would hold as adt lays one out
// (as `entries`), and writes a placeholder ANE.
const fs = require('node:fs');
const path = require('node:path');

const COMPC = String.raw`
const fs = require('fs'), path = require('path'), zlib = require('zlib');
const args = process.argv.slice(2);
fs.appendFileSync(process.env.FAKE_SDK_LOG, JSON.stringify({ tool: 'compc', args }) + '\n');
if (process.env.FAKE_COMPC_FAILS) { console.error('compc: error'); process.exit(1); }
const value = (flag) => args[args.indexOf(flag) + 1];
const data = Buffer.from('swf from ' + value('-source-path'));
const name = Buffer.from('library.swf');
const crc32 = zlib.crc32 || ((b) => { let c = ~0; for (const x of b) { c ^= x; for (let k = 0; k < 8; k++) c = (c >>> 1) ^ (0xedb88320 & -(c & 1)); } return ~c >>> 0; });
const crc = crc32(data);
const local = Buffer.alloc(30); local.writeUInt32LE(0x04034b50, 0); local.writeUInt16LE(10, 4);
local.writeUInt32LE(crc, 14); local.writeUInt32LE(data.length, 18); local.writeUInt32LE(data.length, 22);
local.writeUInt16LE(name.length, 26);
const central = Buffer.alloc(46); central.writeUInt32LE(0x02014b50, 0); central.writeUInt16LE(10, 4);
central.writeUInt16LE(10, 6); central.writeUInt32LE(crc, 16); central.writeUInt32LE(data.length, 20);
central.writeUInt32LE(data.length, 24); central.writeUInt16LE(name.length, 28);
const body = Buffer.concat([local, name, data]);
const end = Buffer.alloc(22); end.writeUInt32LE(0x06054b50, 0); end.writeUInt16LE(1, 8); end.writeUInt16LE(1, 10);
end.writeUInt32LE(46 + name.length, 12); end.writeUInt32LE(body.length, 16);
fs.mkdirSync(path.dirname(value('-output')), { recursive: true });
fs.writeFileSync(value('-output'), Buffer.concat([body, central, name, end]));
`;

const ADT = String.raw`
const fs = require('fs'), path = require('path'), crypto = require('crypto');
const args = process.argv.slice(2);
const staged = {};
const entries = ['mimetype', 'META-INF/ANE/extension.xml'];
let platform;
args.forEach((arg, i) => {
  if (arg === '-swc') entries.push('catalog.xml', 'library.swf');
  if (arg === '-platform') platform = args[i + 1];
  if (arg !== '-C') return;
  const dir = args[i + 1];
  for (const file of fs.readdirSync(dir)) {
    staged[path.join(dir, file)] = crypto.createHash('sha256').update(fs.readFileSync(path.join(dir, file))).digest('hex');
  }
  // The files named after -C DIR, up to the next option, land in the platform's folder.
  for (let j = i + 2; j < args.length && !args[j].startsWith('-'); j++) entries.push('META-INF/ANE/' + platform + '/' + args[j]);
});
fs.appendFileSync(process.env.FAKE_SDK_LOG, JSON.stringify({ tool: 'adt', args, staged, entries }) + '\n');
fs.writeFileSync(args[args.indexOf('-target') + 2], 'ane');
`;

// Makes dir/bin/compc and dir/bin/adt. `env` is what package.sh needs to use
// them; the log lies beside bin/, so each SDK records only its own calls.
function makeFakeSdk(dir) {
  const home = path.resolve(dir);
  const log = path.join(home, 'calls.log');
  fs.mkdirSync(path.join(home, 'bin'), { recursive: true });
  for (const [tool, code] of [['compc', COMPC], ['adt', ADT]]) {
    fs.writeFileSync(path.join(home, 'bin', tool), `#!${process.execPath}\n${code}`, { mode: 0o755 });
  }
  return { home, log, env: { AIR_SDK_HOME: home, FAKE_SDK_LOG: log } };
}

// The recorded calls, oldest first: { tool, args } for compc, { tool, args,
// staged, entries } for adt. None when no tool has run.
function readCalls(log) {
  if (!fs.existsSync(log)) return [];
  return fs.readFileSync(log, 'utf8').split('\n').filter(Boolean).map((line) => JSON.parse(line));
}

module.exports = { makeFakeSdk, readCalls };
