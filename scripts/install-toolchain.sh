#!/bin/sh
# Installs what building and testing need, from Debian's packages, when it is missing: mingw-w64 for both
# Windows targets, LLVM's linker for the DLLs, Wine for both, CMake, Ninja, GoogleTest's sources, clang-tidy,
# and the Unicorn CPU emulator for Debian's Python 3, which runs the 32-bit DLL where 32-bit programs cannot run.
# Quick and silent when all is there.
set -eu

# The release archive is made with zip, and its test unpacks it with unzip.
if ! command -v zip >/dev/null || ! command -v unzip >/dev/null; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "install-toolchain: zip or unzip is missing, and installing Debian's zip and unzip needs root" >&2
        exit 1
    fi
    "$(dirname "$0")/apt-install.sh" zip unzip
fi

have_all() {
    command -v i686-w64-mingw32-g++-posix >/dev/null &&
        command -v x86_64-w64-mingw32-g++-posix >/dev/null &&
        command -v i686-w64-mingw32-dlltool >/dev/null &&
        command -v x86_64-w64-mingw32-dlltool >/dev/null &&
        command -v ld.lld >/dev/null && command -v clang-tidy >/dev/null &&
        command -v wine >/dev/null && [ -x /usr/lib/wine/wine ] && [ -x /usr/lib/wine/wine64 ] &&
        command -v cmake >/dev/null && command -v ninja >/dev/null &&
        [ -f /usr/src/googletest/CMakeLists.txt ] &&
        /usr/bin/python3 -c 'import unicorn' 2>/dev/null
}

if have_all; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "install-toolchain: missing build tools, and installing them needs root (apt-get)" >&2
    exit 1
fi

echo "install-toolchain: installing mingw-w64, LLVM's linker, Wine, CMake, Ninja, GoogleTest, clang-tidy and Unicorn from Debian's packages"
# Wine's 32-bit half comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
"$(dirname "$0")/apt-install.sh" \
    g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686 \
    g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 \
    lld \
    wine wine32:i386 wine64 \
    cmake ninja-build googletest clang-tidy python3 python3-unicorn
have_all || { echo "install-toolchain: tools still missing after installing" >&2; exit 1; }
