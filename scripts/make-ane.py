#!/usr/bin/python3
"""Makes VelmorantUtils.ane from the kit and the two DLLs, without the AIR SDK.

    scripts/make-ane.py KIT DLLS OUTPUT

KIT is the kit folder (extension.xml and the two ActionScript trees). DLLS holds, for each platform of the
descriptor that names a nativeLibrary, a folder of the platform's name with that file in it, as the release
archive does. Each library.swf is compiled by Apache Royale's compc (tests/kit/node_modules, installed by
scripts/install-kit-tools.sh) for the SWF version the descriptor's namespace allows. The runtime's own classes
are declared in scripts/ane/ and linked as externs, so a library.swf defines only the kit's class.

The package is laid out as adt lays out an unsigned extension, and written the same for the same inputs: fixed
entry order, permissions and timestamps (SOURCE_DATE_EPOCH, UTC). A missing DLL, or one of the wrong width,
is named and nothing is written.
"""
import os
import re
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree
import zipfile

import pefile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DECLARATIONS = os.path.join(ROOT, 'scripts', 'ane')
COMPC = os.path.join(ROOT, 'tests', 'kit', 'node_modules', '@apache-royale', 'royale-js', 'royale-asjs', 'bin', 'compc')
CLASS = 'com.velmorant.utils.VelmorantUtils'
MIMETYPE = 'application/vnd.adobe.air-native-extension-package+zip'
# The PE header's machine field that the runtime of each platform loads, from the builds' list.
with open(os.path.join(ROOT, 'cmake', 'platforms.txt')) as platforms:
    MACHINES = {row[2]: int(row[3], 16) for row in (line.split() for line in platforms) if row and row[0][0] != '#'}


def fail(*problems):
    for problem in problems:
        print(f'make-ane: {problem}', file=sys.stderr)
    sys.exit(1)


def pe_machine(path):
    """The file's PE machine type, or None when it is not a PE image."""
    try:
        return pefile.PE(path, fast_load=True).FILE_HEADER.Machine
    except pefile.PEFormatError:
        return None


def read_descriptor(path):
    root = ElementTree.parse(path).getroot()
    match = re.fullmatch(r'\{http://ns\.adobe\.com/air/extension/(\d+)\.\d+\}extension', root.tag)
    if not match or int(match.group(1)) < 50:
        # From namespace 50.0 on, the SWF version a library may have is the namespace's major number.
        fail(f'{path}: not an http://ns.adobe.com/air/extension/N.N descriptor of 50.0 or later')
    ns = root.tag[:root.tag.index('}') + 1]
    platforms = []
    for platform in root.iter(ns + 'platform'):
        library = platform.find(f'{ns}applicationDeployment/{ns}nativeLibrary')
        platforms.append((platform.get('name'), library.text.strip() if library is not None else None))
    return int(match.group(1)), platforms


def check_dlls(dlls, platforms):
    problems = []
    for platform, library in platforms:
        if library is None:
            continue
        path = os.path.join(dlls, platform, library)
        if platform not in MACHINES:
            problems.append(f'{path}: no width is known for platform {platform}')
        elif not os.path.isfile(path):
            problems.append(f'missing {path}')
        elif pe_machine(path) != MACHINES[platform]:
            problems.append(f'{path} is not a {platform} DLL')
    if problems:
        fail(*problems)


def declared_classes():
    names = []
    for folder, _, files in os.walk(DECLARATIONS):
        for file in files:
            if file.endswith('.as'):
                relative = os.path.relpath(os.path.join(folder, file[:-3]), DECLARATIONS)
                names.append(relative.replace(os.sep, '.'))
    return sorted(names)


def compile_swc(tree, swf_version, output):
    """The SWC's catalog.xml and library.swf, compiled from one of the kit's ActionScript trees."""
    if not os.access(COMPC, os.X_OK):
        fail(f'{COMPC} is missing: run scripts/install-kit-tools.sh')
    # No debug information: it would carry the source folders' absolute paths.
    command = [COMPC, '-compiler.targets=SWF', f'-swf-version={swf_version}', '-debug=false',
               '-source-path', tree, DECLARATIONS, '-include-classes', CLASS,
               '-externs', *declared_classes(), '-output', output]
    compiled = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if compiled.returncode != 0 or not os.path.isfile(output):
        fail(f'compc failed on {tree}:', compiled.stdout)
    with zipfile.ZipFile(output) as swc:
        catalog = swc.read('catalog.xml').decode('utf-8')
        library = swc.read('library.swf')
    return catalog, library


def main(kit, dlls, output):
    if os.path.exists(output):
        os.remove(output)
    swf_version, platforms = read_descriptor(os.path.join(kit, 'extension.xml'))
    check_dlls(dlls, platforms)
    epoch = int(os.environ.get('SOURCE_DATE_EPOCH', '315532800'))  # 1980-01-01, zip's earliest
    with tempfile.TemporaryDirectory() as scratch:
        catalog, library = compile_swc(os.path.join(kit, 'actionscript', 'src'), swf_version,
                                       os.path.join(scratch, 'src.swc'))
        _, default_library = compile_swc(os.path.join(kit, 'actionscript', 'default'), swf_version,
                                         os.path.join(scratch, 'default.swc'))
    # The catalog records each source file's modification time; the commit's time stands in for it.
    catalog = re.sub(r'\bmod="\d+"', f'mod="{epoch * 1000}"', catalog)

    entries = [('mimetype', MIMETYPE.encode('ascii')), ('catalog.xml', catalog.encode('utf-8')),
               ('library.swf', library)]
    with open(os.path.join(kit, 'extension.xml'), 'rb') as file:
        entries.append(('META-INF/ANE/extension.xml', file.read()))
    for platform, native in platforms:
        entries.append((f'META-INF/ANE/{platform}/library.swf', library if native else default_library))
        if native:
            with open(os.path.join(dlls, platform, native), 'rb') as file:
                entries.append((f'META-INF/ANE/{platform}/{native}', file.read()))

    # Written beside the output and renamed into place, so that a failure leaves no partial package.
    stamp = time.gmtime(epoch)[:6]
    handle, partial = tempfile.mkstemp(dir=os.path.dirname(os.path.abspath(output)), suffix='.partial')
    os.close(handle)
    try:
        with zipfile.ZipFile(partial, 'w') as ane:
            for name, data in entries:
                info = zipfile.ZipInfo(name, stamp)
                info.create_system = 3  # Unix, for the permissions below, wherever it is made
                info.external_attr = 0o100644 << 16
                # The mimetype first and stored, so that it can be read at a fixed offset.
                info.compress_type = zipfile.ZIP_STORED if name == 'mimetype' else zipfile.ZIP_DEFLATED
                ane.writestr(info, data, compresslevel=9)
        os.chmod(partial, 0o644)
        os.replace(partial, output)
    finally:
        if os.path.exists(partial):
            os.remove(partial)


if __name__ == '__main__':
    if len(sys.argv) != 4:
        fail('usage: scripts/make-ane.py KIT DLLS OUTPUT')
    main(*sys.argv[1:])
