#!/bin/sh
# Installs what the tests need beyond the build's tools (scripts/install-toolchain.sh): the AVM2 that runs the
# kit's SWF bytecode under Node, and an XML parser, in tests/kit/node_modules as pinned by its
# package-lock.json. Quick when everything is already there.
set -eu
tests=$(cd "$(dirname "$0")/.." && pwd)/tests/kit
stamp=$tests/node_modules/.velmorant-lock.sha256
want=$(sha256sum "$tests/package-lock.json" | cut -d' ' -f1)
if [ "$want" != "$(cat "$stamp" 2>/dev/null)" ]; then
    echo "install-test-tools: installing the AVM2 with npm ci in tests/kit"
    (cd "$tests" && npm ci --no-audit --no-fund --loglevel=error)
    echo "$want" >"$stamp"
fi
