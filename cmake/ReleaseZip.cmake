# Makes the release zip of a build and its checksum, and unpacks it into a folder as a user
# does; fails unless it holds the executable and the help page side by side and nothing else.
# The end-to-end tests take both from that folder. Its bytes come from the commit alone: the
# entries' time is the commit's, so the same source makes the same zip.
#   cmake -DBUILD_DIR=<build> -DOUT=<folder> -P cmake/ReleaseZip.cmake
include(${BUILD_DIR}/release.cmake) # RELEASE_NAME, SOURCE_DIR, PYTHON
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(seconds $ENV{SOURCE_DATE_EPOCH})
else()
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${SOURCE_DIR}
        OUTPUT_VARIABLE seconds OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT seconds MATCHES "^[0-9]+$")
    set(seconds 0) # neither a commit nor a time given: the earliest a zip can say
endif()
set(zip ${BUILD_DIR}/${RELEASE_NAME}.zip)
file(REMOVE_RECURSE ${zip} ${OUT})
execute_process(COMMAND ${PYTHON} ${SOURCE_DIR}/scripts/make-zip ${zip} ${seconds}
    ${RELEASE_NAME} ${BUILD_DIR}/bin/tonarium.exe ${SOURCE_DIR}/res/index.htm
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "release zip: none made in ${BUILD_DIR}")
endif()
file(ARCHIVE_EXTRACT INPUT ${zip} DESTINATION ${OUT}/zip)
file(GLOB_RECURSE held RELATIVE ${OUT}/zip ${OUT}/zip/*)
if(NOT held STREQUAL "${RELEASE_NAME}/index.htm;${RELEASE_NAME}/tonarium.exe")
    message(FATAL_ERROR "release zip: holds ${held}, not ${RELEASE_NAME}/ with tonarium.exe and index.htm")
endif()
file(COPY ${OUT}/zip/${RELEASE_NAME}/ DESTINATION ${OUT})
message(STATUS "release zip: ${zip}, unpacked in ${OUT}")
