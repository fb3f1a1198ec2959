#!/usr/bin/env bash
# Signs VelmorantUtils.ane, or packages it again, with the adt of your own AIR SDK. It compiles nothing: the
# ready .ane's own files (its descriptor, the SWC's catalog.xml and library.swf at its root, and each
# platform's folder) are handed to adt as they are, so the two packages carry the same entries.
#
#   AIR_SDK_HOME=/path/to/AIRSDK [AIR_CERTIFICATE=cert.p12] kit/package.sh [READY.ane [OUTPUT.ane]]
#
# READY is by default the release archive's VelmorantUtils.ane beside kit/, or in a checkout the build's
# (build/package/kit/VelmorantUtils.ane); OUTPUT is ane/VelmorantUtils.ane beside kit/. With AIR_CERTIFICATE
# (a .p12 file) the package is signed, and adt asks for the certificate's password; without it, it is not.
set -euo pipefail

kit=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$kit")
ready=${1:-$root/VelmorantUtils.ane}
[ $# -ge 1 ] || [ -f "$ready" ] || ready=$root/build/package/kit/VelmorantUtils.ane
output=${2:-$root/ane/VelmorantUtils.ane}

say() { printf 'package.sh: %s\n' "$*" >&2; }

# The SDK's tools are shell scripts on macOS and Linux, batch files on Windows.
sdk_tool() {
    local candidate
    for candidate in "$AIR_SDK_HOME/bin/$1" "$AIR_SDK_HOME/bin/$1.bat"; do
        if [ -f "$candidate" ] && [ -x "$candidate" ]; then
            printf '%s\n' "$candidate"
            return 0
        fi
    done
    return 1
}

problems=()
if [ -z "${AIR_SDK_HOME:-}" ]; then
    problems+=("AIR_SDK_HOME is not set: point it at an AIR SDK of version 33.1 or later, the folder that holds bin/adt")
elif ! adt=$(sdk_tool adt); then
    problems+=("no adt in $AIR_SDK_HOME/bin (AIR_SDK_HOME must be the SDK's top folder)")
fi
[ -f "$ready" ] || problems+=("missing $ready: name the ready VelmorantUtils.ane from the release archive")
if [ -n "${AIR_CERTIFICATE:-}" ] && [ ! -f "$AIR_CERTIFICATE" ]; then
    problems+=("AIR_CERTIFICATE=$AIR_CERTIFICATE is not a file")
fi
# Unpacking the .ane, and zipping the SWC that adt takes, with unzip and zip or else with Python.
if command -v unzip >/dev/null 2>&1 && command -v zip >/dev/null 2>&1; then
    unpack() { unzip -q "$1" -d "$2"; }
    swc() { (cd "$1" && zip -q -X "$2" catalog.xml library.swf); }
elif command -v python3 >/dev/null 2>&1; then
    unpack() { python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$1" "$2"; }
    swc() {
        python3 -c 'import sys, zipfile
with zipfile.ZipFile(sys.argv[2], "w") as swc:
    for name in ("catalog.xml", "library.swf"): swc.write(sys.argv[1] + "/" + name, name)' "$1" "$2"
    }
else
    problems+=("neither unzip and zip nor python3 is installed: one of them is needed to unpack the .ane")
fi
if [ ${#problems[@]} -gt 0 ]; then
    for problem in "${problems[@]}"; do
        say "$problem"
    done
    exit 1
fi

# Unpacked in a temporary folder, so that nothing but the new package is left behind.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
unpack "$ready" "$stage/ane"
swc "$stage/ane" "$stage/VelmorantUtils.swc"

# Each platform folder of the ready package, with its files, as adt's -platform NAME -C FOLDER FILE... .
platforms=()
for folder in "$stage/ane/META-INF/ANE"/*/; do
    folder=${folder%/}
    files=()
    for file in "$folder"/*; do
        files+=("$(basename "$file")")
    done
    platforms+=(-platform "$(basename "$folder")" -C "$folder" "${files[@]}")
done
signing=()
[ -z "${AIR_CERTIFICATE:-}" ] || signing=(-storetype pkcs12 -keystore "$AIR_CERTIFICATE")

mkdir -p "$(dirname "$output")"
rm -f "$output"
"$adt" -package ${signing[@]+"${signing[@]}"} -target ane "$output" "$stage/ane/META-INF/ANE/extension.xml" \
    -swc "$stage/VelmorantUtils.swc" "${platforms[@]}"
[ -f "$output" ] || { say "adt finished without writing $output"; exit 1; }
printf 'package.sh: wrote %s\n' "$output"
