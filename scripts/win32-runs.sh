#!/bin/sh
# Exits 0 when this machine can run 32-bit Windows programs under Wine, and otherwise says why and exits 1.
# Wine's 32-bit loader is a 32-bit Linux program, and some kernels (64-bit-only virtual machines among them)
# refuse to start any such program; there the 32-bit build can be made but none of its programs can run.
if wine --version >/dev/null 2>&1; then
    exit 0
fi
echo "this machine cannot run 32-bit Linux programs, so Wine cannot run 32-bit Windows programs here" >&2
exit 1
