#!/usr/bin/python3
"""Packages the built .ane for apm, the AIR SDK's package manager; it changes nothing in the .ane.

    scripts/make-airpackage.py [--epoch-file FILE] --name NAME --description TEXT ANE OUTPUT

OUTPUT, named ID_VERSION.airpackage by the build, is a zip file with package.json, the project's README.md,
CHANGELOG.md and LICENSE (as LICENSE.md, the name apm reads), and ane/ holding ANE byte for byte. package.json
takes the id and version from ANE's own descriptor, so that apm writes the extension's id into an application's
descriptor; NAME and DESCRIPTION are the project's; the licence is named by LICENSE's title line, an SPDX
identifier. Every timestamp, publishedAt included, is the one in the epoch file (the commit's time), so the same
inputs give the same bytes.
"""
import argparse
import json
import pathlib
import time
import xml.etree.ElementTree as ElementTree
import zipfile

import stamped_zip

ROOT = pathlib.Path(__file__).resolve().parent.parent


def main():
    parser = argparse.ArgumentParser(description='Packages the built .ane for apm.')
    parser.add_argument('--epoch-file', help='a file holding the seconds since 1970 of every timestamp')
    parser.add_argument('--name', required=True)
    parser.add_argument('--description', required=True)
    parser.add_argument('ane')
    parser.add_argument('output')
    args = parser.parse_args()

    ane = pathlib.Path(args.ane)
    with zipfile.ZipFile(ane) as extension:
        descriptor = ElementTree.fromstring(extension.read('META-INF/ANE/extension.xml'))
    ns = descriptor.tag[:descriptor.tag.index('}') + 1] if descriptor.tag.startswith('{') else ''
    licence = (ROOT / 'LICENSE').read_text().split('\n', 1)[0].removesuffix(' License')
    epoch = stamped_zip.epoch(args.epoch_file)
    # The fields apm's build requires. There is no public page of the project, so no url, docUrl or sourceUrl
    # (which only publishing needs); the licence's url is its SPDX page. "windows" is apm's one name for both
    # widths.
    package = {
        'id': descriptor.findtext(ns + 'id').strip(),
        'name': args.name,
        'description': args.description,
        'type': 'ane',
        'version': descriptor.findtext(ns + 'versionNumber').strip(),
        'publishedAt': time.strftime('%Y-%m-%dT%H:%M:%S.000Z', time.gmtime(epoch)),
        'status': 'release',
        'platforms': ['windows'],
        'dependencies': [],
        'parameters': [],
        'license': {'type': licence, 'url': f'https://spdx.org/licenses/{licence}.html', 'public': True},
    }
    entries = [('CHANGELOG.md', (ROOT / 'CHANGELOG.md').read_bytes()), ('LICENSE.md', (ROOT / 'LICENSE').read_bytes()),
               ('README.md', (ROOT / 'README.md').read_bytes()), (f'ane/{ane.name}', ane.read_bytes()),
               ('package.json', (json.dumps(package, indent=2) + '\n').encode())]
    stamped_zip.write(args.output, entries, epoch)


if __name__ == '__main__':
    main()
