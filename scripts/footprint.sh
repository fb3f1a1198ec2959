#!/bin/sh
# Builds VelmorantUtils.dll in each preset's tree (windows-x86 and windows-x64 unless presets are named) and
# prints, as Markdown ready for the README, what each file is made of: its size, sections with their sizes
# and protection, imports, exports with ordinals, the export directory's module name, the entry point and the
# header flags. The report goes to standard output, the build's messages to standard error.
#   scripts/footprint.sh [windows-x86] [windows-x64]
set -eu
cd "$(dirname "$0")/.."

presets=${*:-windows-x86 windows-x64}
for preset in $presets; do
    case "$preset" in
        windows-x86 | windows-x64) ;;
        *) echo "usage: scripts/footprint.sh [windows-x86] [windows-x64]" >&2; exit 2 ;;
    esac
done

scripts/install-toolchain.sh >&2
for preset in $presets; do
    cmake --preset "$preset" >&2
    cmake --build --preset "$preset" --target VelmorantUtils velmorant-footprint >&2
done
# Each tree's own reader, in its own prefix, reads the file by its path from here.
for preset in $presets; do
    "build/$preset/wine-run" "build/$preset/velmorant-footprint.exe" "build/$preset/VelmorantUtils.dll"
done
