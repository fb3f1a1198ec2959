#!/bin/sh
# A demonstration session under Wine on the freshly built 32-bit DLL, through the command-line host:
# the display is switched, refused a size, restored; the keyboard speed is set and restored.
set -eu
build="$(cd "$(dirname "$0")/.." && pwd)/build/${1:-windows-x86}"
cd "$build"
echo "Demonstration: $build/VelmorantUtils.dll under Wine"
./wine-run velmorant-host.exe VelmorantUtils.dll \
    system \
    as_setScreenResolution:800,600 system \
    as_setScreenResolution:1234,567 system \
    as_restoreScreenResolution system \
    as_setKeyboardSpeed:5 system \
    as_restoreKeyboardSpeed system
