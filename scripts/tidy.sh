#!/bin/sh
# Runs clang-tidy, as .clang-tidy configures it, over src/ and host/ with each preset's compile commands
# (windows-x86 and windows-x64 unless presets are named). Fails on any finding.
#   scripts/tidy.sh [windows-x86] [windows-x64]
set -eu
cd "$(dirname "$0")/.."

presets=${*:-windows-x86 windows-x64}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
for preset in $presets; do
    # The preset's mingw-w64 target, from cmake/platforms.txt.
    target=$(sed -n "s/^$preset .* //p" cmake/platforms.txt)
    [ -n "$target" ] || { echo "usage: scripts/tidy.sh [windows-x86] [windows-x64]" >&2; exit 2; }
    cmake --preset "$preset" >/dev/null
    # The compile commands are GCC's: clang is told the target and where that GCC keeps its C++ library's
    # headers, and keeps quiet about GCC-only options.
    compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "build/$preset/CMakeCache.txt")
    cxx_headers=$("$compiler" -x c++ -E -v - </dev/null 2>&1 | sed -n 's|^ \(/.*/c++.*\)$|--extra-arg=-isystem\1|p')
    # shellcheck disable=SC2086 # one argument per header folder
    if ! find src host -name '*.cpp' | sort | xargs clang-tidy --quiet -p "build/$preset" \
        --extra-arg-before=--target=$target $cxx_headers --extra-arg=-Wno-unknown-warning-option \
        --extra-arg=-Wno-ignored-optimization-argument >"$log" 2>&1; then
        status=1
    fi
    # Without the count of warnings from system headers, which clang-tidy prints and then leaves out.
    grep -v ' generated\.$' "$log" || true
done
[ $status -eq 0 ] && echo "tidy: no findings"
exit $status
