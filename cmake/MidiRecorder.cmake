# The MIDI recorder: a stand-in MIDI output driver for the Wine test prefix,
# so that tests can hear what a program sends to the MIDI mapper on a machine
# without sound hardware. Wine loads "wine<name>.drv" for
# HKCU\Software\Wine\Drivers "Audio"="<name>"; with "x" it finds winex.drv
# beside the executable, in <build>/bin. It records to the file named by the
# TONARIUM_MIDI_LOG environment variable and offers no device without it.
# Windows builds only (include it inside if(WIN32)).

add_library(tonarium_midirecorder SHARED
    ${CMAKE_SOURCE_DIR}/tests/win/mididrv/MidiRecorder.cpp
    ${CMAKE_SOURCE_DIR}/tests/win/mididrv/MidiRecorder.def)
set_target_properties(tonarium_midirecorder PROPERTIES
    OUTPUT_NAME winex
    PREFIX ""
    SUFFIX .drv
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    # No runtime DLLs: the driver is loaded into any program under test.
    MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
target_link_libraries(tonarium_midirecorder PRIVATE winmm)
if(NOT MSVC)
    target_link_options(tonarium_midirecorder PRIVATE -static -static-libgcc -static-libstdc++)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        # The .def names the exports undecorated, as winmm and mmdevapi look
        # them up; this maps them to the stdcall symbols without warnings.
        target_link_options(tonarium_midirecorder PRIVATE -Wl,--enable-stdcall-fixup)
    endif()
endif()

# Every Windows test and tool may start programs that sound notes: build the
# driver with them. Deferred because the test targets are created later.
function(tonarium_midirecorder_attach)
    get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        if(target MATCHES "^(win_|tool_)")
            add_dependencies(${target} tonarium_midirecorder)
        endif()
    endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tonarium_midirecorder_attach)
