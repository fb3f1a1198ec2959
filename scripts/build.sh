#!/bin/sh
# Builds build/windows-x86/VelmorantUtils.dll, the product, and build/windows-x64/VelmorantUtils.dll, then runs
# a demonstration session under Wine on the 32-bit one.
set -eu
cd "$(dirname "$0")/.."
scripts/install-toolchain.sh
for preset in windows-x86 windows-x64; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done
scripts/demo.sh
