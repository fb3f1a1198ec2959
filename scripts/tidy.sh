#!/bin/sh
# Runs clang-tidy, as .clang-tidy configures it, over src/ and host/ with one build tree's compile commands.
# Fails on any finding. The code meets every check of Debian's clang-tidy 14 to 19 under those globs. Run by
# CTest as the test "tidy" of each Windows tree.
#   scripts/tidy.sh BUILD_DIR MINGW_TARGET COMPILER
set -eu
cd "$(dirname "$0")/.."
[ $# -eq 3 ] || { echo "usage: scripts/tidy.sh BUILD_DIR MINGW_TARGET COMPILER" >&2; exit 2; }
build=$1 target=$2 compiler=$3
command -v clang-tidy >/dev/null || { echo "tidy: clang-tidy is missing: run scripts/install-toolchain.sh" >&2; exit 1; }
# Each release of clang-tidy brings checks of its own under the same globs: say which one judged.
version=$(clang-tidy --version | sed -n 's/.*LLVM version \([^ ]*\).*/\1/p')
echo "tidy: clang-tidy ${version:-of unknown version}"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
# The compile commands are GCC's: clang is told the target and where that GCC keeps its C++ library's headers,
# and keeps quiet about GCC-only options.
cxx_headers=$("$compiler" -x c++ -E -v - </dev/null 2>&1 | sed -n 's|^ \(/.*/c++.*\)$|--extra-arg=-isystem\1|p')
status=0
# shellcheck disable=SC2086 # one argument per header folder
find src host -name '*.cpp' | sort | xargs clang-tidy --quiet -p "$build" \
    --extra-arg-before=--target="$target" $cxx_headers --extra-arg=-Wno-unknown-warning-option \
    --extra-arg=-Wno-ignored-optimization-argument >"$log" 2>&1 || status=1
# Without the count of warnings from system headers, which clang-tidy prints and then leaves out.
grep -v ' generated\.$' "$log" || true
[ $status -eq 0 ] && echo "tidy: no findings"
exit $status
