# 64-bit Windows build of the same sources; its tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TONARIUM_MINGW_PREFIX x86_64-w64-mingw32)
set(TONARIUM_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
