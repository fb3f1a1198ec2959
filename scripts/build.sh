#!/bin/sh
# Builds VelmorantUtils.dll (build/windows-x86/VelmorantUtils.dll) and runs a demonstration session under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/install-toolchain.sh
cmake --preset windows-x86
cmake --build --preset windows-x86
scripts/demo.sh windows-x86
