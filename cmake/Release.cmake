# The release archive, made in the package tree from what it built: build/release/VelmorantUtils-<version>.zip
# and its SHA256SUMS (scripts/make-archive.sh). It is made again on every build, as the checkout's state
# (committed or not) names it.
configure_file(${PROJECT_SOURCE_DIR}/docs/README.txt.in README.txt @ONLY)

set(VELMORANT_RELEASE_DIR ${PROJECT_SOURCE_DIR}/build/release)
add_custom_target(release ALL
  COMMAND sh ${PROJECT_SOURCE_DIR}/scripts/make-archive.sh ${VELMORANT_RELEASE_DIR} ${PROJECT_VERSION}
          ${VELMORANT_SOURCE_DATE_EPOCH} ${VELMORANT_ANE} ${CMAKE_BINARY_DIR}/README.txt ${VELMORANT_ARCHIVE_TREES}
  DEPENDS ane ${VELMORANT_BINARY_TARGETS}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "Making the release archive"
  VERBATIM)
