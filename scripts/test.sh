#!/bin/sh
# Builds both DLLs and runs every test under Wine, the 32-bit product first, then the 64-bit build; then builds
# both widths' DLLs again in another folder and checks the bytes are the same (scripts/reproducible.sh), and
# runs clang-tidy over src/ and host/ (scripts/tidy.sh). A failing test, a byte that differs or a clang-tidy
# finding fails the run.
set -eu
cd "$(dirname "$0")/.."
scripts/install-toolchain.sh
scripts/install-kit-tools.sh
cmake --workflow --preset windows-x86
cmake --workflow --preset windows-x64
scripts/reproducible.sh windows-x86 windows-x64
scripts/tidy.sh windows-x86 windows-x64
