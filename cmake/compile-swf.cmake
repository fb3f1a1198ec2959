# Compiles ActionScript classes into a SWC with Apache Royale's compc, and takes the SWC's library.swf and
# catalog.xml out of it. Any error or warning the compiler reports fails the step.
#   cmake -DCOMPC=PATH -DSWF_VERSION=N -DOUT=DIR -DSOURCE_PATH=DIR[;DIR...] -DCLASSES=a.B[;c.D...]
#         [-DEXTERNS_FROM=DIR] [-DDEFINE=NAMESPACE::NAME,VALUE] -P cmake/compile-swf.cmake
# EXTERNS_FROM names a folder of declarations of the runtime's own classes: they are compiled against and
# linked as externs, so the SWF defines only CLASSES and the runtime's classes are found at run time.
set(arguments -compiler.targets=SWF -swf-version=${SWF_VERSION}
              # No debug information: it would carry the source folders' absolute paths into the SWF.
              -debug=false
              -source-path ${SOURCE_PATH} -include-classes ${CLASSES})
if(DEFINED DEFINE)
  list(APPEND arguments -define=${DEFINE})
endif()
if(DEFINED EXTERNS_FROM)
  file(GLOB_RECURSE declarations RELATIVE ${EXTERNS_FROM} ${EXTERNS_FROM}/*.as)
  list(TRANSFORM declarations REPLACE "\\.as$" "")
  list(TRANSFORM declarations REPLACE "/" ".")
  list(APPEND arguments -externs ${declarations})
endif()

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${COMPC} ${arguments} -output ${OUT}/library.swc
                OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR log MATCHES "(Error|Warning): " OR NOT EXISTS ${OUT}/library.swc)
  file(REMOVE_RECURSE ${OUT})
  message(FATAL_ERROR "compc failed on ${CLASSES} (exit ${status}):\n${log}")
endif()
file(ARCHIVE_EXTRACT INPUT ${OUT}/library.swc DESTINATION ${OUT} PATTERNS library.swf catalog.xml)
