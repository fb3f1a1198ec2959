# Turns a shared-library target into a DLL that links no C or C++ runtime and has no entry point, hardened
# like a current Windows build. Such a module is one file with nothing to redistribute beside it.
function(velmorant_freestanding_dll target)
  target_compile_options(${target} PRIVATE
    -Os -Wall -Wextra -Werror
    -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-ident -fno-stack-protector
    # Copies and clears of whole records become inline string instructions rather than calls to memcpy
    # and memset, which no runtime is here to supply.
    -minline-all-stringops)

  set(hardening -Wl,--dynamicbase -Wl,--nxcompat)
  if(VELMORANT_ARCH STREQUAL "x86_64")
    list(APPEND hardening -Wl,--high-entropy-va)
  else()
    # The module installs no exception handlers of its own.
    list(APPEND hardening -Wl,--no-seh)
  endif()
  target_link_options(${target} PRIVATE
    -nostdlib -s
    # No entry point: the module does no work when it is loaded or unloaded.
    -Wl,--entry,0
    # The same sources make the same bytes.
    -Wl,--no-insert-timestamp
    ${hardening})
  set_target_properties(${target} PROPERTIES PREFIX "")
endfunction()
