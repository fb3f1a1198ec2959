#!/bin/sh
# Builds both DLLs and runs every test under Wine, the 32-bit product first, then the 64-bit build; then builds
# both widths' DLLs again in another folder and checks the bytes are the same (scripts/reproducible.sh), and
# runs clang-tidy over src/ and host/ (scripts/tidy.sh). A failing test, a byte that differs or a clang-tidy
# finding fails the run.
#
# On a machine that cannot run 32-bit programs the 32-bit DLL is still built, checked as a file and run in a CPU
# emulator, and the run ends by saying plainly that the 32-bit suite did not run.
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
fi
cmake --workflow --preset windows-x64
if [ $win32_suite = skipped ]; then
    # What can be checked of the 32-bit file without running it natively: its disassembly, and its headers,
    # sections, imports, exports and version as the 64-bit tree's module tests read them.
    cmake -DOBJDUMP=i686-w64-mingw32-objdump -DMODULE=build/windows-x86/VelmorantUtils.dll \
        -P tests/module/caller-cleans-up.cmake
    VELMORANT_MODULE="Z:$(pwd)/build/windows-x86/VelmorantUtils.dll" \
        build/windows-x64/wine-run build/windows-x64/module-tests.exe
    # Its code run in an x86-32 CPU emulator, driven as the runtime drives it.
    /usr/bin/python3 tests/emulated/run32.py build/windows-x86/VelmorantUtils.dll
fi
scripts/reproducible.sh windows-x86 windows-x64
scripts/tidy.sh windows-x86 windows-x64
# The release archive, made, unpacked and tried as a user would.
node tests/release/release.test.js
if [ $win32_suite = skipped ]; then
    echo "test.sh: the windows-x86 suite was NOT RUN: this machine cannot run 32-bit programs; the 32-bit DLL was" \
        "built, checked as a file and run in a CPU emulator only" >&2
fi
