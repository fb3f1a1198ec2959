#!/bin/sh
# Builds both DLLs and runs every test under Wine: the 32-bit product first, then the 64-bit build.
set -eu
cd "$(dirname "$0")/.."
scripts/install-toolchain.sh
scripts/install-kit-tools.sh
cmake --workflow --preset windows-x86
cmake --workflow --preset windows-x64
# The release archive, made, unpacked and tried as a user would.
node tests/release/release.test.js
