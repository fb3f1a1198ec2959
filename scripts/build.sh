#!/bin/sh
# Builds build/windows-x86/VelmorantUtils.dll, the product, build/windows-x64/VelmorantUtils.dll, and from both
# build/package/kit/VelmorantUtils.ane and the release archive in build/release/; then runs a demonstration
# session under Wine on the 32-bit DLL.
set -eu
cd "$(dirname "$0")/.."
scripts/install-toolchain.sh
for preset in windows-x86 windows-x64 package; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done
scripts/demo.sh
