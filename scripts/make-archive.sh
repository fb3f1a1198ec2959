#!/bin/sh
# Makes the release from what the package tree built: OUT/VelmorantUtils-VERSION.zip, the apm package AIRPACKAGE
# beside it, and OUT/SHA256SUMS of both. Run by the package tree's "release" target (scripts/release.sh builds it).
#   scripts/make-archive.sh OUT VERSION EPOCH_FILE ANE AIRPACKAGE README TREE=PLATFORM...
# Under one top folder: each tree's DLL in PLATFORM/, its velmorant-host.exe and "Adobe AIR.dll" in
# tools/PLATFORM/, the ready .ane and the apm package, README.txt, the ActionScript sources and kit/package.sh,
# the sample application, the licence and the changelog. The same commit gives the same bytes: the entries
# sorted, every file 0644 but the two scripts (0755, their mode in git), every timestamp the commit's
# (EPOCH_FILE), written in UTC. A checkout with uncommitted changes makes VelmorantUtils-VERSION-dirty.zip (the
# package keeps the name apm reads). OUT holds the archive, the package and their checksums, or nothing: a
# failure leaves no part behind.
set -eu
cd "$(dirname "$0")/.."
[ $# -ge 7 ] || {
    echo "usage: scripts/make-archive.sh OUT VERSION EPOCH_FILE ANE AIRPACKAGE README TREE=PLATFORM..." >&2
    exit 2
}
out=$1 version=$2 epoch=$(cat "$3") ane=$4 airpackage=$5 readme=$6
shift 6
package=${airpackage##*/}

name=VelmorantUtils-$version
[ -z "$(git status --porcelain 2>/dev/null)" ] || name=$name-dirty

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
top=$stage/$name
# install sets each file's permissions whatever the checkout's umask made them.
for pair in "$@"; do
    tree=${pair%%=*} platform=${pair#*=}
    install -D -m 0644 "$tree/VelmorantUtils.dll" "$top/$platform/VelmorantUtils.dll"
    install -D -m 0644 "$tree/velmorant-host.exe" "$top/tools/$platform/velmorant-host.exe"
    install -D -m 0644 "$tree/Adobe AIR.dll" "$top/tools/$platform/Adobe AIR.dll"
done
# The kit's sources and its re-packaging script, and the sample application, as the commit has them.
git ls-files --stage -- kit/package.sh kit/actionscript/src kit/actionscript/default examples |
    while read -r mode _ _ path; do
        case "$mode" in
            100755) permissions=0755 ;;
            *) permissions=0644 ;;
        esac
        install -D -m "$permissions" "$path" "$top/$path"
    done
install -m 0644 LICENSE CHANGELOG.md "$top/"
install -m 0644 "$readme" "$top/README.txt"
install -m 0644 "$ane" "$top/VelmorantUtils.ane"
install -m 0644 "$airpackage" "$top/"

# No timestamp from the clock or the file system: every file carries the commit's, and zip writes it in UTC.
find "$top" -exec touch -h -d "@$epoch" {} +
(cd "$stage" && find "$name" -type f | LC_ALL=C sort | TZ=UTC0 zip -q -X -D -9 "$stage/$name.zip" -@)
cp -p "$top/$package" "$stage/"
(cd "$stage" && sha256sum "$name.zip" "$package" >SHA256SUMS)
rm -rf "$out"
mkdir -p "$out"
mv "$stage/$name.zip" "$stage/$package" "$stage/SHA256SUMS" "$out/"
echo "release: wrote $out/$name.zip and $out/$package"
cat "$out/SHA256SUMS"
