'use strict';
// What the kit's tests share: where things are, the extension descriptor as
// parsed by a real XML parser, and the function names the ActionScript
// sources hand to ExtensionContext.call().
const fs = require('node:fs');
const path = require('node:path');

const root = path.resolve(__dirname, '..', '..', '..');
const kitDir = path.join(root, 'kit');
const testsDir = path.resolve(__dirname, '..');

const paths = {
  root,
  kitDir,
  testsDir,
  descriptor: path.join(kitDir, 'extension.xml'),
  packageScript: path.join(kitDir, 'package.sh'),
  shippedClass: path.join(kitDir, 'actionscript', 'src', 'com', 'velmorant', 'utils', 'VelmorantUtils.as'),
  defaultClass: path.join(kitDir, 'actionscript', 'default', 'com', 'velmorant', 'utils', 'VelmorantUtils.as'),
};

// One line of a plain-text record in the repository, without its comments and blank lines, split in words.
const records = (file) => fs.readFileSync(path.join(root, file), 'utf8').split('\n')
  .filter((line) => line.trim() && !line.startsWith('#')).map((line) => line.trim().split(/\s+/));

// The native library's function table, in its order, as the tests record it.
const TABLE = Object.freeze(records('tests/support/table.txt').map(([name]) => name));

// The two Windows builds: CMake preset, AIR platform name and PE machine type.
const WIDTHS = Object.freeze(records('cmake/platforms.txt')
  .map(([preset, , platform, machine]) => ({ preset, platform, machine: parseInt(machine, 16) })));

const EXTENSION_ID = 'com.velmorant.VelmorantUtils';

function need(name) {
  try {
    return require(name);
  } catch (error) {
    if (error.code !== 'MODULE_NOT_FOUND') throw error;
    throw new Error(`${name} is not installed in ${path.join(testsDir, 'node_modules')}: ` +
      'run scripts/install-kit-tools.sh (or npm ci in tests/kit)');
  }
}

function descriptor() {
  const { XMLParser, XMLValidator } = need('fast-xml-parser');
  const text = fs.readFileSync(paths.descriptor, 'utf8');
  const valid = XMLValidator.validate(text);
  if (valid !== true) {
    const { msg, line, col } = valid.err;
    throw new Error(`${paths.descriptor}:${line}:${col}: not well-formed XML: ${msg}`);
  }
  const parser = new XMLParser({
    ignoreAttributes: false,
    attributeNamePrefix: '@',
    parseTagValue: false, // "1.10" must stay a string, not become 1.1
    isArray: (name) => name === 'platform',
  });
  const doc = parser.parse(text);
  const extension = doc.extension;
  if (!extension) throw new Error(`${paths.descriptor}: the root element is not <extension>`);
  const platforms = new Map();
  for (const platform of (extension.platforms && extension.platforms.platform) || []) {
    const name = platform['@name'];
    if (platforms.has(name)) throw new Error(`${paths.descriptor}: platform ${name} is declared twice`);
    const deployment = platform.applicationDeployment;
    platforms.set(name, typeof deployment === 'object' ? deployment : {});
  }
  return {
    namespace: extension['@xmlns'],
    id: extension.id,
    version: extension.versionNumber,
    platforms,
  };
}

function projectVersion() {
  if (process.env.VELMORANT_PROJECT_VERSION) return process.env.VELMORANT_PROJECT_VERSION;
  const cmake = fs.readFileSync(path.join(root, 'CMakeLists.txt'), 'utf8');
  const match = /\bproject\s*\([^)]*?\bVERSION\s+([0-9][^\s)]*)/i.exec(cmake);
  if (!match) throw new Error('no VELMORANT_PROJECT_VERSION and no project(... VERSION x.y.z) in CMakeLists.txt');
  return match[1];
}

// Blanks comments out (keeping line breaks, so positions stay right) and
// leaves string literals alone, so a name in a comment never counts.
function stripComments(source) {
  let out = '';
  let i = 0;
  while (i < source.length) {
    const c = source[i];
    const next = source[i + 1];
    if (c === '/' && next === '/') {
      while (i < source.length && source[i] !== '\n') i++;
    } else if (c === '/' && next === '*') {
      const end = source.indexOf('*/', i + 2);
      const stop = end < 0 ? source.length : end + 2;
      out += source.slice(i, stop).replace(/[^\n]/g, ' ');
      i = stop;
    } else if (c === '"' || c === "'") {
      let j = i + 1;
      while (j < source.length && source[j] !== c && source[j] !== '\n') j += source[j] === '\\' ? 2 : 1;
      out += source.slice(i, j + 1);
      i = j + 1;
    } else {
      out += c;
      i++;
    }
  }
  return out;
}

function unquote(literal) {
  const body = literal.slice(1, -1);
  return JSON.parse(`"${literal[0] === "'" ? body.replace(/\\'/g, "'").replace(/"/g, '\\"') : body}"`);
}

const STRING = String.raw`"(?:[^"\\\n]|\\.)*"|'(?:[^'\\\n]|\\.)*'`;

function stringConstants(code) {
  const constants = new Map();
  const pattern = new RegExp(String.raw`\bconst\s+([A-Za-z_$][\w$]*)\s*:\s*String\s*=\s*(${STRING})`, 'g');
  for (const m of code.matchAll(pattern)) constants.set(m[1], unquote(m[2]));
  return constants;
}

// Every ExtensionContext.call() site in an .as file, with the function name it
// passes, whether written as a literal or as a String constant of the class.
// A first argument that is neither cannot be checked, so it is an error.
function callSites(file) {
  const code = stripComments(fs.readFileSync(file, 'utf8'));
  const constants = stringConstants(code);
  const sites = [];
  const pattern = new RegExp(String.raw`\.\s*call\s*\(\s*(${STRING}|[A-Za-z_$][\w$.]*)`, 'g');
  for (const m of code.matchAll(pattern)) {
    const line = code.slice(0, m.index).split('\n').length;
    const argument = m[1];
    let name;
    if (argument[0] === '"' || argument[0] === "'") name = unquote(argument);
    else name = constants.get(argument.split('.').pop());
    if (name === undefined) {
      throw new Error(`${file}:${line}: call(${argument}, ...) names no String constant of this file`);
    }
    sites.push({ name, line });
  }
  return { sites, constants, code };
}

// Names in one list and not the other, for messages that say which way it is off.
function difference(a, b) {
  const other = new Set(b);
  return [...new Set(a)].filter((x) => !other.has(x));
}

module.exports = { paths, TABLE, WIDTHS, EXTENSION_ID, need, descriptor, projectVersion, callSites, difference };
