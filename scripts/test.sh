#!/bin/sh
# Installs what the build and the tests need, then runs the three workflows: each Windows tree builds and runs
# its suite (the 32-bit product first), and the package tree makes the .ane and the release archive and tests
# what ships. Any failing test fails the run.
#
# On a machine that cannot run 32-bit programs, the 32-bit tree registers only its tests that need no Wine
# (it decides so when it is configured), and the run ends by saying plainly that the rest did not run.
set -eu
cd "$(dirname "$0")/.."
scripts/install-toolchain.sh
scripts/install-test-tools.sh
for preset in windows-x86 windows-x64 package; do
    cmake --workflow --preset "$preset"
done
if grep -q '^VELMORANT_RUNS_PROGRAMS:INTERNAL=OFF' build/windows-x86/CMakeCache.txt; then
    echo "test.sh: the windows-x86 suite was NOT RUN: this machine cannot run 32-bit programs; the 32-bit DLL was" \
        "built, checked as a file and run in a CPU emulator only" >&2
fi
