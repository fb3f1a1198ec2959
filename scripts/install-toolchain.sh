#!/bin/sh
# Installs what building and releasing need, when it is missing, and says what it installs: from Debian's
# packages mingw-w64 for both Windows targets, LLVM's linker, Wine for both, CMake, Ninja, GoogleTest's
# sources, clang-tidy, Python 3 with pefile and the Unicorn CPU emulator, zip and unzip, Java and Node.js;
# and, from npm, Apache Royale's SWF compiler as pinned by scripts/swf-compiler/package-lock.json. Quick and
# silent when all is there. The same names serve Debian 12 and 13. As a user, apt-get and dpkg run through sudo
# and nothing else does; without root and without a usable sudo it names what is missing and stops.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

# Each tool, and the Debian packages that bring it.
missing_packages() {
    for tool in i686-w64-mingw32-g++-posix:"g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686" \
        x86_64-w64-mingw32-g++-posix:"g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64" \
        ld.lld:lld clang-tidy:clang-tidy cmake:cmake ninja:ninja-build zip:zip unzip:unzip \
        java:default-jre-headless node:nodejs npm:npm; do
        command -v "${tool%%:*}" >/dev/null || echo "${tool#*:}"
    done
    { command -v wine >/dev/null && [ -x /usr/lib/wine/wine ] && [ -x /usr/lib/wine/wine64 ]; } ||
        echo wine wine32:i386 wine64
    [ -f /usr/src/googletest/CMakeLists.txt ] || echo googletest
    /usr/bin/python3 -c 'import pefile' 2>/dev/null || echo python3 python3-pefile
    # Debian 12's unicorn imports distutils without depending on it; Debian 13 has no distutils, and its
    # unicorn needs none.
    /usr/bin/python3 -c 'import unicorn' 2>/dev/null || echo python3 python3-unicorn 'python3-distutils?'
}

# The packages as the messages name them: a NAME? is one the release may not offer.
named() { echo "$packages" | sed 's/\([^ ]*\)?/(\1 where the release has it)/g'; }

packages=$(missing_packages | tr '\n' ' ')
if [ -n "$packages" ]; then
    # sudo -v asks for the user's password when sudo wants one, and fails where the user may not use it.
    if [ "$(id -u)" -ne 0 ] && ! { command -v sudo >/dev/null && sudo -v; }; then
        echo "install-toolchain: missing, and installing them needs root or sudo (apt-get): $(named)" >&2
        exit 1
    fi
    echo "install-toolchain: installing from Debian's packages: $(named)"
    # Wine's 32-bit half comes from the i386 architecture.
    dpkg --print-foreign-architectures | grep -qx i386 || "$root/scripts/as-root.sh" dpkg --add-architecture i386
    # Slim container images, which run as root, leave out the man folders that Java's alternatives link into.
    [ "$(id -u)" -ne 0 ] || mkdir -p /usr/share/man/man1
    # shellcheck disable=SC2086 # one argument per package
    "$root/scripts/apt-install.sh" --no-install-recommends $packages
    packages=$(missing_packages | tr '\n' ' ')
    [ -z "$packages" ] || { echo "install-toolchain: still missing after installing: $(named)" >&2; exit 1; }
fi

"$root/scripts/npm-ci.sh" "$root/scripts/swf-compiler" "Apache Royale's SWF compiler"
