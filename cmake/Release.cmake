# The release, made in the package tree from what it built: build/release/VelmorantUtils-<version>.zip, the apm
# package beside it and their SHA256SUMS (scripts/make-archive.sh). It is made again on every build, as the
# checkout's state (committed or not) names it. README.txt names the package.
get_filename_component(VELMORANT_AIRPACKAGE_NAME ${VELMORANT_AIRPACKAGE} NAME)
configure_file(${PROJECT_SOURCE_DIR}/docs/README.txt.in README.txt @ONLY)

set(VELMORANT_RELEASE_DIR ${PROJECT_SOURCE_DIR}/build/release)
add_custom_target(release ALL
  COMMAND sh ${PROJECT_SOURCE_DIR}/scripts/make-archive.sh ${VELMORANT_RELEASE_DIR} ${PROJECT_VERSION}
          ${VELMORANT_SOURCE_DATE_EPOCH} ${VELMORANT_ANE} ${VELMORANT_AIRPACKAGE} ${CMAKE_BINARY_DIR}/README.txt
          ${VELMORANT_ARCHIVE_TREES}
  DEPENDS ane airpackage ${VELMORANT_BINARY_TARGETS}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "Making the release archive"
  VERBATIM)
