'use strict';
// Compiles the kit's ActionScript with Apache Royale's asnodec into
// JavaScript that Node runs, and loads the result.
//
// Two trees: "main", the shipped Windows class, and "default", the class for
// every other platform. Each is built beside the runtime's stand-ins
// (tests/kit/as/fake) and a harness that names the classes. A build is kept
// while its inputs hash the same, so only the first test to need it pays.
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn, spawnSync } = require('node:child_process');
const { paths } = require('./kit');

const asDir = path.join(paths.testsDir, 'as');
const harness = path.join(asDir, 'harness', 'KitHarness.as');
const royaleDir = path.join(paths.testsDir, 'node_modules', '@apache-royale', 'royale-js');
const asnodec = path.join(paths.testsDir, 'node_modules', '.bin', 'asnodec');

const TREES = {
  main: [path.join(paths.kitDir, 'actionscript', 'src'), path.join(asDir, 'fake'), path.join(asDir, 'harness')],
  default: [path.join(paths.kitDir, 'actionscript', 'default'), path.join(asDir, 'fake'), path.join(asDir, 'harness')],
};

const outRoot = process.env.VELMORANT_KIT_OUT_DIR || path.join(os.tmpdir(), 'velmorant-kit-royale');

function outDir(tree) {
  return path.join(outRoot, tree);
}

function entry(tree) {
  return path.join(outDir(tree), 'bin', 'js-debug', 'index.js');
}

function listSources(dir) {
  return fs.readdirSync(dir, { withFileTypes: true, recursive: true })
    .filter((e) => e.isFile() && e.name.endsWith('.as'))
    .map((e) => path.join(e.parentPath || e.path, e.name))
    .sort();
}

function inputsHash(tree) {
  const hash = crypto.createHash('sha256');
  hash.update(fs.readFileSync(path.join(royaleDir, 'package.json')));
  for (const dir of TREES[tree]) {
    for (const file of listSources(dir)) {
      hash.update(path.relative(paths.root, file)).update('\0').update(fs.readFileSync(file)).update('\0');
    }
  }
  return hash.digest('hex');
}

function checkTools() {
  if (!fs.existsSync(asnodec)) {
    throw new Error(`Apache Royale is not installed (${asnodec} is missing): run scripts/install-kit-tools.sh`);
  }
  const java = spawnSync('java', ['-version'], { encoding: 'utf8' });
  if (java.error) throw new Error('java is not on PATH; Royale\'s compiler needs it: run scripts/install-kit-tools.sh');
}

// "/abs/File.as(12): col: 5 Warning: text" as written by the compiler.
function parseDiagnostics(text) {
  const found = [];
  const pattern = /^(.+?)\((\d+)\): col: (\d+) (Error|Warning): (.*)$/gm;
  for (const m of text.matchAll(pattern)) {
    found.push({ file: m[1], line: Number(m[2]), column: Number(m[3]), severity: m[4].toLowerCase(), message: m[5] });
  }
  return found;
}

function isOurs(file) {
  const relative = path.relative(paths.root, path.resolve(file));
  return !relative.startsWith('..') && !path.isAbsolute(relative);
}

// Always compiles afresh; resolves with the compiler's verdict.
async function compile(tree) {
  checkTools();
  const out = outDir(tree);
  fs.rmSync(out, { recursive: true, force: true });
  fs.mkdirSync(out, { recursive: true });
  const args = ['-debug=true', '-source-path', ...TREES[tree], '-output', out, harness];
  return new Promise((resolve, reject) => {
    const child = spawn(asnodec, args, { stdio: ['ignore', 'pipe', 'pipe'] });
    let log = '';
    child.stdout.on('data', (d) => { log += d; });
    child.stderr.on('data', (d) => { log += d; });
    child.on('error', reject);
    child.on('close', (status) => {
      const diagnostics = parseDiagnostics(log);
      const built = status === 0 && fs.existsSync(entry(tree));
      if (built) fs.writeFileSync(path.join(out, 'inputs.sha256'), inputsHash(tree));
      resolve({ tree, status, built, log, diagnostics });
    });
  });
}

function describeFailure(result) {
  const shown = result.diagnostics.length
    ? result.diagnostics.map((d) => `${d.file}:${d.line}:${d.column}: ${d.severity}: ${d.message}`).join('\n')
    : result.log.split('\n').slice(-20).join('\n');
  return `asnodec failed on the ${result.tree} tree (exit ${result.status}):\n${shown}`;
}

function isCurrent(tree) {
  try {
    return fs.readFileSync(path.join(outDir(tree), 'inputs.sha256'), 'utf8') === inputsHash(tree);
  } catch {
    return false;
  }
}

async function ensureBuilt(tree) {
  if (isCurrent(tree)) return entry(tree);
  const result = await compile(tree);
  if (!result.built) throw new Error(describeFailure(result));
  return entry(tree);
}

// Loads a build into this process. Royale's output declares its classes as
// globals through Closure's loader, so one process holds one tree.
function load(indexJs) {
  require(indexJs);
  return {
    VelmorantUtils: globalThis.com.velmorant.utils.VelmorantUtils,
    ExtensionContext: globalThis.flash.external.ExtensionContext,
    NativeApplication: globalThis.flash.desktop.NativeApplication,
  };
}

// Runs lib/probe.js on a tree in a process of its own.
async function probe(tree, what) {
  const indexJs = await ensureBuilt(tree);
  const run = spawnSync(process.execPath, [path.join(__dirname, 'probe.js'), indexJs, what], { encoding: 'utf8' });
  if (run.status !== 0) throw new Error(`probe ${what} on ${tree} failed:\n${run.stderr}`);
  return JSON.parse(run.stdout);
}

module.exports = { compile, ensureBuilt, load, probe, isOurs, describeFailure };
