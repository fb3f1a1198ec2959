# velmorant_swf_version(NAMESPACE OUT): the SWF version that the descriptor namespace NAMESPACE (such as 33.1)
# allows, from cmake/air-namespaces.txt. A namespace the table does not hold stops the configuration, named
# beside the ones it knows: a guessed SWF version would only fail later, in the user's own packaging.
#
# Also runs alone, for a test: cmake -DNAMESPACE=33.1 -P cmake/AirNamespaces.cmake prints the SWF version.
function(velmorant_swf_version namespace out)
  file(STRINGS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/air-namespaces.txt rows REGEX "^[0-9]")
  set(known)
  foreach(row IN LISTS rows)
    string(REGEX MATCH "^([0-9.]+) +([0-9]+)" pair "${row}")
    if(CMAKE_MATCH_1 STREQUAL namespace)
      set(${out} ${CMAKE_MATCH_2} PARENT_SCOPE)
      return()
    endif()
    list(APPEND known ${CMAKE_MATCH_1})
  endforeach()
  list(JOIN known ", " known)
  message(FATAL_ERROR "The extension namespace '${namespace}' is not one the packaging knows, which are ${known} "
                      "(cmake/air-namespaces.txt). Nothing was built.")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  velmorant_swf_version("${NAMESPACE}" version)
  message(STATUS "SWF version ${version}")
endif()
