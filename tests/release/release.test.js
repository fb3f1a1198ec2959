'use strict';
// scripts/release.sh as a user runs it, and its archive unpacked into an empty folder as a user gets it.
// Run by scripts/test.sh after both presets' suites, which leave each tree's Wine prefix made.
// VELMORANT_SKIP_WIN32=1 skips the 32-bit host, for machines where 32-bit Wine cannot run.
const test = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFile, spawnSync } = require('node:child_process');
const { paths, TABLE, WIDTHS, projectVersion } = require('../kit/lib/kit');
const { makeFakeSdk, readCalls } = require('../kit/lib/fake-sdk');

const { root } = paths;
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'velmorant-release-'));
process.on('exit', () => fs.rmSync(scratch, { recursive: true, force: true }));
const run = (command, args, options) => spawnSync(command, args, { encoding: 'utf8', ...options });
const sha = (file) => crypto.createHash('sha256').update(fs.readFileSync(file)).digest('hex');
const filesUnder = (dir) => fs.readdirSync(dir, { recursive: true }).filter((f) => fs.statSync(path.join(dir, f)).isFile());

// A checkout with changes of its own can only make a -dirty archive, and no clone has those changes.
const dirty = run('git', ['status', '--porcelain'], { cwd: root }).stdout !== '';
const name = `VelmorantUtils-${projectVersion()}${dirty ? '-dirty' : ''}`;
const releaseDir = path.join(root, 'build', 'release');
const made = run('sh', ['scripts/release.sh', ...(dirty ? ['--dirty'] : [])], { cwd: root });
assert.equal(made.status, 0, `scripts/release.sh failed:\n${made.stdout}${made.stderr}`);
const unpacked = path.join(scratch, 'unpacked');
const top = path.join(unpacked, name);
assert.equal(run('unzip', ['-q', path.join(releaseDir, `${name}.zip`), '-d', unpacked]).status, 0);

// The second archive is made in a fresh clone of the commit while the first one is checked.
const clone = path.join(scratch, 'clone');
const remade = dirty ? null : new Promise((resolve) => execFile('sh', ['-c',
  'git clone -q "$1" "$2" && cd "$2" && git checkout -q --detach "$3" && scripts/release.sh 2>&1',
  'sh', root, clone, run('git', ['rev-parse', 'HEAD'], { cwd: root }).stdout.trim()],
{ maxBuffer: 1 << 26 }, (error, stdout) => resolve({ error, stdout })));

test('is named for the project version, checked by SHA256SUMS, and its changelog\'s top release agrees', () => {
  assert.deepEqual(fs.readdirSync(releaseDir).sort(), ['SHA256SUMS', `${name}.zip`]);
  const check = run('sha256sum', ['--check', '--strict', 'SHA256SUMS'], { cwd: releaseDir });
  assert.equal(check.status, 0, check.stdout + check.stderr);
  const released = /^## \[(?!Unreleased\])([^\]]+)\]/m.exec(fs.readFileSync(path.join(top, 'CHANGELOG.md'), 'utf8'));
  assert.equal(released && released[1], projectVersion());
});

test('holds exactly the release layout, each binary of its width, only package.sh executable', () => {
  const kit = filesUnder(paths.kitDir).map((file) => path.join('kit', file));
  const binaries = WIDTHS.flatMap(({ platform, machine }) => [`${platform}/VelmorantUtils.dll`,
    `tools/${platform}/Adobe AIR.dll`, `tools/${platform}/velmorant-host.exe`].map((file) => ({ file, machine })));
  assert.deepEqual(fs.readdirSync(unpacked), [name]);
  assert.deepEqual(filesUnder(top).sort(),
    ['CHANGELOG.md', 'LICENSE', 'README.txt', ...kit, ...binaries.map((b) => b.file)].sort());
  for (const file of ['CHANGELOG.md', 'LICENSE', ...kit]) assert.equal(sha(path.join(top, file)), sha(path.join(root, file)), file);
  for (const { file, machine } of binaries) {
    const image = fs.readFileSync(path.join(top, file));
    assert.equal(image.readUInt16LE(image.readUInt32LE(0x3c) + 4), machine, file);
  }
  for (const file of filesUnder(top)) {
    assert.equal(fs.statSync(path.join(top, file)).mode & 0o777, file === 'kit/package.sh' ? 0o755 : 0o644, file);
  }
});

// The README's command, as a user types it in the archive's folder, with --list in front.
for (const { platform, preset } of WIDTHS) {
  const skip = preset === 'windows-x86' && process.env.VELMORANT_SKIP_WIN32 === '1'
    && 'VELMORANT_SKIP_WIN32=1: the 32-bit host is not run under Wine here';
  test(`the README's session on ${platform}, run from the archive under Wine, switches and restores`, { skip }, () => {
    const line = /^ *(\.\\tools\\Windows-x86\\velmorant-host\.exe .*)$/m.exec(fs.readFileSync(path.join(top, 'README.txt'), 'utf8'));
    assert.ok(line, 'README.txt shows no command that runs .\\tools\\Windows-x86\\velmorant-host.exe');
    const [program, ...args] = line[1].replaceAll('Windows-x86\\', `${platform}\\`).split(/ +/);
    const session = run(path.join(root, 'build', preset, 'wine-run'), [program.replaceAll('\\', '/'), '--list', ...args],
      { cwd: top, timeout: 120_000 });
    assert.equal(session.status, 0, session.stdout + session.stderr);
    assert.match(session.stdout.replaceAll('\r\n', '\n'), new RegExp(`^${[...TABLE,
      'as_setScreenResolution\\(800, 600\\) -> true',
      'system: display 800x600, 32 bpp, 60 Hz; keyboard speed \\d+',
      'as_restoreScreenResolution\\(\\) -> null',
      'system: display 1024x768, 32 bpp, 60 Hz; keyboard speed \\d+'].join('\n')}\n$`));
  });
}

test('the unpacked kit/package.sh packages the archive\'s own DLLs', () => {
  const sdk = makeFakeSdk(path.join(scratch, 'sdk'));
  const env = { ...process.env, ...sdk.env };
  delete env.VELMORANT_BUILD_DIR;
  delete env.VELMORANT_KIT_OUT;
  const packaged = run(path.join(top, 'kit', 'package.sh'), [], { cwd: top, env });
  assert.equal(packaged.status, 0, packaged.stdout + packaged.stderr);
  const adt = readCalls(sdk.log).filter((call) => call.tool === 'adt');
  assert.equal(adt.length, 1);
  for (const { platform } of WIDTHS) {
    const dll = path.join(platform, 'VelmorantUtils.dll');
    const staged = Object.entries(adt[0].staged).filter(([file]) => file.endsWith(path.sep + dll));
    assert.deepEqual(staged.map(([, hash]) => hash), [sha(path.join(top, dll))], dll);
  }
});

// The one check that the same commit makes the same bytes wherever it is built: a link time, a path or a
// clock in any file of the archive shows here, by the name of the file.
test('a fresh clone of the commit makes the same bytes', { skip: dirty && 'the checkout has uncommitted changes' }, async () => {
  const { error, stdout } = await remade;
  assert.ifError(error && new Error(`scripts/release.sh in a clone failed:\n${stdout}`));
  // Both archives unpacked afresh: the other tests have added to the first unpacked folder.
  const [first, again] = [releaseDir, path.join(clone, 'build', 'release')].map((dir, i) => {
    const into = path.join(scratch, `compare-${i}`);
    assert.equal(run('unzip', ['-q', path.join(dir, `${name}.zip`), '-d', into]).status, 0);
    return into;
  });
  const differ = [...new Set([...filesUnder(first), ...filesUnder(again)])].filter((file) =>
    !fs.existsSync(path.join(again, file)) || !fs.existsSync(path.join(first, file))
    || sha(path.join(again, file)) !== sha(path.join(first, file)));
  assert.deepEqual(differ, [], `made again in ${clone}, these files differ`);
  for (const file of [`${name}.zip`, 'SHA256SUMS']) {
    assert.ok(fs.readFileSync(path.join(clone, 'build', 'release', file)).equals(fs.readFileSync(path.join(releaseDir, file))),
      `${file} differs between ${root} and a clone in ${clone} (file times or order, as every file is the same)`);
  }
});
