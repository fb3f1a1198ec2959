# velmorant_apm_check(ID VERSION): the extension id and version that the apm package carries, checked against
# the rules apm, the AIR SDK's package manager, holds a package to. One it would refuse stops the configuration,
# named with the rule: a package made anyway would only fail later, on the user's machine.
#
# Also runs alone, for a test: cmake -DID=com.example.Name -DVERSION=1.0.0 -P cmake/ApmPackage.cmake
function(velmorant_apm_check id version)
  string(LENGTH "${id}" length)
  if(length LESS 6 OR NOT id MATCHES "^([A-Za-z][A-Za-z0-9_]*\\.)*[A-Za-z][A-Za-z0-9_]*$")
    message(FATAL_ERROR "The extension id '${id}' is not one apm takes: at least 6 characters, words of letters, "
                        "digits and '_' that each start with a letter, joined by '.' (kit/extension.xml.in). "
                        "Nothing was built.")
  endif()
  # Semantic versioning: MAJOR.MINOR.PATCH without leading zeros, then an optional -pre.release and +build.
  set(number "(0|[1-9][0-9]*)")
  set(pre "(0|[1-9][0-9]*|[0-9]*[A-Za-z-][0-9A-Za-z-]*)")
  set(build "[0-9A-Za-z-]+")
  if(NOT version MATCHES "^${number}\\.${number}\\.${number}(-${pre}(\\.${pre})*)?(\\+${build}(\\.${build})*)?$")
    message(FATAL_ERROR "The version '${version}' is not one apm takes: a semantic version, MAJOR.MINOR.PATCH "
                        "(project() in CMakeLists.txt). Nothing was built.")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  velmorant_apm_check("${ID}" "${VERSION}")
  message(STATUS "apm takes ${ID} ${VERSION}")
endif()
