#!/bin/sh
# Makes the release of the checked-out commit: build/release/VelmorantUtils-<version>.zip and
# build/release/SHA256SUMS. Under one top folder the archive holds both DLLs, VelmorantUtils.ane made from
# them and the kit (scripts/make-ane.py), the extension kit, velmorant-host with the stand-in runtime for
# each width, a README, the licence and the changelog.
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
# Apache Royale's compc, for the ANE's library.swf files.
scripts/install-kit-tools.sh
need zip "install Debian's zip package (scripts/install-toolchain.sh does, as root)"
need sha256sum "install Debian's coreutils package"

SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH

# Each build's preset and AIR platform name.
builds() { sed -n 's/^\([a-z][^ ]*\) *[0-9]* *\([^ ]*\).*/\1 \2/p' cmake/platforms.txt; }

# Only what the archive holds is built, in the presets' own trees.
builds | while read -r preset _; do
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
builds | while read -r preset platform; do
    install -D -m 0644 "build/$preset/VelmorantUtils.dll" "$top/$platform/VelmorantUtils.dll"
    install -D -m 0644 "build/$preset/velmorant-host.exe" "$top/tools/$platform/velmorant-host.exe"
    install -D -m 0644 "build/$preset/Adobe AIR.dll" "$top/tools/$platform/Adobe AIR.dll"
done
# The kit and the sample application as the commit has them: a file's permissions follow its mode in git.
git ls-files --stage -- kit examples | while read -r mode _ _ path; do
    case "$mode" in
        100755) permissions=0755 ;;
        *) permissions=0644 ;;
    esac
    install -D -m "$permissions" "$path" "$top/$path"
done
install -m 0644 LICENSE CHANGELOG.md "$top/"
# From the kit and the DLLs as the archive holds them, so the package carries the same bytes.
/usr/bin/python3 scripts/make-ane.py "$top/kit" "$top" "$top/VelmorantUtils.ane"
cat >"$top/README.txt" <<EOF
VelmorantUtils $version

VelmorantUtils.dll is a native extension library for Adobe AIR applications on Windows. An application
calls four functions by name through an extension context:

  as_setScreenResolution(width, height)  switches the default display to that size, keeping the rest of
                                         the mode; true when Windows accepts it. A third argument of
                                         1 makes the switch temporary: Windows is seen to undo it
                                         by itself when the application's process ends (observed,
                                         not documented by Microsoft)
  as_restoreScreenResolution()           puts back the mode from before the first switch
  as_setKeyboardSpeed(speed)             sets the keyboard auto-repeat speed, 0 (slow) to 31 (fast),
                                         stored in the user's profile
  as_restoreKeyboardSpeed()              puts back the speed from before the first change

The library itself restores nothing when the application quits; the restore functions do. The kit's
ActionScript class calls the screen's restore when the application exits.


WHAT IS IN THIS ARCHIVE

  VelmorantUtils.ane                 the native extension, ready for an application: both DLLs, the
                                     descriptor and the ActionScript class; unsigned
  Windows-x86/VelmorantUtils.dll     the library for 32-bit AIR applications
  Windows-x86-64/VelmorantUtils.dll  the same library for 64-bit (Windows-x86-64) applications
  kit/                               extension.xml (the descriptor), the ActionScript class in
                                     actionscript/src, a do-nothing class for other platforms in
                                     actionscript/default, and package.sh, which builds the ANE
  examples/resolution-picker/        a small sample application, with its descriptor and the commands
  tools/Windows-x86/                 velmorant-host.exe and "Adobe AIR.dll", a small stand-in for the
  tools/Windows-x86-64/              AIR runtime: they load the DLL of the same width and call its
                                     functions, to try it without the AIR SDK
  LICENSE                            the MIT licence
  CHANGELOG.md                       what changed in each version

Each DLL needs nothing beside it: no C or C++ runtime to redistribute.


FROM THE ARCHIVE TO A PACKAGED APPLICATION

With an AIR SDK of version 50 or later, whose bin/ folder holds amxmlc, adl and adt;
examples/resolution-picker/README.md has every command for its sample application.

1. Compile with VelmorantUtils.ane on the external library path and a SWF version of at least 50:
     amxmlc -swf-version=50 -external-library-path+=VelmorantUtils.ane -output MyApp.swf src\MyApp.as
2. In the application descriptor (MyApp-app.xml): the namespace
   http://ns.adobe.com/air/application/50.0 or later, <supportedProfiles>extendedDesktop</supportedProfiles>,
   and <extensions><extensionID>com.velmorant.VelmorantUtils</extensionID></extensions>.
3. Try it with ADL, the .ane unzipped into a folder named VelmorantUtils.ane inside a folder DIR:
     adl -profile extendedDesktop -extdir DIR MyApp-app.xml .
4. Package it as a captive-runtime folder (an .air file cannot carry a native extension), with -extdir
   naming a folder that holds VelmorantUtils.ane as it is:
     adt -package -storetype pkcs12 -keystore cert.p12 -target bundle MyApp MyApp-app.xml MyApp.swf -extdir EXT
   A native installer (-target native MyApp.exe) works the same way, but from AIR 33 on it carries no
   runtime and cannot download one, so the SDK's documentation discourages it.
5. For a 64-bit application add <architecture>64</architecture> to the descriptor, try it with adl64 and
   package it with -arch x64 after -target bundle; the runtime then loads Windows-x86-64/VelmorantUtils.dll
   from the extension.

To package or sign the extension with your own SDK's adt instead, on Linux or macOS (package.sh runs the
SDK's bin/compc and bin/adt, and needs unzip or python3), from this folder:

  AIR_SDK_HOME=/path/to/AIRSDK kit/package.sh

It writes ane/VelmorantUtils.swc and an ane/VelmorantUtils.ane with the same entries as the one above.


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
and no restore, the switch is temporary: Windows is seen to put your mode back as velmorant-host exits.
For the 64-bit DLL, on 64-bit Windows, write Windows-x86-64 for Windows-x86 in both paths.
velmorant-host.exe --help lists every step.
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
