# Cross-builds Windows binaries with mingw-w64's POSIX-threads compilers.
# VELMORANT_ARCH picks the target: i686, the 32-bit product (default), or x86_64.
set(VELMORANT_ARCH i686 CACHE STRING "Windows target processor: i686 or x86_64")
set_property(CACHE VELMORANT_ARCH PROPERTY STRINGS i686 x86_64)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELMORANT_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VELMORANT_ARCH})

set(triple ${VELMORANT_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_DLLTOOL ${triple}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The hosts and tests carry their own C and C++ runtime, so nothing but system DLLs has to be found
# when they run; the extension itself links no runtime at all.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
