# 32-bit Windows build: the executable users run, on Windows XP SP3 and later.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TONARIUM_MINGW_PREFIX i686-w64-mingw32)
set(TONARIUM_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
