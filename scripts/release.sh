#!/bin/sh
# Makes the release of the checked-out commit: build/release/VelmorantUtils-<version>.zip, the apm package
# com.velmorant.VelmorantUtils_<version>.airpackage and build/release/SHA256SUMS, built by the package preset from
# both Windows trees (the "release" target).
#   scripts/release.sh [--dirty]
# The same commit gives the same bytes. A checkout with uncommitted changes is refused, unless --dirty is
# given; the archive is then named VelmorantUtils-<version>-dirty.zip. It needs the build's tools only, which
# scripts/install-toolchain.sh installs (as root, or through sudo), naming them; nothing of the tests.
set -eu
cd "$(dirname "$0")/.."

say() { echo "release: $*" >&2; }

case "$*" in
    "" | --dirty) ;;
    *) echo "usage: scripts/release.sh [--dirty]" >&2; exit 2 ;;
esac
if ! command -v git >/dev/null 2>&1 || ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    say "$(pwd) is not a git checkout (or git is missing): the release is made from one, with its commit's time"
    exit 1
fi
if [ -n "$(git status --porcelain)" ] && [ "$*" != --dirty ]; then
    say "the checkout has uncommitted changes (see git status): commit them first, or run" \
        "scripts/release.sh --dirty for an archive named -dirty"
    exit 1
fi

# Whatever stops the release from here on leaves no archive behind, old or partial.
rm -rf build/release
scripts/install-toolchain.sh
# Without the tests: nothing under tests/ is read or built. Trees that a test run configured before keep their
# tests; the package tree takes them back at its next workflow.
cmake --preset package -DBUILD_TESTING=OFF
cmake --build --preset package --target release
