#!/bin/sh
# Installs what the tests need beyond the build's tools (scripts/install-toolchain.sh): the AVM2 that runs the
# kit's SWF bytecode under Node, and an XML parser, in tests/kit/node_modules as pinned by its
# package-lock.json. Quick when everything is already there.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/npm-ci.sh" "$root/tests/kit" "the AVM2"
