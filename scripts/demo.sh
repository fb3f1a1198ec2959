#!/bin/sh
# A demonstration session under Wine on a freshly built DLL, through the command-line host: the display is
# switched, refused a size, restored; the keyboard speed is set and restored.
#   scripts/demo.sh [windows-x86|windows-x64]
# The 32-bit product is shown by default; on a machine that cannot run 32-bit programs, the 64-bit build is.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
preset=${1:-windows-x86}
if [ "$preset" = windows-x86 ] && ! "$root/scripts/win32-runs.sh"; then
    echo "demo.sh: showing the 64-bit build instead" >&2
    preset=windows-x64
fi
build="$root/build/$preset"
cd "$build"
echo "Demonstration: $build/VelmorantUtils.dll under Wine"
./wine-run velmorant-host.exe VelmorantUtils.dll \
    system \
    as_setScreenResolution:800,600 system \
    as_setScreenResolution:1234,567 system \
    as_restoreScreenResolution system \
    as_setKeyboardSpeed:5 system \
    as_restoreKeyboardSpeed system
