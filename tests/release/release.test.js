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
const { paths, TABLE, WIDTHS, projectVersion, descriptor } = require('../kit/lib/kit');
const { makeFakeSdk, readCalls } = require('../kit/lib/fake-sdk');

const { root } = paths;
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'velmorant-release-'));
process.on('exit', () => fs.rmSync(scratch, { recursive: true, force: true }));
const run = (command, args, options) => spawnSync(command, args, { encoding: 'utf8', ...options });
const sha = (file) => crypto.createHash('sha256').update(fs.readFileSync(file)).digest('hex');
const filesUnder = (dir) => fs.readdirSync(dir, { recursive: true }).filter((f) => fs.statSync(path.join(dir, f)).isFile());
const royale = path.join(paths.testsDir, 'node_modules', '@apache-royale', 'royale-js', 'royale-asjs', 'bin');
const EXECUTABLE = ['kit/package.sh', 'examples/resolution-picker/build.sh'];

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

test('holds exactly the release layout, each binary of its width, only the two scripts executable', () => {
  const kit = run('git', ['ls-files', 'kit', 'examples'], { cwd: root }).stdout.split('\n').filter(Boolean);
  const binaries = WIDTHS.flatMap(({ platform, machine }) => [`${platform}/VelmorantUtils.dll`,
    `tools/${platform}/Adobe AIR.dll`, `tools/${platform}/velmorant-host.exe`].map((file) => ({ file, machine })));
  assert.deepEqual(fs.readdirSync(unpacked), [name]);
  assert.deepEqual(filesUnder(top).sort(),
    ['CHANGELOG.md', 'LICENSE', 'README.txt', 'VelmorantUtils.ane', ...kit, ...binaries.map((b) => b.file)].sort());
  for (const file of ['CHANGELOG.md', 'LICENSE', ...kit]) assert.equal(sha(path.join(top, file)), sha(path.join(root, file)), file);
  for (const { file, machine } of binaries) {
    const image = fs.readFileSync(path.join(top, file));
    assert.equal(image.readUInt16LE(image.readUInt32LE(0x3c) + 4), machine, file);
  }
  for (const file of filesUnder(top)) {
    assert.equal(fs.statSync(path.join(top, file)).mode & 0o777, EXECUTABLE.includes(file) ? 0o755 : 0o644, file);
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

// VelmorantUtils.ane as adt lays out an unsigned extension, in this order.
const ane = path.join(top, 'VelmorantUtils.ane');
const ANE_ENTRIES = ['mimetype', 'catalog.xml', 'library.swf', 'META-INF/ANE/extension.xml',
  'META-INF/ANE/Windows-x86/library.swf', 'META-INF/ANE/Windows-x86/VelmorantUtils.dll',
  'META-INF/ANE/Windows-x86-64/library.swf', 'META-INF/ANE/Windows-x86-64/VelmorantUtils.dll',
  'META-INF/ANE/default/library.swf'];
const entries = () => run('unzip', ['-Z1', ane]).stdout.split('\n').filter(Boolean);
const entry = (name) => spawnSync('unzip', ['-p', ane, name]).stdout;
const swfdump = (file) => run(path.join(royale, 'swfdump'), ['-abc', file]).stdout;
const defined = (dump) => [...dump.matchAll(/^(?:public |internal |final |dynamic )*(?:class|interface) (\S+)/gm)].map((m) => m[1]);
const declarations = [path.join(root, 'scripts', 'ane'), path.join(__dirname, 'as')];

test('VelmorantUtils.ane: the mimetype first and stored, adt\'s layout, the kit\'s descriptor and the archive\'s DLLs', () => {
  const bytes = fs.readFileSync(ane);
  // The first local header: its signature, method 0 (stored), the name, then the content itself.
  const [method, size, nameLength, extra] = [8, 18, 26, 28].map((at) => (at === 18 ? bytes.readUInt32LE(at) : bytes.readUInt16LE(at)));
  assert.equal(bytes.readUInt32LE(0), 0x04034b50);
  assert.equal(bytes.toString('latin1', 30, 30 + nameLength), 'mimetype');
  assert.equal(method, 0, 'the mimetype is compressed');
  assert.equal(bytes.toString('latin1', 30 + nameLength + extra, 30 + nameLength + extra + size),
    'application/vnd.adobe.air-native-extension-package+zip');
  assert.deepEqual(entries(), ANE_ENTRIES);
  assert.ok(entry('META-INF/ANE/extension.xml').equals(fs.readFileSync(paths.descriptor)));
  for (const { platform } of WIDTHS) {
    const dll = `${platform}/VelmorantUtils.dll`;
    assert.ok(entry(`META-INF/ANE/${dll}`).equals(fs.readFileSync(path.join(top, dll))), dll);
  }
});

test('each library.swf in it has the namespace\'s SWF version and defines only the kit\'s class', () => {
  const version = /\/extension\/(\d+)\.\d+$/.exec(descriptor().namespace)[1];
  const dumps = new Map(); // by content: the Windows class's three copies are decoded once
  for (const name of ANE_ENTRIES.filter((e) => e.endsWith('library.swf'))) {
    const swf = entry(name);
    const key = crypto.createHash('sha256').update(swf).digest('hex');
    if (!dumps.has(key)) {
      fs.writeFileSync(path.join(scratch, `${key}.swf`), swf);
      dumps.set(key, swfdump(path.join(scratch, `${key}.swf`)));
    }
    const dump = dumps.get(key);
    assert.match(dump, new RegExp(`<swf [^>]*version="${version}"`), name);
    assert.deepEqual(defined(dump), ['com.velmorant.utils::VelmorantUtils'], name);
    // The Windows class opens the runtime's context; the default one never does.
    assert.equal(dump.includes('flash.external::ExtensionContext'), !name.includes('/default/'), name);
  }
});

test('the sample application compiles against it, and its descriptor asks for the extension', () => {
  const example = path.join(top, 'examples', 'resolution-picker');
  const externs = declarations.flatMap((dir) => filesUnder(dir).filter((f) => f.endsWith('.as'))
    .map((f) => f.slice(0, -3).split(path.sep).join('.')));
  const swf = path.join(scratch, 'ResolutionPicker.swf');
  const built = run(path.join(royale, 'mxmlc'), ['-compiler.targets=SWF', '-swf-version=50', '-source-path',
    path.join(example, 'src'), ...declarations, '-externs', ...externs, `-external-library-path+=${ane}`,
    '-output', swf, path.join(example, 'src', 'ResolutionPicker.as')]);
  assert.equal(built.status, 0, built.stdout + built.stderr);
  assert.deepEqual(defined(swfdump(swf)), ['ResolutionPicker'], 'the class is the extension\'s, not the application\'s');
  const app = fs.readFileSync(path.join(example, 'ResolutionPicker-app.xml'), 'utf8');
  const major = (namespace) => Number(/\/(\d+)\.\d+"?$/.exec(namespace)[1]);
  assert.ok(major(/<application xmlns="([^"]+)"/.exec(app)[1]) >= major(descriptor().namespace), 'namespace');
  assert.match(app, /<supportedProfiles>extendedDesktop<\/supportedProfiles>/);
  assert.match(app, new RegExp(`<extensions>\\s*<extensionID>${descriptor().id}</extensionID>\\s*</extensions>`));
});

test('scripts/make-ane.py names a missing DLL or one of the wrong width, and writes nothing', async (t) => {
  const CASES = [
    ['a DLL missing', (dir) => fs.rmSync(path.join(dir, 'Windows-x86-64', 'VelmorantUtils.dll')),
      /missing \S*Windows-x86-64\/VelmorantUtils\.dll/],
    ['the DLLs swapped', (dir) => WIDTHS.map((w) => w.platform).forEach((platform, i, both) =>
      fs.copyFileSync(path.join(top, both[1 - i], 'VelmorantUtils.dll'), path.join(dir, platform, 'VelmorantUtils.dll'))),
    /Windows-x86\/VelmorantUtils\.dll is not a Windows-x86 DLL/],
  ];
  for (const [name, arrange, pattern] of CASES) {
    await t.test(name, () => {
      const dir = fs.mkdtempSync(path.join(scratch, 'dlls-'));
      for (const { platform } of WIDTHS) fs.cpSync(path.join(top, platform), path.join(dir, platform), { recursive: true });
      arrange(dir);
      const out = fs.mkdtempSync(path.join(scratch, 'ane-'));
      const made = run('/usr/bin/python3', [path.join(root, 'scripts', 'make-ane.py'), path.join(top, 'kit'), dir,
        path.join(out, 'VelmorantUtils.ane')]);
      assert.equal(made.status, 1, made.stderr);
      assert.match(made.stderr, pattern);
      assert.deepEqual(fs.readdirSync(out), []);
    });
  }
});

test('the sample\'s build.sh names what is missing without an AIR SDK', () => {
  const script = path.join(top, 'examples', 'resolution-picker', 'build.sh');
  const env = { ...process.env };
  delete env.AIR_SDK_HOME;
  assert.match(run(script, ['compile'], { env }).stderr, /AIR_SDK_HOME is not set/);
  const sdk = fs.mkdtempSync(path.join(scratch, 'empty-sdk-'));
  assert.match(run(script, ['compile'], { env: { ...env, AIR_SDK_HOME: sdk } }).stderr, /no amxmlc in /);
});

test('the unpacked kit/package.sh packages the archive\'s own DLLs, into the entries of the ready ANE', () => {
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
  assert.deepEqual([...adt[0].entries].sort(), [...ANE_ENTRIES].sort());
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
