# Cross-builds Windows binaries with mingw-w64's GCC. VELMORANT_ARCH picks the compilers: i686, the 32-bit
# product (default), or x86_64. The build reads the target's width from the compiler, not from this file.
#
# The compilers are found by their usual names, Debian's POSIX-threads ones first. GCC compiles everything;
# the compiler's own GNU ld links the hosts and tests, and LLVM's ld.lld links the two freestanding DLLs
# (cmake/FreestandingDll.cmake).
set(VELMORANT_ARCH i686 CACHE STRING "Windows target processor: i686 or x86_64")
set_property(CACHE VELMORANT_ARCH PROPERTY STRINGS i686 x86_64)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELMORANT_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VELMORANT_ARCH})

set(triple ${VELMORANT_ARCH}-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${triple}-gcc-posix ${triple}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${triple}-g++-posix ${triple}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${triple}-windres REQUIRED)
find_program(CMAKE_DLLTOOL NAMES ${triple}-dlltool REQUIRED)

# Target libraries and packages come from the compiler's own Windows tree (on Debian /usr/<triple>), never
# from the build machine's.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libkernel32.a
                OUTPUT_VARIABLE kernel32 OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(CMAKE_FIND_ROOT_PATH "${kernel32}/../.." ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The hosts and tests carry their own C and C++ runtime, so nothing but system DLLs has to be found
# when they run; the extension itself links no runtime at all.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
