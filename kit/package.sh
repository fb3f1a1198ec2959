#!/usr/bin/env bash
# Builds VelmorantUtils.swc and VelmorantUtils.ane from the kit and the two
# Windows DLLs, with the compc and adt of the AIR SDK in $AIR_SDK_HOME.
#
#   AIR_SDK_HOME=/path/to/AIRSDK kit/package.sh
#
# It runs the same from the repository and from the unpacked release archive,
# and tells them apart by the folders beside kit/:
#   repository  DLLs from build/windows-x86/ and build/windows-x64/;
#               the SWC and the ANE land in build/kit/.
#   archive     DLLs from Windows-x86/ and Windows-x86-64/ beside kit/;
#               the SWC and the ANE land in ane/ beside kit/.
# VELMORANT_BUILD_DIR names a build folder to take the DLLs from instead (in
# its windows-x86/ and windows-x64/), and then the output goes to its kit/;
# VELMORANT_KIT_OUT overrides the output folder in every case.
set -euo pipefail

kit=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$kit")
class=com.velmorant.utils.VelmorantUtils
dll_name=VelmorantUtils.dll

# The release archive is told by its platform folders; anywhere else the
# DLLs come from a build folder, the repository's unless one is named.
if [ -z "${VELMORANT_BUILD_DIR:-}" ] && { [ -d "$root/Windows-x86" ] || [ -d "$root/Windows-x86-64" ]; }; then
    layout=archive
    out_dir=${VELMORANT_KIT_OUT:-$root/ane}
else
    layout=build
    build_dir=${VELMORANT_BUILD_DIR:-$root/build}
    out_dir=${VELMORANT_KIT_OUT:-$build_dir/kit}
fi

# The DLL for a platform: in the archive the folder is the platform's name,
# in a build folder the preset's.
dll_path() {
    local platform=$1 preset=$2
    if [ "$layout" = archive ]; then
        printf '%s\n' "$root/$platform/$dll_name"
    else
        printf '%s\n' "$build_dir/$preset/$dll_name"
    fi
}

say() { printf 'package.sh: %s\n' "$*" >&2; }

# The SDK's tools are shell scripts on macOS and Linux, batch files on Windows.
sdk_tool() {
    local name=$1 candidate
    for candidate in "$AIR_SDK_HOME/bin/$name" "$AIR_SDK_HOME/bin/$name.bat"; do
        if [ -f "$candidate" ] && [ -x "$candidate" ]; then
            printf '%s\n' "$candidate"
            return 0
        fi
    done
    return 1
}

# Prints the machine field of a PE file's header (014c for x86, 8664 for
# x86-64), or nothing when the file is not a PE image. A DLL of the wrong
# width in a platform's slot would only fail on the user's machine, as a
# missing extension.
pe_machine() {
    local file=$1 offset signature
    offset=$(od -An -tu4 -j60 -N4 "$file" 2>/dev/null | tr -d ' \n')
    [ -n "$offset" ] || return 0
    signature=$(od -An -tx1 -j"$offset" -N4 "$file" 2>/dev/null | tr -d ' \n')
    [ "$signature" = 50450000 ] || return 0
    od -An -tx2 -j$((offset + 4)) -N2 "$file" | tr -d ' \n'
}

problems=()

if [ -z "${AIR_SDK_HOME:-}" ]; then
    problems+=("AIR_SDK_HOME is not set: point it at an AIR SDK, the folder that holds bin/compc and bin/adt")
elif [ ! -d "$AIR_SDK_HOME" ]; then
    problems+=("AIR_SDK_HOME=$AIR_SDK_HOME is not a folder")
else
    compc=$(sdk_tool compc) || problems+=("no compc in $AIR_SDK_HOME/bin (AIR_SDK_HOME must be the SDK's top folder)")
    adt=$(sdk_tool adt) || problems+=("no adt in $AIR_SDK_HOME/bin (AIR_SDK_HOME must be the SDK's top folder)")
fi

# compc writes the SDK's newest SWF version unless told, and adt refuses a
# library whose SWF version is above what the descriptor's namespace allows.
# From namespace 50.0 on, that version is the namespace's major number.
namespace_major=$(sed -n 's|.*xmlns="http://ns\.adobe\.com/air/extension/\([0-9][0-9]*\)\.[0-9][0-9]*".*|\1|p' \
    "$kit/extension.xml" | head -n 1)
if [ -z "$namespace_major" ]; then
    problems+=("$kit/extension.xml declares no http://ns.adobe.com/air/extension/N.N namespace")
elif [ "$namespace_major" -lt 50 ]; then
    problems+=("$kit/extension.xml: namespace $namespace_major.x is older than 50.0; this script knows the SWF version only from 50.0 on")
fi
swf_version=$namespace_major

# platform name in extension.xml, build preset, PE machine
slots=("Windows-x86 windows-x86 014c" "Windows-x86-64 windows-x64 8664")
for slot in "${slots[@]}"; do
    read -r platform preset machine <<<"$slot"
    dll=$(dll_path "$platform" "$preset")
    if [ ! -f "$dll" ] && [ "$layout" = archive ]; then
        problems+=("missing $dll: the archive is incomplete, unpack it again")
    elif [ ! -f "$dll" ]; then
        problems+=("missing $dll: build the $preset configuration first")
    elif [ "$(pe_machine "$dll")" != "$machine" ]; then
        problems+=("$dll is not a $platform DLL")
    fi
done

if command -v unzip >/dev/null 2>&1; then
    unpack() { unzip -q -o "$1" library.swf -d "$2"; }
elif command -v python3 >/dev/null 2>&1; then
    unpack() { python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extract("library.swf", sys.argv[2])' "$1" "$2"; }
else
    problems+=("neither unzip nor python3 is installed: one is needed to take library.swf out of the SWC")
fi

if [ ${#problems[@]} -gt 0 ]; then
    for problem in "${problems[@]}"; do
        say "$problem"
    done
    exit 1
fi

# The staging folder is temporary, so that nothing but the SWC and the ANE is left beside them.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$out_dir" "$stage/Windows-x86" "$stage/Windows-x86-64" "$stage/default"

swc=$out_dir/VelmorantUtils.swc
default_swc=$stage/default.swc
ane=$out_dir/VelmorantUtils.ane
rm -f "$swc" "$ane"

# Applications compile against the Windows class; the default one only has to
# provide the same API at run time, so it is not shipped as a SWC.
"$compc" +configname=air -swf-version="$swf_version" -source-path "$kit/actionscript/src" \
    -include-classes "$class" -output "$swc"
"$compc" +configname=air -swf-version="$swf_version" -source-path "$kit/actionscript/default" \
    -include-classes "$class" -output "$default_swc"

for slot in "${slots[@]}"; do
    read -r platform preset machine <<<"$slot"
    unpack "$swc" "$stage/$platform"
    cp "$(dll_path "$platform" "$preset")" "$stage/$platform/$dll_name"
done
unpack "$default_swc" "$stage/default"

"$adt" -package -target ane "$ane" "$kit/extension.xml" -swc "$swc" \
    -platform Windows-x86 -C "$stage/Windows-x86" library.swf "$dll_name" \
    -platform Windows-x86-64 -C "$stage/Windows-x86-64" library.swf "$dll_name" \
    -platform default -C "$stage/default" library.swf

[ -f "$ane" ] || { say "adt finished without writing $ane"; exit 1; }
printf 'package.sh: wrote %s and %s\n' "$swc" "$ane"
