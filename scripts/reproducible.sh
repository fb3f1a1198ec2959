#!/bin/sh
# Builds the DLLs of each preset's tree (windows-x86 and windows-x64 unless presets are named) a second time,
# from a copy of the sources in another folder, and compares the bytes with the first build's. Fails on any
# difference, so that the same commit always makes the same files wherever it is built.
#   scripts/reproducible.sh [windows-x86] [windows-x64]
set -eu
cd "$(dirname "$0")/.."

presets=${*:-windows-x86 windows-x64}
dlls="VelmorantUtils.dll bench-empty-extension.dll"
elsewhere=$(mktemp -d "${TMPDIR:-/tmp}/velmorant-elsewhere.XXXXXX")
trap 'rm -rf "$elsewhere"' EXIT
tar --exclude=./build --exclude=./.git --exclude=node_modules -cf - . | tar -C "$elsewhere" -xf -

status=0
for preset in $presets; do
    # The tests are left out of the second tree: the DLLs' bytes must not depend on them.
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target VelmorantUtils bench-empty-extension >/dev/null
    (cd "$elsewhere" && cmake --preset "$preset" -DBUILD_TESTING=OFF >/dev/null &&
        cmake --build --preset "$preset" --target VelmorantUtils bench-empty-extension >/dev/null)
    for dll in $dlls; do
        if cmp -s "build/$preset/$dll" "$elsewhere/build/$preset/$dll"; then
            echo "reproducible: $preset/$dll is the same byte for byte"
        else
            echo "reproducible: $preset/$dll differs when built in $elsewhere" >&2
            status=1
        fi
    done
done
exit $status
