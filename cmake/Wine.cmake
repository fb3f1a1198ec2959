# Runs the Windows programs this build makes under Wine, each build tree in a prefix of its own, so that a
# test run starts from Wine's defaults and never touches the user's own prefix.
#
# A 64-bit tree calls Wine's 64-bit loader itself rather than the `wine` front end, which always starts the
# 32-bit loader first: on a machine that cannot run 32-bit Linux programs, that first step is what fails.
#
# Sets WINE_RUN, the runner, only when Wine is installed.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(WINE_ARCH win64)
  find_program(WINE_PROGRAM NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine NO_DEFAULT_PATH)
  find_program(WINE_PROGRAM NAMES wine64 wine)
else()
  set(WINE_ARCH win32)
  find_program(WINE_PROGRAM wine)
endif()
find_program(WINESERVER_PROGRAM wineserver)
if(NOT WINE_PROGRAM OR NOT WINESERVER_PROGRAM)
  return()
endif()
set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
# What Wine's own background processes write, kept apart from the programs' output.
set(WINE_LOG ${CMAKE_BINARY_DIR}/wine-background.log)
# The runs' XDG_RUNTIME_DIR where the environment has none.
set(WINE_XDG_RUNTIME_DIR ${CMAKE_BINARY_DIR}/xdg-runtime)

configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_RUN})

# Whether this machine runs the programs of this width. Some kernels (64-bit-only virtual machines among them)
# refuse every 32-bit Linux program, Wine's 32-bit loader included: there the 32-bit tree is built, but only
# its tests that need no Wine are registered, and the package tree leaves out its 32-bit sessions.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/win32-runs.sh RESULT_VARIABLE win32_status
                  OUTPUT_QUIET ERROR_QUIET)
  if(win32_status EQUAL 0)
    set(runs_programs ON)
  else()
    set(runs_programs OFF)
    message(WARNING "This machine cannot run 32-bit programs: only the 32-bit tests that need no Wine are "
                    "registered; the rest of the 32-bit suite is NOT RUN")
  endif()
else()
  set(runs_programs ON)
endif()
set(VELMORANT_RUNS_PROGRAMS ${runs_programs} CACHE INTERNAL "Whether Wine runs this tree's programs here")
