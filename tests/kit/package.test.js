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
const { paths, descriptor, WIDTHS } = require('./lib/kit');
const { makeFakeSdk, readCalls } = require('./lib/fake-sdk');

const CLASS = 'com.velmorant.utils.VelmorantUtils';
const [X86, X64] = WIDTHS;
const MACHINES = Object.fromEntries(WIDTHS.map((w) => [w.preset, w.machine]));
const missingDll = (w) => new RegExp(`missing \\S*${w.preset}/VelmorantUtils\\.dll`);
const notItsWidth = (w) => new RegExp(`${w.preset}/VelmorantUtils\\.dll is not a ${w.platform} DLL`);

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

// adt takes a library up to the SWF version the descriptor's namespace
// allows: from 50.0 on, the namespace's major number.
const swfVersion = () => /\/extension\/(\d+)\.\d+$/.exec(descriptor().namespace)[1];

const sha = (data) => crypto.createHash('sha256').update(data).digest('hex');

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'velmorant-package-'));
process.on('exit', () => fs.rmSync(scratch, { recursive: true, force: true }));

// sdk: 'fake' (recording tools), 'empty' (a folder without them) or 'none'.
function workspace({ sdk = 'fake', dlls = MACHINES } = {}) {
  const dir = fs.mkdtempSync(path.join(scratch, 'run-'));
  const env = { ...process.env, VELMORANT_BUILD_DIR: path.join(dir, 'build'), VELMORANT_KIT_OUT: path.join(dir, 'out') };
  delete env.AIR_SDK_HOME;
  delete env.FAKE_COMPC_FAILS;
  let log = path.join(dir, 'no-sdk.log');
  if (sdk === 'fake') {
    const fake = makeFakeSdk(path.join(dir, 'sdk'));
    Object.assign(env, fake.env);
    log = fake.log;
  } else if (sdk === 'empty') {
    env.AIR_SDK_HOME = path.join(dir, 'sdk');
    fs.mkdirSync(path.join(env.AIR_SDK_HOME, 'bin'), { recursive: true });
  }
  const dllBytes = {};
  for (const [folder, machine] of Object.entries(dlls)) {
    fs.mkdirSync(path.join(env.VELMORANT_BUILD_DIR, folder), { recursive: true });
    dllBytes[folder] = fakeDll(machine, folder);
    fs.writeFileSync(path.join(env.VELMORANT_BUILD_DIR, folder, 'VelmorantUtils.dll'), dllBytes[folder]);
  }
  const run = (extra = {}) => {
    const result = spawnSync('bash', [paths.packageScript], { env: { ...env, ...extra }, encoding: 'utf8' });
    return { ...result, calls: readCalls(log) };
  };
  return { dir, env, dllBytes, run };
}

test('refuses plainly, before running any tool, when something is missing', async (t) => {
  const cases = [
    ['no SDK and no DLLs', { sdk: 'none', dlls: {} },
      [/AIR_SDK_HOME is not set/, ...WIDTHS.map(missingDll)]],
    ['an SDK folder without the tools', { sdk: 'empty' }, [/no compc in /, /no adt in /]],
    ['the two DLLs swapped', { dlls: { [X86.preset]: X64.machine, [X64.preset]: X86.machine } },
      WIDTHS.map(notItsWidth)],
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
  const packaging = result.calls.filter((c) => c.tool === 'adt');
  assert.equal(packaging.length, 1);
  const { args, staged } = packaging[0];
  // A temporary folder, gone afterwards: nothing but the two files is left beside them.
  const stage = path.dirname(args[args.indexOf('-C') + 1]);
  assert.ok(!fs.existsSync(stage), `${stage} is left behind`);
  assert.deepEqual(fs.readdirSync(out).sort(), ['VelmorantUtils.ane', 'VelmorantUtils.swc']);

  const compiles = result.calls.filter((c) => c.tool === 'compc').map((c) => c.args);
  const tree = (name) => path.join(paths.kitDir, 'actionscript', name);
  const swf = `-swf-version=${swfVersion()}`;
  assert.deepEqual(compiles, [
    ['+configname=air', swf, '-source-path', tree('src'), '-include-classes', CLASS, '-output', path.join(out, 'VelmorantUtils.swc')],
    ['+configname=air', swf, '-source-path', tree('default'), '-include-classes', CLASS, '-output', path.join(stage, 'default.swc')],
  ]);

  assert.deepEqual(args, [
    '-package', '-target', 'ane', path.join(out, 'VelmorantUtils.ane'), paths.descriptor,
    '-swc', path.join(out, 'VelmorantUtils.swc'),
    ...WIDTHS.flatMap(({ platform }) => ['-platform', platform, '-C', path.join(stage, platform), 'library.swf', 'VelmorantUtils.dll']),
    '-platform', 'default', '-C', path.join(stage, 'default'), 'library.swf',
  ]);
  const platforms = args.filter((a, i) => args[i - 1] === '-platform');
  assert.deepEqual(platforms.sort(), [...descriptor().platforms.keys()].sort());

  // Each platform gets its own DLL and the library.swf of the right tree.
  const swfFrom = (name) => sha(`swf from ${tree(name)}`);
  assert.deepEqual(staged, Object.fromEntries([...WIDTHS.flatMap(({ preset, platform }) => [
    [path.join(stage, platform, 'library.swf'), swfFrom('src')],
    [path.join(stage, platform, 'VelmorantUtils.dll'), sha(ws.dllBytes[preset])]]),
  [path.join(stage, 'default', 'library.swf'), swfFrom('default')]]));
  assert.match(result.stdout, /wrote .*VelmorantUtils\.ane/);
});

test('stops with an error, without packaging, when compc fails', () => {
  const ws = workspace();
  const result = ws.run({ FAKE_COMPC_FAILS: '1' });
  assert.notEqual(result.status, 0);
  assert.deepEqual(result.calls.map((c) => c.tool), ['compc']);
});

// The kit copied as it lies in each layout, run with no folder named: the
// DLLs must come from beside it and the output go where its header says.
test('finds the DLLs and writes its output by itself, in the repository and in the release archive', async (t) => {
  const layouts = [
    ['the repository', 'VelmorantUtils', Object.fromEntries(WIDTHS.map((w) => [w.preset, `build/${w.preset}`])), 'build/kit'],
    ['the release archive', 'VelmorantUtils-1.0.0', Object.fromEntries(WIDTHS.map((w) => [w.preset, w.platform])), 'ane'],
  ];
  for (const [name, top, dllFolders, outFolder] of layouts) {
    await t.test(name, () => {
      const root = path.join(fs.mkdtempSync(path.join(scratch, 'layout-')), top);
      fs.cpSync(paths.kitDir, path.join(root, 'kit'), { recursive: true });
      const sdk = makeFakeSdk(path.join(root, '..', 'sdk'));
      const bytes = {};
      for (const [preset, folder] of Object.entries(dllFolders)) {
        bytes[preset] = fakeDll(MACHINES[preset], preset);
        fs.mkdirSync(path.join(root, folder), { recursive: true });
        fs.writeFileSync(path.join(root, folder, 'VelmorantUtils.dll'), bytes[preset]);
      }
      const env = { ...process.env, ...sdk.env };
      delete env.VELMORANT_BUILD_DIR;
      delete env.VELMORANT_KIT_OUT;
      const result = spawnSync('bash', [path.join(root, 'kit', 'package.sh')], { env, encoding: 'utf8' });
      assert.equal(result.status, 0, result.stderr);

      const out = path.join(root, outFolder);
      const file = (f) => path.join(out, f);
      assert.equal(result.stdout, `package.sh: wrote ${file('VelmorantUtils.swc')} and ${file('VelmorantUtils.ane')}\n`);
      assert.ok(fs.existsSync(file('VelmorantUtils.ane')));
      const { staged } = readCalls(sdk.log).find((c) => c.tool === 'adt');
      const dll = (platform) => Object.entries(staged).find(([f]) => f.endsWith(path.join(platform, 'VelmorantUtils.dll')))[1];
      for (const { preset, platform } of WIDTHS) assert.equal(dll(platform), sha(bytes[preset]), platform);
    });
  }
});
