#!/bin/sh
# Builds VelmorantUtils.dll in each preset's tree (windows-x86 and windows-x64 unless presets are named) and
# prints, as Markdown, what each file is made of: its size, sections with their sizes and protection, imports,
# exports, the entry point and header flags, the version resource and, for 64-bit, the function table. The
# report goes to standard output, the build's messages to standard error.
#   scripts/footprint.sh [windows-x86] [windows-x64]
set -eu
cd "$(dirname "$0")/.."

presets=${*:-windows-x86 windows-x64}
scripts/install-toolchain.sh >&2
for preset in $presets; do
    cmake --preset "$preset" >&2
    cmake --build --preset "$preset" --target VelmorantUtils >&2
    /usr/bin/python3 bench/footprint.py "build/$preset/VelmorantUtils.dll"
done
