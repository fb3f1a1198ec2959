'use strict';
// The release archive that the package tree made, unpacked into an empty folder as a user gets it; and the
// release made again by scripts/release.sh in a fresh clone of the commit, which must give the same bytes.
// Run by CTest in the package tree, after both Windows trees' suites, which leave each tree's Wine prefix made.
//   VELMORANT_RELEASE_DIR   where the archive is
//   VELMORANT_SESSIONS      the presets whose programs run here, comma-separated
//   VELMORANT_COMPC, VELMORANT_SWF_VERSION   the build's SWF compiler, and the SWF version of the namespace
const test = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');
const { execFile, spawnSync } = require('node:child_process');
const { paths, TABLE, WIDTHS, descriptor } = require('../kit/lib/kit');
const { makeFakeSdk } = require('./fake-adt');

const { root } = paths;
const env = (name) => process.env[name] || assert.fail(`${name} is not set: run this test through CTest`);
const releaseDir = env('VELMORANT_RELEASE_DIR');
const royale = path.dirname(env('VELMORANT_COMPC'));
const swfVersion = Number(env('VELMORANT_SWF_VERSION'));
const sessions = (process.env.VELMORANT_SESSIONS || '').split(',').filter(Boolean);
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'velmorant-release-'));
process.on('exit', () => fs.rmSync(scratch, { recursive: true, force: true }));
const run = (command, args, options) => spawnSync(command, args, { encoding: 'utf8', ...options });
const sha = (data) => crypto.createHash('sha256').update(data).digest('hex');
const filesUnder = (dir) => fs.readdirSync(dir, { recursive: true }).filter((f) => fs.statSync(path.join(dir, f)).isFile());
const EXECUTABLE = ['kit/package.sh', 'examples/resolution-picker/build.sh'];

// A checkout with changes of its own makes a -dirty archive, and no clone has those changes.
const dirty = run('git', ['status', '--porcelain'], { cwd: root }).stdout !== '';
const { id: extensionId, version } = descriptor();
const name = `VelmorantUtils-${version}${dirty ? '-dirty' : ''}`;
// The apm package keeps the name apm reads, <id>_<version>.airpackage, in a dirty release too.
const airpackage = `${extensionId}_${version}.airpackage`;
const unpacked = path.join(scratch, 'unpacked');
const top = path.join(unpacked, name);
assert.equal(run('unzip', ['-q', path.join(releaseDir, `${name}.zip`), '-d', unpacked]).status, 0, `no ${name}.zip`);

// The second release is made in a fresh clone of the commit while the first one is checked.
const clone = path.join(scratch, 'clone');
const remade = dirty ? null : new Promise((resolve) => execFile('sh', ['-c',
  'git clone -q "$1" "$2" && cd "$2" && git checkout -q --detach "$3" && scripts/release.sh 2>&1',
  'sh', root, clone, run('git', ['rev-parse', 'HEAD'], { cwd: root }).stdout.trim()],
{ maxBuffer: 1 << 26 }, (error, stdout) => resolve({ error, stdout })));

test('is named for the version, beside the apm package, both in SHA256SUMS; the changelog\'s top release agrees', () => {
  assert.deepEqual(fs.readdirSync(releaseDir).sort(), ['SHA256SUMS', `${name}.zip`, airpackage]);
  const check = run('sha256sum', ['--check', '--strict', 'SHA256SUMS'], { cwd: releaseDir });
  assert.equal(check.status, 0, check.stdout + check.stderr);
  assert.equal(check.stdout, `${name}.zip: OK\n${airpackage}: OK\n`);
  const released = /^## \[(?!Unreleased\])([^\]]+)\]/m.exec(fs.readFileSync(path.join(top, 'CHANGELOG.md'), 'utf8'));
  assert.equal(released && released[1], version);
  assert.match(fs.readFileSync(path.join(top, 'README.txt'), 'utf8'), new RegExp(`^VelmorantUtils ${version}\n`));
});

test('holds exactly the release layout, each binary of its width, only the two scripts executable', () => {
  const shipped = run('git', ['ls-files', 'kit/package.sh', 'kit/actionscript/src', 'kit/actionscript/default', 'examples'],
    { cwd: root }).stdout.split('\n').filter(Boolean);
  const binaries = WIDTHS.flatMap(({ platform, machine }) => [`${platform}/VelmorantUtils.dll`,
    `tools/${platform}/Adobe AIR.dll`, `tools/${platform}/velmorant-host.exe`].map((file) => ({ file, machine })));
  assert.deepEqual(fs.readdirSync(unpacked), [name]);
  assert.deepEqual(filesUnder(top).sort(),
    ['CHANGELOG.md', 'LICENSE', 'README.txt', 'VelmorantUtils.ane', airpackage, ...shipped,
      ...binaries.map((b) => b.file)].sort());
  for (const file of ['CHANGELOG.md', 'LICENSE', ...shipped]) {
    assert.equal(sha(fs.readFileSync(path.join(top, file))), sha(fs.readFileSync(path.join(root, file))), file);
  }
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
  const skip = !sessions.includes(preset) && `this machine does not run the ${preset} tree's programs`;
  test(`the README's session on ${platform}, run from the archive under Wine, switches and restores`, { skip }, () => {
    const line = /^ *(\.\\tools\\Windows-x86\\velmorant-host\.exe .* as_restoreScreenResolution system)$/m
      .exec(fs.readFileSync(path.join(top, 'README.txt'), 'utf8'));
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

// VelmorantUtils.ane as the AIR SDK's packager lays one out, in this order.
const ane = path.join(top, 'VelmorantUtils.ane');
const ANE_ENTRIES = ['mimetype', 'META-INF/ANE/extension.xml', 'catalog.xml', 'library.swf',
  'META-INF/ANE/default/library.swf',
  'META-INF/ANE/Windows-x86-64/library.swf', 'META-INF/ANE/Windows-x86-64/VelmorantUtils.dll',
  'META-INF/ANE/Windows-x86/library.swf', 'META-INF/ANE/Windows-x86/VelmorantUtils.dll'];
// Each entry of a zip file, in the central directory's order: its name, its compression method (0 stored,
// 8 deflated) and its content.
function entries(file) {
  const zip = fs.readFileSync(file);
  const end = zip.lastIndexOf(Buffer.from([0x50, 0x4b, 0x05, 0x06]));
  const found = [];
  for (let at = zip.readUInt32LE(end + 16), n = zip.readUInt16LE(end + 10); n > 0; n--) {
    const method = zip.readUInt16LE(at + 10);
    const size = zip.readUInt32LE(at + 20);
    const nameLength = zip.readUInt16LE(at + 28);
    const local = zip.readUInt32LE(at + 42);
    const start = local + 30 + zip.readUInt16LE(local + 26) + zip.readUInt16LE(local + 28);
    const raw = zip.subarray(start, start + size);
    found.push({ name: zip.toString('utf8', at + 46, at + 46 + nameLength), method,
      data: method === 0 ? raw : zlib.inflateRawSync(raw) });
    at += 46 + nameLength + zip.readUInt16LE(at + 30) + zip.readUInt16LE(at + 32); // past the extra field and comment
  }
  return found;
}
const aneEntries = entries(ane);
const swfdump = (file) => run(path.join(royale, 'swfdump'), ['-abc', file]).stdout;
const defined = (dump) => [...dump.matchAll(/^(?:public |internal |final |dynamic )*(?:class|interface) (\S+)/gm)].map((m) => m[1]);

test('VelmorantUtils.ane: the packager\'s order, the SWFs and the mimetype stored, the build\'s descriptor and the archive\'s DLLs', () => {
  const bytes = fs.readFileSync(ane);
  assert.equal(bytes.toString('latin1', 30, 38), 'mimetype', 'the mimetype is not the first local entry');
  assert.deepEqual(aneEntries.map((e) => e.name), ANE_ENTRIES);
  for (const { name: entryName, method } of aneEntries) {
    const stored = entryName === 'mimetype' || entryName.endsWith('.swf');
    assert.equal(method, stored ? 0 : 8, `${entryName}: compression method ${method}`);
  }
  const data = Object.fromEntries(aneEntries.map((e) => [e.name, e.data]));
  assert.equal(data.mimetype.toString(), 'application/vnd.adobe.air-native-extension-package+zip');
  assert.ok(data['META-INF/ANE/extension.xml'].equals(fs.readFileSync(paths.descriptor)));
  for (const { platform } of WIDTHS) {
    const dll = `${platform}/VelmorantUtils.dll`;
    assert.ok(data[`META-INF/ANE/${dll}`].equals(fs.readFileSync(path.join(top, dll))), dll);
  }
});

test('its descriptor: namespace 33.1, nothing before the root element but the XML declaration, the project\'s version', () => {
  const text = fs.readFileSync(paths.descriptor, 'utf8');
  assert.match(text, /^<\?xml [^?]*\?>\s*<extension /);
  const { namespace, id, platforms } = descriptor(text);
  assert.equal(namespace, 'http://ns.adobe.com/air/extension/33.1');
  assert.equal(id, 'com.velmorant.VelmorantUtils');
  assert.deepEqual([...platforms.keys()].sort(), ['Windows-x86', 'Windows-x86-64', 'default']);
});

// The header's version byte of each library.swf among a package's entries, against the highest the namespace
// allows.
function checkSwfVersions(packaged) {
  for (const { name: entryName, data } of packaged.filter((e) => e.name.endsWith('.swf'))) {
    assert.ok(data[3] <= swfVersion, `${entryName} is SWF ${data[3]}, above the namespace's ${swfVersion}`);
  }
}

test('each library.swf has the namespace\'s SWF version and defines only the kit\'s class', () => {
  checkSwfVersions(aneEntries);
  const dumps = new Map(); // by content: the Windows class's three copies are decoded once
  for (const { name: entryName, data } of aneEntries.filter((e) => e.name.endsWith('.swf'))) {
    if (!dumps.has(sha(data))) {
      fs.writeFileSync(path.join(scratch, `${sha(data)}.swf`), data);
      dumps.set(sha(data), swfdump(path.join(scratch, `${sha(data)}.swf`)));
    }
    const dump = dumps.get(sha(data));
    assert.match(dump, new RegExp(`<swf [^>]*version="${swfVersion}"`), entryName);
    assert.deepEqual(defined(dump), ['com.velmorant.utils::VelmorantUtils'], entryName);
    // The Windows class opens the runtime's context; the default one never does.
    assert.equal(dump.includes('flash.external::ExtensionContext'), !entryName.includes('/default/'), entryName);
  }
  // A library.swf above the namespace's version cannot ship: one planted in a copy is refused.
  const planted = path.join(scratch, 'planted');
  assert.equal(run('unzip', ['-q', ane, '-d', planted]).status, 0);
  const swf = path.join(planted, 'META-INF', 'ANE', 'Windows-x86', 'library.swf');
  const bytes = fs.readFileSync(swf);
  bytes[3] = swfVersion + 1;
  fs.writeFileSync(swf, bytes);
  const copy = path.join(scratch, 'planted.ane');
  assert.equal(run('zip', ['-q', '-r', copy, '.'], { cwd: planted }).status, 0);
  assert.throws(() => checkSwfVersions(entries(copy)), /Windows-x86\/library\.swf is SWF \d+, above the namespace's/);
});

test('the sample application compiles against it with SWF version 44, and its descriptor asks for the extension', () => {
  const example = path.join(top, 'examples', 'resolution-picker');
  const declarations = path.join(root, 'kit', 'actionscript', 'runtime');
  const externs = filesUnder(declarations).filter((f) => f.endsWith('.as')).map((f) => f.slice(0, -3).split(path.sep).join('.'));
  const swf = path.join(scratch, 'ResolutionPicker.swf');
  const built = run(path.join(royale, 'mxmlc'), ['-compiler.targets=SWF', '-swf-version=44', '-source-path',
    path.join(example, 'src'), declarations, '-externs', ...externs, `-external-library-path+=${ane}`,
    '-output', swf, path.join(example, 'src', 'ResolutionPicker.as')]);
  assert.equal(built.status, 0, built.stdout + built.stderr);
  assert.deepEqual(defined(swfdump(swf)), ['ResolutionPicker'], 'the class is the extension\'s, not the application\'s');
  const app = fs.readFileSync(path.join(example, 'ResolutionPicker-app.xml'), 'utf8');
  assert.match(app, /^<\?xml [^?]*\?>\s*<application xmlns="http:\/\/ns\.adobe\.com\/air\/application\/33\.1">/);
  assert.match(app, /<supportedProfiles>extendedDesktop<\/supportedProfiles>/);
  assert.match(app, /<extensions>\s*<extensionID>com\.velmorant\.VelmorantUtils<\/extensionID>\s*<\/extensions>/);
});

// The apm package as apm's build reads one (apm itself runs on the AIR runtime, which is not here): the files it
// requires or takes by their exact names, package.json's fields and their rules, and the extension it installs.
const APM_ID = /^([A-Za-z][A-Za-z\d_]*\.)*[A-Za-z][A-Za-z\d_]*$/;
const [NUMBER, PRE] = ['(0|[1-9]\\d*)', '(0|[1-9]\\d*|\\d*[A-Za-z-][\\dA-Za-z-]*)'];
const SEMVER = new RegExp(`^${NUMBER}\\.${NUMBER}\\.${NUMBER}(-${PRE}(\\.${PRE})*)?`
  + '(\\+[\\dA-Za-z-]+(\\.[\\dA-Za-z-]+)*)?$');

test('the apm package: apm\'s rules, the .ane\'s id and version, the shipped .ane and the project\'s own files', () => {
  const packaged = Object.fromEntries(entries(path.join(top, airpackage)).map((e) => [e.name, e.data]));
  assert.deepEqual(Object.keys(packaged).sort(),
    ['CHANGELOG.md', 'LICENSE.md', 'README.md', 'ane/VelmorantUtils.ane', 'package.json']);
  const PROJECT_FILES = { 'README.md': 'README.md', 'CHANGELOG.md': 'CHANGELOG.md', 'LICENSE.md': 'LICENSE' };
  for (const [entry, file] of Object.entries(PROJECT_FILES)) {
    assert.ok(packaged[entry].equals(fs.readFileSync(path.join(root, file))), `${entry} is not the project's ${file}`);
  }
  assert.ok(packaged['ane/VelmorantUtils.ane'].equals(fs.readFileSync(ane)), 'its .ane is not the shipped one');
  assert.ok(fs.readFileSync(path.join(releaseDir, airpackage)).equals(fs.readFileSync(path.join(top, airpackage))),
    'the package beside the archive is not the one in it');

  const json = JSON.parse(packaged['package.json']);
  const own = aneEntries.find((e) => e.name === 'META-INF/ANE/extension.xml').data.toString();
  const { id, version: versionNumber } = descriptor(own);
  assert.ok(json.id.length >= 6 && APM_ID.test(json.id), `apm refuses the id ${json.id}`);
  assert.equal(json.id, id, 'apm writes package.json\'s id into the application\'s descriptor');
  assert.match(json.version, SEMVER);
  assert.equal(json.version, versionNumber);
  assert.ok(typeof json.name === 'string' && json.name && typeof json.description === 'string' && json.description,
    'an empty name or description');
  const { type, status, platforms, dependencies, parameters, license, publishedAt } = json;
  assert.deepEqual({ type, status, platforms, dependencies, parameters },
    { type: 'ane', status: 'release', platforms: ['windows'], dependencies: [], parameters: [] });
  assert.deepEqual(Object.keys(license).sort(), ['public', 'type', 'url']);
  const committed = Number(run('git', ['log', '-1', '--format=%ct'], { cwd: root }).stdout) * 1000;
  assert.equal(publishedAt, new Date(committed).toISOString(), 'publishedAt is not the commit\'s time');
  assert.deepEqual(['url', 'docUrl', 'sourceUrl'].filter((key) => key in json), [], 'a url with no place to point to');
});

test('scripts/make-ane.py names a missing DLL or one of the wrong width, and writes nothing', async (t) => {
  const built = path.dirname(paths.kitSwf);
  const dlls = Object.fromEntries(WIDTHS.map(({ platform }) => [platform, path.join(top, platform, 'VelmorantUtils.dll')]));
  const CASES = [
    ['a DLL missing', { ...dlls, 'Windows-x86-64': path.join(scratch, 'none.dll') }, /missing \S*none\.dll/],
    ['the DLLs swapped', { 'Windows-x86': dlls['Windows-x86-64'], 'Windows-x86-64': dlls['Windows-x86'] },
      /Windows-x86-64\/VelmorantUtils\.dll is not a Windows-x86 DLL/],
  ];
  for (const [caseName, natives, pattern] of CASES) {
    await t.test(caseName, () => {
      const out = fs.mkdtempSync(path.join(scratch, 'ane-'));
      const made = run('/usr/bin/python3', [path.join(root, 'scripts', 'make-ane.py'), paths.descriptor, built,
        path.join(path.dirname(built), 'default'), path.join(out, 'VelmorantUtils.ane'),
        ...Object.entries(natives).map(([platform, dll]) => `${platform}=${dll}`)]);
      assert.equal(made.status, 1, made.stderr);
      assert.match(made.stderr, pattern);
      assert.deepEqual(fs.readdirSync(out), []);
    });
  }
});

test('the sample\'s build.sh names what is missing without an AIR SDK', () => {
  const script = path.join(top, 'examples', 'resolution-picker', 'build.sh');
  const bare = { ...process.env };
  delete bare.AIR_SDK_HOME;
  assert.match(run(script, ['compile'], { env: bare }).stderr, /AIR_SDK_HOME is not set/);
  const sdk = fs.mkdtempSync(path.join(scratch, 'empty-sdk-'));
  assert.match(run(script, ['compile'], { env: { ...bare, AIR_SDK_HOME: sdk } }).stderr, /no amxmlc in /);
});

test('the unpacked kit/package.sh hands adt exactly the ready .ane\'s entries, and names what is missing', () => {
  const script = path.join(top, 'kit', 'package.sh');
  const bare = { ...process.env };
  delete bare.AIR_SDK_HOME;
  const refused = run(script, [path.join(scratch, 'none.ane')], { env: bare });
  assert.notEqual(refused.status, 0);
  assert.match(refused.stderr, /AIR_SDK_HOME is not set/);
  assert.match(refused.stderr, /missing \S*none\.ane/);

  const sdk = makeFakeSdk(path.join(scratch, 'sdk'));
  const packaged = run(script, [], { cwd: top, env: { ...bare, AIR_SDK_HOME: sdk.home } });
  assert.equal(packaged.status, 0, packaged.stdout + packaged.stderr);
  assert.equal(packaged.stdout, `package.sh: wrote ${path.join(top, 'ane', 'VelmorantUtils.ane')}\n`);
  const [adt, ...more] = sdk.calls();
  assert.deepEqual(more, []);
  const ready = Object.fromEntries(aneEntries.filter((e) => e.name !== 'mimetype').map((e) => [e.name, sha(e.data)]));
  assert.deepEqual(adt.entries, ready);
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
    || sha(fs.readFileSync(path.join(again, file))) !== sha(fs.readFileSync(path.join(first, file))));
  assert.deepEqual(differ, [], `made again in ${clone}, these files differ`);
  for (const file of [`${name}.zip`, airpackage, 'SHA256SUMS']) {
    assert.ok(fs.readFileSync(path.join(clone, 'build', 'release', file)).equals(fs.readFileSync(path.join(releaseDir, file))),
      `${file} differs between ${root} and a clone in ${clone} (file times or order, as every file is the same)`);
  }
});
