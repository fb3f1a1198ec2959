#!/usr/bin/env bash
# Compiles, runs and packages the resolution picker with an AIR SDK (AIR_SDK_HOME) and VelmorantUtils.ane,
# the commands of README.md. In bash: Git Bash on Windows, or a shell on macOS or Linux for compiling.
#
#   build.sh compile          bin/ResolutionPicker.swf, against the .ane
#   build.sh run              runs it with adl, the extension unpacked into bin/extensions/ (Windows only)
#   build.sh bundle           bin/ResolutionPicker/, a captive-runtime application folder
#   build.sh native           bin/ResolutionPicker.exe, a native installer
#
# VELMORANT_ANE names the .ane (by default the one two folders up, as in the release archive). ARCH=64 makes
# a 64-bit application: adl64, <architecture>64</architecture> in the descriptor and -arch x64 for the
# bundle. bundle and native sign with the .p12 certificate that AIR_CERTIFICATE names; adt asks for its
# password.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ane=${VELMORANT_ANE:-$here/../../VelmorantUtils.ane}
bin=$here/bin
app=ResolutionPicker

fail() { printf 'build.sh: %s\n' "$*" >&2; exit 1; }

# Runs one of the SDK's tools: scripts on macOS and Linux, .bat or .exe files on Windows.
sdk() {
    local name=$1 candidate
    shift
    for candidate in "$AIR_SDK_HOME/bin/$name" "$AIR_SDK_HOME/bin/$name.bat" "$AIR_SDK_HOME/bin/$name.exe"; do
        [ -f "$candidate" ] && { "$candidate" "$@"; return; }
    done
    fail "no $name in $AIR_SDK_HOME/bin: AIR_SDK_HOME must be the AIR SDK's top folder"
}

[ $# -eq 1 ] || fail "usage: build.sh compile | run | bundle | native"
[ -n "${AIR_SDK_HOME:-}" ] || fail "AIR_SDK_HOME is not set: point it at an AIR SDK of version 33.1 or later"
[ -f "$ane" ] || fail "$ane is missing: set VELMORANT_ANE to VelmorantUtils.ane from the release archive"
mkdir -p "$bin"

# The descriptor, with the architecture for a 64-bit application.
descriptor=$bin/$app-app.xml
if [ "${ARCH:-32}" = 64 ]; then
    sed 's|</versionNumber>|&\n    <architecture>64</architecture>|' "$here/$app-app.xml" >"$descriptor"
else
    cp "$here/$app-app.xml" "$descriptor"
fi

package() {
    [ -n "${AIR_CERTIFICATE:-}" ] || fail "AIR_CERTIFICATE is not set: name a .p12 certificate to sign with (README.md)"
    # adt takes packaged .ane files from -extdir.
    mkdir -p "$bin/ane"
    cp "$ane" "$bin/ane/VelmorantUtils.ane"
    # -arch picks the bundle's executable: 32-bit unless told.
    local arch=()
    [ "$1" = bundle ] && [ "${ARCH:-32}" = 64 ] && arch=(-arch x64)
    (cd "$bin" && sdk adt -package -storetype pkcs12 -keystore "$AIR_CERTIFICATE" -target "$1" "${arch[@]}" "$2" \
        "$app-app.xml" "$app.swf" -extdir ane)
}

case $1 in
    compile)
        sdk amxmlc -swf-version=44 -external-library-path+="$ane" -output "$bin/$app.swf" "$here/src/$app.as" ;;
    run)
        # adl takes each extension unpacked, in a folder named after the .ane file.
        rm -rf "$bin/extensions" && mkdir -p "$bin/extensions/VelmorantUtils.ane"
        unzip -q "$ane" -d "$bin/extensions/VelmorantUtils.ane"
        adl=adl; [ "${ARCH:-32}" = 64 ] && adl=adl64
        sdk $adl -profile extendedDesktop -extdir "$bin/extensions" "$descriptor" "$bin" ;;
    bundle) package bundle "$app" ;;
    native) package native "$app.exe" ;;
    *) fail "usage: build.sh compile | run | bundle | native" ;;
esac
