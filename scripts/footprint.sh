#!/bin/sh
# Builds VelmorantUtils.dll in each preset's tree (windows-x86 and windows-x64 unless presets are named) and
# prints, as Markdown ready for the README, what each file is made of: its size, sections with their sizes
# and protection, imports, exports with ordinals, the export directory's module name, the entry point and the
# header flags, the version resource and, for 64-bit, the function table. The report goes to standard output,
# the build's messages to standard error.
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
    cmake --build --preset "$preset" --target VelmorantUtils >&2
done
# One reader for both widths, the 64-bit tree's, in its own prefix: it reads PE32 and PE32+ files alike, and
# 64-bit Wine runs where 32-bit Wine may not.
cmake --preset windows-x64 >&2
cmake --build --preset windows-x64 --target velmorant-footprint >&2
for preset in $presets; do
    build/windows-x64/wine-run build/windows-x64/velmorant-footprint.exe "build/$preset/VelmorantUtils.dll"
done
