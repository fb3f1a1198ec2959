#!/usr/bin/python3
"""Packages VelmorantUtils.ane from what the build made; it compiles nothing.

    scripts/make-ane.py [--epoch-file FILE] DESCRIPTOR KIT DEFAULT OUTPUT PLATFORM=DLL...

DESCRIPTOR is the extension descriptor. KIT is the folder of the Windows class's compiled library.swf and
catalog.xml, DEFAULT that of the default class's library.swf. Each PLATFORM=DLL gives the native library of
a platform of the descriptor that names one; it must be a PE file of that platform's width (cmake/platforms.txt).

The package is laid out as the AIR SDK's packager lays one out: mimetype first, then the descriptor, the SWC's
catalog.xml and library.swf at the root, then each platform's files, sorted by path ignoring case; the
mimetype and every SWF stored, everything else deflated. Every timestamp is the one in the epoch file (the
commit's time), so the same inputs give the same bytes. A missing DLL, or one of the wrong width, is named and
nothing is written.
"""
import argparse
import os
import re
import sys
import xml.etree.ElementTree as ElementTree

import pefile

import stamped_zip

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MIMETYPE = 'application/vnd.adobe.air-native-extension-package+zip'
# The PE header's machine field that the runtime of each platform loads.
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


def platforms_of(descriptor):
    """Each platform of the descriptor, with the file name of its native library or None."""
    root = ElementTree.parse(descriptor).getroot()
    ns = root.tag[:root.tag.index('}') + 1] if root.tag.startswith('{') else ''
    found = []
    for platform in root.iter(ns + 'platform'):
        library = platform.find(f'{ns}applicationDeployment/{ns}nativeLibrary')
        found.append((platform.get('name'), library.text.strip() if library is not None else None))
    return found


def read(path):
    with open(path, 'rb') as file:
        return file.read()


def main():
    parser = argparse.ArgumentParser(description='Packages VelmorantUtils.ane from what the build made.')
    parser.add_argument('--epoch-file', help='a file holding the seconds since 1970 of every timestamp')
    parser.add_argument('descriptor')
    parser.add_argument('kit')
    parser.add_argument('default')
    parser.add_argument('output')
    parser.add_argument('natives', nargs='*', metavar='PLATFORM=DLL')
    args = parser.parse_args()

    if os.path.exists(args.output):
        os.remove(args.output)
    natives = dict(native.split('=', 1) for native in args.natives)
    platforms = platforms_of(args.descriptor)
    problems = []
    for platform, library in platforms:
        if library is None:
            continue
        dll = natives.get(platform)
        if dll is None:
            problems.append(f'no DLL given for platform {platform}')
        elif not os.path.isfile(dll):
            problems.append(f'missing {dll}')
        elif pe_machine(dll) != MACHINES.get(platform):
            problems.append(f'{dll} is not a {platform} DLL')
    if problems:
        fail(*problems)

    epoch = stamped_zip.epoch(args.epoch_file)
    library = read(os.path.join(args.kit, 'library.swf'))
    # The catalog records each source file's modification time; the commit's time stands in for it.
    catalog = re.sub(rb'\bmod="\d+"', f'mod="{epoch * 1000}"'.encode(), read(os.path.join(args.kit, 'catalog.xml')))
    files = {}
    for platform, native in platforms:
        files[f'META-INF/ANE/{platform}/library.swf'] = library if native else read(os.path.join(args.default, 'library.swf'))
        if native:
            files[f'META-INF/ANE/{platform}/{native}'] = read(natives[platform])
    entries = [('mimetype', MIMETYPE.encode('ascii')), ('META-INF/ANE/extension.xml', read(args.descriptor)),
               ('catalog.xml', catalog), ('library.swf', library)]
    entries += sorted(files.items(), key=lambda entry: entry[0].lower())

    stamped_zip.write(args.output, entries, epoch, stored=lambda name: name == 'mimetype' or name.endswith('.swf'))


if __name__ == '__main__':
    main()
