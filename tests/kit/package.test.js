'use strict';
// kit/package.sh against a stand-in AIR SDK whose compc and adt record how
// they were called. No SDK is installed here: what is checked is what the
// script hands to the SDK's tools, and that it refuses plainly when
// something it needs is missing.
const test = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { paths, descriptor } = require('./lib/kit');

const CLASS = 'com.velmorant.utils.VelmorantUtils';
const PE_X86 = 0x014c;
const PE_X64 = 0x8664;

// Just enough of a PE header for the script's width check, plus a tag so the
// two DLLs can be told apart once staged.
function fakeDll(machine, tag) {
  const image = Buffer.alloc(128);
  image.write('MZ', 0, 'latin1');
  image.writeUInt32LE(64, 0x3c);
  image.write('PE\0\0', 64, 'latin1');
  image.writeUInt16LE(machine, 68);
  image.write(tag, 96, 'latin1');
  return image;
}

const sha = (data) => crypto.createHash('sha256').update(data).digest('hex');

// compc writes a real zip (the script unpacks library.swf from it) whose
// library.swf names the source path it was built from. adt notes the hash of
// each file under its -C folders at the moment it runs.
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
args.forEach((arg, i) => {
  if (arg !== '-C') return;
  const dir = args[i + 1];
  for (const file of fs.readdirSync(dir)) {
    staged[path.join(dir, file)] = crypto.createHash('sha256').update(fs.readFileSync(path.join(dir, file))).digest('hex');
  }
});
fs.appendFileSync(process.env.FAKE_SDK_LOG, JSON.stringify({ tool: 'adt', args, staged }) + '\n');
fs.writeFileSync(args[args.indexOf('-target') + 2], 'ane');
`;

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'velmorant-package-'));
process.on('exit', () => fs.rmSync(scratch, { recursive: true, force: true }));

// sdk: 'fake' (recording tools), 'empty' (a folder without them) or 'none'.
function workspace({ sdk = 'fake', dlls = { 'windows-x86': PE_X86, 'windows-x64': PE_X64 } } = {}) {
  const dir = fs.mkdtempSync(path.join(scratch, 'run-'));
  const env = { ...process.env, VELMORANT_BUILD_DIR: path.join(dir, 'build'), VELMORANT_KIT_OUT: path.join(dir, 'out'),
    FAKE_SDK_LOG: path.join(dir, 'sdk.log') };
  delete env.AIR_SDK_HOME;
  delete env.FAKE_COMPC_FAILS;
  if (sdk !== 'none') {
    env.AIR_SDK_HOME = path.join(dir, 'sdk');
    fs.mkdirSync(path.join(env.AIR_SDK_HOME, 'bin'), { recursive: true });
  }
  if (sdk === 'fake') {
    for (const [tool, code] of [['compc', COMPC], ['adt', ADT]]) {
      fs.writeFileSync(path.join(env.AIR_SDK_HOME, 'bin', tool), `#!${process.execPath}\n${code}`, { mode: 0o755 });
    }
  }
  const dllBytes = {};
  for (const [folder, machine] of Object.entries(dlls)) {
    fs.mkdirSync(path.join(env.VELMORANT_BUILD_DIR, folder), { recursive: true });
    dllBytes[folder] = fakeDll(machine, folder);
    fs.writeFileSync(path.join(env.VELMORANT_BUILD_DIR, folder, 'VelmorantUtils.dll'), dllBytes[folder]);
  }
  const run = (extra = {}) => {
    const result = spawnSync('bash', [paths.packageScript], { env: { ...env, ...extra }, encoding: 'utf8' });
    const log = fs.existsSync(env.FAKE_SDK_LOG) ? fs.readFileSync(env.FAKE_SDK_LOG, 'utf8') : '';
    return { ...result, calls: log.split('\n').filter(Boolean).map((line) => JSON.parse(line)) };
  };
  return { dir, env, dllBytes, run };
}

test('refuses plainly, before running any tool, when something is missing', async (t) => {
  const cases = [
    ['no SDK and no DLLs', { sdk: 'none', dlls: {} },
      [/AIR_SDK_HOME is not set/, /missing \S*windows-x86\/VelmorantUtils\.dll/, /missing \S*windows-x64\/VelmorantUtils\.dll/]],
    ['an SDK folder without the tools', { sdk: 'empty' }, [/no compc in /, /no adt in /]],
    ['the two DLLs swapped', { dlls: { 'windows-x86': PE_X64, 'windows-x64': PE_X86 } },
      [/windows-x86\/VelmorantUtils\.dll is not a Windows-x86 DLL/, /windows-x64\/VelmorantUtils\.dll is not a Windows-x86-64 DLL/]],
  ];
  for (const [name, options, expected] of cases) {
    await t.test(name, () => {
      const result = workspace(options).run();
      assert.notEqual(result.status, 0, result.stderr);
      for (const pattern of expected) assert.match(result.stderr, pattern);
      assert.deepEqual(result.calls, []);
    });
  }
});

test('builds both SWCs and the ANE with the SDK\'s compc and adt', () => {
  const ws = workspace();
  const result = ws.run();
  assert.equal(result.status, 0, result.stderr);
  const out = ws.env.VELMORANT_KIT_OUT;
  const stage = path.join(out, 'stage');

  const compiles = result.calls.filter((c) => c.tool === 'compc').map((c) => c.args);
  const tree = (name) => path.join(paths.kitDir, 'actionscript', name);
  assert.deepEqual(compiles, [
    ['+configname=air', '-source-path', tree('src'), '-include-classes', CLASS, '-output', path.join(out, 'VelmorantUtils.swc')],
    ['+configname=air', '-source-path', tree('default'), '-include-classes', CLASS, '-output', path.join(stage, 'default.swc')],
  ]);

  const packaging = result.calls.filter((c) => c.tool === 'adt');
  assert.equal(packaging.length, 1);
  const { args, staged } = packaging[0];
  assert.deepEqual(args, [
    '-package', '-target', 'ane', path.join(out, 'VelmorantUtils.ane'), paths.descriptor,
    '-swc', path.join(out, 'VelmorantUtils.swc'),
    '-platform', 'Windows-x86', '-C', path.join(stage, 'Windows-x86'), 'library.swf', 'VelmorantUtils.dll',
    '-platform', 'Windows-x86-64', '-C', path.join(stage, 'Windows-x86-64'), 'library.swf', 'VelmorantUtils.dll',
    '-platform', 'default', '-C', path.join(stage, 'default'), 'library.swf',
  ]);
  const platforms = args.filter((a, i) => args[i - 1] === '-platform');
  assert.deepEqual(platforms.sort(), [...descriptor().platforms.keys()].sort());

  // Each platform gets its own DLL and the library.swf of the right tree.
  const swfFrom = (name) => sha(`swf from ${tree(name)}`);
  assert.deepEqual(staged, {
    [path.join(stage, 'Windows-x86', 'library.swf')]: swfFrom('src'),
    [path.join(stage, 'Windows-x86', 'VelmorantUtils.dll')]: sha(ws.dllBytes['windows-x86']),
    [path.join(stage, 'Windows-x86-64', 'library.swf')]: swfFrom('src'),
    [path.join(stage, 'Windows-x86-64', 'VelmorantUtils.dll')]: sha(ws.dllBytes['windows-x64']),
    [path.join(stage, 'default', 'library.swf')]: swfFrom('default'),
  });
  assert.match(result.stdout, /wrote .*VelmorantUtils\.ane/);
});

test('stops with an error, without packaging, when compc fails', () => {
  const ws = workspace();
  const result = ws.run({ FAKE_COMPC_FAILS: '1' });
  assert.notEqual(result.status, 0);
  assert.deepEqual(result.calls.map((c) => c.tool), ['compc']);
});
