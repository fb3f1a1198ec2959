#!/bin/sh
# Builds a preset's tree (windows-x86 unless windows-x64 is named) and runs the benchmark under Wine, in that
# tree's own prefix: what each function of VelmorantUtils.dll costs beside the same system calls made directly
# and beside an empty extension, and what loading it costs. A further argument goes to the benchmark
# (--quick). The report goes to standard output, the build's messages to standard error.
#   scripts/bench.sh [windows-x86|windows-x64] [--quick]
# The benchmark changes the display mode and the keyboard speed of the prefix while it runs and puts both
# back; tests of the same tree that look at either must not run at the same time.
set -eu
cd "$(dirname "$0")/.."

preset=windows-x86
case "${1-}" in
    windows-x86 | windows-x64) preset=$1; shift ;;
    "" | -*) ;;
    *) echo "usage: scripts/bench.sh [windows-x86|windows-x64] [--quick]" >&2; exit 2 ;;
esac

if [ "$preset" = windows-x86 ] && ! scripts/win32-runs.sh; then
    echo "bench.sh: the 32-bit build cannot be measured here; scripts/bench.sh windows-x64 measures the 64-bit one" >&2
    exit 1
fi
scripts/install-toolchain.sh >&2
cmake --preset "$preset" >&2
cmake --build --preset "$preset" --target velmorant-bench >&2
build=build/$preset
"$build/wine-run" --prepare

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
if grep -qw hypervisor /proc/cpuinfo; then
    cpu="$cpu, virtual machine"
fi
echo "Machine: $cpu, $(nproc) processors; Linux $(uname -r); $("$build/wine-run" --version)"
exec "$build/wine-run" "$build/velmorant-bench.exe" "$@"
