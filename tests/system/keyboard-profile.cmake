# A keyboard speed set and never restored stays the user's setting: a process that starts after the first one
# has ended, and after the wineserver that held the session's settings has stopped, reads it back from the
# profile. Run with -DWINE_RUN=... -DHOST=... -DMODULE=...
function(run_host output)
  execute_process(COMMAND ${WINE_RUN} ${HOST} ${MODULE} ${ARGN}
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "velmorant-host ${ARGN} failed (${status}):\n${out}${err}")
  endif()
  set(${output} "${out}" PARENT_SCOPE)
endfunction()

function(speed_in text output)
  if(NOT text MATCHES "keyboard speed ([0-9]+)")
    message(FATAL_ERROR "no keyboard speed in:\n${text}")
  endif()
  set(${output} ${CMAKE_MATCH_1} PARENT_SCOPE)
endfunction()

run_host(report system)
speed_in("${report}" original)
if(original EQUAL 5)
  set(changed 6)
else()
  set(changed 5)
endif()

run_host(report as_setKeyboardSpeed:${changed})
execute_process(COMMAND ${WINE_RUN} --stop-server)
run_host(report system)
speed_in("${report}" readBack)

# Put the prefix back as it was; the module in this new process has captured nothing, so set it directly.
run_host(ignored as_setKeyboardSpeed:${original})

if(NOT readBack EQUAL changed)
  message(FATAL_ERROR "set ${changed} without a restore, but a later process read ${readBack}")
endif()
message(STATUS "speed ${changed} outlived its process and the wineserver")
