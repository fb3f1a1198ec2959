# Every function of the 32-bit module leaves its arguments for the caller to remove, as the runtime's C calling
# convention requires. A function that removes them itself ends in `ret N`, and a runtime calling it would find
# its stack N bytes off after every call. Read from the file alone, so it holds on any machine that builds it.
# Run with -DOBJDUMP=... -DMODULE=...
execute_process(COMMAND ${OBJDUMP} -d ${MODULE} OUTPUT_VARIABLE listing ERROR_VARIABLE problem RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} could not disassemble ${MODULE}:\n${problem}")
endif()
if(NOT listing MATCHES "\tret")
  message(FATAL_ERROR "no return instruction found in ${MODULE}: nothing was checked")
endif()
string(REGEX MATCHALL "[^\n]*\tret +\\$0x[0-9a-f]+" calleeCleansUp "${listing}")
if(calleeCleansUp)
  list(JOIN calleeCleansUp "\n" shown)
  message(FATAL_ERROR "functions that remove their own arguments (stdcall), which the runtime does not expect:\n${shown}")
endif()
