#!/bin/sh
# Builds both DLLs and runs every test under Wine, the 32-bit product first, then the 64-bit build; runs
# clang-tidy over src/ and host/ (scripts/tidy.sh); then makes the release archive, tries it as a user would
# and makes it again in a fresh clone, which must give the same bytes (tests/release). A failing test, a
# clang-tidy finding or a byte that differs fails the run.
#
# On a machine that cannot run 32-bit programs the 32-bit tree runs only its tests that need no Wine (label
# build-machine: the file's checks and its code in a CPU emulator), and the run ends by saying plainly that the
# 32-bit suite did not run.
set -eu
cd "$(dirname "$0")/.."
scripts/install-toolchain.sh
scripts/install-kit-tools.sh
win32_suite=run
if scripts/win32-runs.sh; then
    cmake --workflow --preset windows-x86
else
    win32_suite=skipped
    # The release test then leaves out its 32-bit session.
    export VELMORANT_SKIP_WIN32=1
    cmake --preset windows-x86
    cmake --build --preset windows-x86
    ctest --preset windows-x86 -L build-machine
fi
cmake --workflow --preset windows-x64
scripts/tidy.sh windows-x86 windows-x64
node tests/release/release.test.js
if [ $win32_suite = skipped ]; then
    echo "test.sh: the windows-x86 suite was NOT RUN: this machine cannot run 32-bit programs; the 32-bit DLL was" \
        "built, checked as a file and run in a CPU emulator only" >&2
fi
