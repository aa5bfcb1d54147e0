# The thread model is the toolchain's: -posix where GoogleTest is built (it
# needs std::mutex, which -win32 lacks), -win32 for the executable users run,
# since the POSIX thread runtime imports GetTickCount64, which Windows XP lacks.
set(CMAKE_C_COMPILER ${TONARIUM_MINGW_PREFIX}-gcc-${TONARIUM_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${TONARIUM_MINGW_PREFIX}-g++-${TONARIUM_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${TONARIUM_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TONARIUM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# No MinGW runtime DLLs beside the executables, nor needed by the MIDI recorder.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Its programs run under Wine (the 32-bit ones under its 32-bit loader, which wine64 starts).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
