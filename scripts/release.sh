#!/bin/sh
# Makes the release of the checked-out commit: build/release/VelmorantUtils-<version>.zip and
# build/release/SHA256SUMS. Under one top folder the archive holds both DLLs, the extension kit,
# velmorant-host with the stand-in runtime for each width, a README, the licence and the changelog.
#   scripts/release.sh [--dirty]
# The same commit gives the same bytes: the entries in a fixed order, with fixed permissions, and every
# timestamp the commit's. A checkout with uncommitted changes is refused, unless --dirty is given; the archive
# is then named VelmorantUtils-<version>-dirty.zip.
set -eu
cd "$(dirname "$0")/.."

say() { echo "release: $*" >&2; }
need() {
    command -v "$1" >/dev/null 2>&1 && return 0
    say "$1 is missing: $2"
    exit 1
}

allow_dirty=no
case "$*" in
    "") ;;
    --dirty) allow_dirty=yes ;;
    *) echo "usage: scripts/release.sh [--dirty]" >&2; exit 2 ;;
esac

need git "install Debian's git package; the release is made from a git checkout"
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    say "$(pwd) is not a git checkout: the release is made from one, and takes its timestamps from its commit"
    exit 1
fi
suffix=
if [ -n "$(git status --porcelain)" ]; then
    if [ "$allow_dirty" = no ]; then
        say "the checkout has uncommitted changes (see git status): commit them first, or run" \
            "scripts/release.sh --dirty for an archive named -dirty"
        exit 1
    fi
    suffix=-dirty
fi

scripts/install-toolchain.sh
need zip "install Debian's zip package (scripts/install-toolchain.sh does, as root)"
need sha256sum "install Debian's coreutils package"

SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH

# Only what the archive holds is built, in the presets' own trees.
for preset in windows-x86 windows-x64; do
    cmake --preset "$preset"
    cmake --build --preset "$preset" --target VelmorantUtils air-runtime velmorant-host
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows-x86/CMakeCache.txt)
[ -n "$version" ] || { say "CMake reported no project version"; exit 1; }
name=VelmorantUtils-$version$suffix

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
top=$stage/$name

# install sets each file's permissions whatever the checkout's umask made them.
for width in windows-x86:Windows-x86 windows-x64:Windows-x86-64; do
    preset=${width%%:*} platform=${width#*:}
    install -D -m 0644 "build/$preset/VelmorantUtils.dll" "$top/$platform/VelmorantUtils.dll"
    install -D -m 0644 "build/$preset/velmorant-host.exe" "$top/tools/$platform/velmorant-host.exe"
    install -D -m 0644 "build/$preset/Adobe AIR.dll" "$top/tools/$platform/Adobe AIR.dll"
done
# The kit as the commit has it: a file's permissions follow its mode in git.
git ls-files --stage -- kit | while read -r mode _ _ path; do
    case "$mode" in
        100755) permissions=0755 ;;
        *) permissions=0644 ;;
    esac
    install -D -m "$permissions" "$path" "$top/$path"
done
install -m 0644 LICENSE CHANGELOG.md "$top/"
cat >"$top/README.txt" <<EOF
VelmorantUtils $version

VelmorantUtils.dll is a native extension library for Adobe AIR applications on Windows. An application
calls four functions by name through an extension context:

  as_setScreenResolution(width, height)  switches the default display to that size, keeping the rest of
                                         the mode; true when Windows accepts it. A third argument of
                                         1 makes the switch temporary: Windows undoes it by itself
                                         when the application's process ends
  as_restoreScreenResolution()           puts back the mode from before the first switch
  as_setKeyboardSpeed(speed)             sets the keyboard auto-repeat speed, 0 (slow) to 31 (fast),
                                         stored in the user's profile
  as_restoreKeyboardSpeed()              puts back the speed from before the first change

The library itself restores nothing when the application quits; the restore functions do. The kit's
ActionScript class calls the screen's restore when the application exits.


WHAT IS IN THIS ARCHIVE

  Windows-x86/VelmorantUtils.dll     the library for 32-bit AIR applications
  Windows-x86-64/VelmorantUtils.dll  the same library for 64-bit (Windows-x86-64) applications
  kit/                               extension.xml (the descriptor), the ActionScript class in
                                     actionscript/src, a do-nothing class for other platforms in
                                     actionscript/default, and package.sh, which builds the ANE
  tools/Windows-x86/                 velmorant-host.exe and "Adobe AIR.dll", a small stand-in for the
  tools/Windows-x86-64/              AIR runtime: they load the DLL of the same width and call its
                                     functions, to try it without the AIR SDK
  LICENSE                            the MIT licence
  CHANGELOG.md                       what changed in each version

Each DLL needs nothing beside it: no C or C++ runtime to redistribute.


PACKAGING IT INTO AN ANE

On Linux or macOS, with an AIR SDK (package.sh runs its bin/compc and bin/adt, and needs unzip or
python3), from this folder:

  AIR_SDK_HOME=/path/to/AIRSDK kit/package.sh

It builds ane/VelmorantUtils.swc and ane/VelmorantUtils.ane in this folder from the kit and the two DLLs
here, or says plainly what is missing.


TRYING IT ON WINDOWS

WARNING: this changes the real display mode of your PC for a moment. The screen switches to 800x600
and back; windows may be moved or resized. Save your work first.

In a command prompt or PowerShell, in this folder:

  .\\tools\\Windows-x86\\velmorant-host.exe .\\Windows-x86\\VelmorantUtils.dll as_setScreenResolution:800,600 system as_restoreScreenResolution system

It switches, prints the mode, restores and prints the mode again:

  as_setScreenResolution(800, 600) -> true
  system: display 800x600, 32 bpp, 60 Hz; keyboard speed 31
  as_restoreScreenResolution() -> null
  system: display 1920x1080, 32 bpp, 60 Hz; keyboard speed 31

with your own display's mode, depth, frequency and keyboard speed. With as_setScreenResolution:800,600,1
and no restore, the switch is temporary: Windows puts your mode back as velmorant-host exits. For the 64-bit DLL, on 64-bit
Windows, write Windows-x86-64 for Windows-x86 in both paths. velmorant-host.exe --help lists every step.
EOF

# No timestamp from the clock or the file system: every file carries the commit's, and zip writes it in UTC.
find "$top" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
rm -rf build/release
mkdir -p build/release
archive=$(pwd)/build/release/$name.zip
(cd "$stage" && find "$name" -type f | LC_ALL=C sort | TZ=UTC0 zip -q -X -D -9 "$archive" -@)
(cd build/release && sha256sum "$name.zip" >SHA256SUMS)

echo "release: wrote build/release/$name.zip and build/release/SHA256SUMS"
cat build/release/SHA256SUMS
