# Turns a module library into a DLL that links no C or C++ runtime and has no entry point, hardened like a
# current Windows build. Such a module is one file with nothing to redistribute beside it.
#
# GCC compiles it and LLVM's ld.lld, in its MinGW mode, links it. ld.lld puts the import address table inside
# the read-only .rdata, which the loader makes writable only while it binds the imports; GNU ld keeps it in an
# .idata section that stays writable, so a stray write could redirect a system call. ld.lld is called
# directly: a GCC configured with a fixed linker (Debian's mingw-w64 is) ignores -fuse-ld=lld without a word.

find_program(VELMORANT_LLD NAMES ld.lld REQUIRED)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(lld_emulation i386pep)
else()
  set(lld_emulation i386pe)
endif()
# Windows' import libraries (libuser32.a and the rest), where the compiler itself finds them.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libuser32.a
                OUTPUT_VARIABLE user32_library OUTPUT_STRIP_TRAILING_WHITESPACE)
cmake_path(GET user32_library PARENT_PATH windows_libraries)
if(NOT IS_DIRECTORY "${windows_libraries}")
  message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where libuser32.a is")
endif()

# In this project a MODULE library is a freestanding DLL: loaded by name at run time, never linked against.
# The hosts, tests and the stand-in runtime are linked by the compiler as usual.
set(CMAKE_CXX_CREATE_SHARED_MODULE
    "${VELMORANT_LLD} -m ${lld_emulation} --shared -L${windows_libraries} <LINK_FLAGS> -o <TARGET> <OBJECTS> <LINK_LIBRARIES>")

function(velmorant_freestanding_dll target)
  get_target_property(type ${target} TYPE)
  if(NOT type STREQUAL "MODULE_LIBRARY")
    message(FATAL_ERROR "${target}: a freestanding DLL is made from a MODULE library")
  endif()

  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    # The x64 ABI requires unwind data (.pdata and .xdata) for every function that saves registers,
    # allocates stack or calls out, so that exceptions, debuggers and crash dumps can walk through it.
    set(unwind_tables)
    set(hardening --dynamicbase --nxcompat --high-entropy-va)
  else()
    # 32-bit Windows unwinds by frame-based handlers, and the module installs none.
    set(unwind_tables -fno-asynchronous-unwind-tables)
    set(hardening --dynamicbase --nxcompat --no-seh)
  endif()
  target_compile_options(${target} PRIVATE
    -Os -Wall -Wextra -Werror
    -fno-exceptions -fno-rtti ${unwind_tables} -fno-ident -fno-stack-protector
    # Copies and clears of whole records become inline string instructions rather than calls to memcpy
    # and memset, which no runtime is here to supply.
    -minline-all-stringops)

  target_link_options(${target} PRIVATE
    -s
    # No entry point: the module does no work when it is loaded or unloaded.
    --Xlink=-noentry
    # The same sources make the same bytes.
    --no-insert-timestamp
    ${hardening})
  set_target_properties(${target} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()
