# The tests. Natively: the window-free code under ASan and UBSan. In the 64-bit
# Windows build, run under Wine: the real program end to end, its hostile
# settings files, its pictures, and what only the inside of the program shows.

# GoogleTest is compiled from source in the cross builds.
set(TONARIUM_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources (cross builds)")
if(CMAKE_CROSSCOMPILING)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(${TONARIUM_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    if(TONARIUM_MINGW_THREADS STREQUAL "win32")
        # Its thread model has no std::mutex, which GoogleTest's Notification is made of.
        target_compile_definitions(gtest PUBLIC GTEST_HAS_NOTIFICATION_=1)
        target_compile_options(gtest PUBLIC -include ${CMAKE_CURRENT_LIST_DIR}/gtest-notification.h)
    endif()
elseif(TONARIUM_REQUIRE_TESTS)
    find_package(GTest REQUIRED)
else()
    # A native build without GoogleTest (Visual Studio, say) builds the program only.
    find_package(GTest QUIET)
    if(NOT GTest_FOUND)
        message(STATUS "GoogleTest not found: building without tests")
        return()
    endif()
endif()

if(NOT WIN32)
    add_executable(host_tests tests/host/lesson_test.cpp tests/host/tables_test.cpp)
    target_link_libraries(host_tests PRIVATE tonarium_core GTest::gtest_main)
    include(GoogleTest)
    gtest_discover_tests(host_tests DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 120)
    # The committed images are made from their text pictures.
    find_package(Python3 COMPONENTS Interpreter)
    if(Python3_FOUND)
        add_test(NAME images_match_their_pictures
            COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/make-images --check)
        # The help page says what the program does, in its words and names.
        add_test(NAME help_page_matches_the_program
            COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/check-help ${CMAKE_SOURCE_DIR})
    endif()
    return()
endif()

foreach(name e2e_test hostile_test inside_test)
    add_executable(${name} tests/win/${name}.cpp)
    target_link_libraries(${name} PRIVATE tonarium_drive_lib GTest::gtest_main)
    # tonarium.exe and the recorder beside the test.
    add_dependencies(${name} tonarium_drive)
    if(NOT name STREQUAL "e2e_test")
        add_test(NAME ${name} COMMAND ${name})
    endif()
endforeach()
# The end-to-end test has a screen, pointer and Wine of its own, so the others run beside it; that
# Wine reports Windows 10, as most users' does (to a program whose manifest names no Windows, 6.2).
add_test(NAME e2e_test COMMAND ${CMAKE_COMMAND} -E env TONARIUM_OWN_WINE=e2e-${CMAKE_SYSTEM_PROCESSOR}
    TONARIUM_WINDOWS=win10
    ${CMAKE_SOURCE_DIR}/scripts/with-wine ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:e2e_test>)
# DLLs named as libraries Windows loads for the program, for the hostile test to plant, and one
# of a name the system lacks, for the inside test.
foreach(library winmm comctl32 mciseq midimap current)
    add_library(plant_${library} SHARED tests/win/plant.cpp)
    set_target_properties(plant_${library} PROPERTIES OUTPUT_NAME ${library} PREFIX ""
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/plants)
    add_dependencies(hostile_test plant_${library})
endforeach()
# Wine loads its own DLLs unless asked to prefer files of those names, as Windows does.
set_tests_properties(hostile_test PROPERTIES ENVIRONMENT "WINEDLLOVERRIDES=winmm,comctl32,mciseq,midimap=n,b")
# The program's own code inside the test's process, with plants beside it and in the folder it
# makes current, and not marked for DEP, as XP SP3 leaves a program: its own request turns it on.
target_link_libraries(inside_test PRIVATE tonarium_win)
add_library(plant_beside SHARED tests/win/plant.cpp)
set_target_properties(plant_beside PROPERTIES OUTPUT_NAME beside PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_dependencies(inside_test plant_beside plant_current)
if(MINGW)
    target_link_options(inside_test PRIVATE -Wl,--disable-nxcompat)
endif()
# The release zip, made and unpacked as a user unpacks it: the end-to-end test
# runs the program and opens the help page from there.
add_test(NAME release_zip COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
    -DOUT=${CMAKE_BINARY_DIR}/bin/release -P ${CMAKE_SOURCE_DIR}/cmake/ReleaseZip.cmake)
set_tests_properties(release_zip PROPERTIES FIXTURES_SETUP release)
set_tests_properties(e2e_test PROPERTIES FIXTURES_REQUIRED release)
add_test(NAME pictures COMMAND ${CMAKE_SOURCE_DIR}/tests/pictures/compare
    ${CMAKE_BINARY_DIR}/bin ${CMAKE_BINARY_DIR}/pictures)
# Each takes seconds; a program that hangs must not hold the run for long.
set_tests_properties(e2e_test hostile_test inside_test pictures PROPERTIES TIMEOUT 180)
# These share one screen, pointer and keyboard: `ctest -j` runs them one at a time.
set_tests_properties(hostile_test pictures PROPERTIES RESOURCE_LOCK display)
# The 32-bit build, the one users run, is tested as the 64-bit one is where the kernel runs
# 32-bit code; elsewhere its tests are shown as not run.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    execute_process(COMMAND /usr/lib/wine/wine --version RESULT_VARIABLE no_32bit_code
        OUTPUT_QUIET ERROR_QUIET)
    if(no_32bit_code)
        set_tests_properties(e2e_test hostile_test inside_test pictures PROPERTIES DISABLED TRUE)
    endif()
endif()
