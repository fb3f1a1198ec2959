# Runs the Windows programs this build makes under Wine, each build tree in a prefix of its own, so that a
# test run starts from Wine's defaults and never touches the user's own prefix.
find_program(WINE_PROGRAM wine REQUIRED)
find_program(WINESERVER_PROGRAM wineserver REQUIRED)

if(VELMORANT_ARCH STREQUAL "x86_64")
  set(WINE_ARCH win64)
else()
  set(WINE_ARCH win32)
endif()
set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)

configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_RUN})
