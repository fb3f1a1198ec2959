# The release archive, made in the package tree from what it built: build/release/VelmorantUtils-<version>.zip
# and its SHA256SUMS (scripts/make-archive.sh). It is made again on every build, as the checkout's state
# (committed or not) names it.
configure_file(${PROJECT_SOURCE_DIR}/docs/README.txt.in README.txt @ONLY)

set(trees)
set(binaries)
foreach(row IN LISTS VELMORANT_PLATFORMS)
  string(REPLACE "," ";" row "${row}")
  list(GET row 0 preset)
  list(GET row 2 platform)
  list(APPEND trees ${PROJECT_SOURCE_DIR}/build/${preset}=${platform})
  list(APPEND binaries binaries-${preset})
endforeach()

set(VELMORANT_RELEASE_DIR ${PROJECT_SOURCE_DIR}/build/release)
add_custom_target(release ALL
  COMMAND sh ${PROJECT_SOURCE_DIR}/scripts/make-archive.sh ${VELMORANT_RELEASE_DIR} ${PROJECT_VERSION}
          ${VELMORANT_SOURCE_DATE_EPOCH} ${VELMORANT_ANE} ${CMAKE_BINARY_DIR}/README.txt ${trees}
  DEPENDS ane ${binaries}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "Making the release archive"
  VERBATIM)
