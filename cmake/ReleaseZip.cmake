# Makes the release zip of a build, as cpack makes it for users, and unpacks it
# into a folder as a user does; fails unless it holds the executable and the
# help page side by side and nothing else. The end-to-end tests take both from
# that folder.
#   cmake -DBUILD_DIR=<build> -DOUT=<folder> -P cmake/ReleaseZip.cmake
file(GLOB old_zips ${BUILD_DIR}/Tonarium-*.zip)
file(REMOVE_RECURSE ${old_zips} ${OUT})
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} --config CPackConfig.cmake
    WORKING_DIRECTORY ${BUILD_DIR} RESULT_VARIABLE status OUTPUT_QUIET)
file(GLOB zip ${BUILD_DIR}/Tonarium-*.zip)
if(NOT status EQUAL 0 OR NOT zip)
    message(FATAL_ERROR "release zip: cpack made none in ${BUILD_DIR}")
endif()
get_filename_component(top ${zip} NAME_WLE)
file(ARCHIVE_EXTRACT INPUT ${zip} DESTINATION ${OUT}/zip)
file(GLOB_RECURSE held RELATIVE ${OUT}/zip ${OUT}/zip/*)
if(NOT held STREQUAL "${top}/index.htm;${top}/tonarium.exe")
    message(FATAL_ERROR "release zip: holds ${held}, not ${top}/ with tonarium.exe and index.htm")
endif()
file(COPY ${OUT}/zip/${top}/ DESTINATION ${OUT})
message(STATUS "release zip: ${zip}, unpacked in ${OUT}")
