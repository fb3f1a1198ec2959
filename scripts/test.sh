#!/bin/sh
# Builds both DLLs and runs every test under Wine, the 32-bit product first, then the 64-bit build; then builds
# both widths' DLLs again in another folder and checks the bytes are the same (scripts/reproducible.sh), and
# runs clang-tidy over src/ and host/ (scripts/tidy.sh). A failing test, a byte that differs or a clang-tidy
# finding fails the run. On a machine that cannot run 32-bit programs the 32-bit DLL is still built and checked
# as a file, and the run says plainly that its suite did not run.
set -eu
cd "$(dirname "$0")/.."
scripts/install-toolchain.sh
scripts/install-kit-tools.sh
if scripts/win32-runs.sh; then
    cmake --workflow --preset windows-x86
else
    echo "test.sh: the windows-x86 suite is NOT RUN on this machine; its DLL is built and checked as a file only" >&2
    cmake --preset windows-x86
    cmake --build --preset windows-x86
    # What can be checked of the 32-bit file without running it.
    cmake -DOBJDUMP=i686-w64-mingw32-objdump -DMODULE=build/windows-x86/VelmorantUtils.dll \
        -P tests/module/caller-cleans-up.cmake
fi
cmake --workflow --preset windows-x64
scripts/reproducible.sh windows-x86 windows-x64
scripts/tidy.sh windows-x86 windows-x64
