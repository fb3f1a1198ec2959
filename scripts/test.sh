#!/bin/sh
# Builds everything and runs every test under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/install-toolchain.sh
cmake --workflow --preset windows-x86
