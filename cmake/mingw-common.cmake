# The -posix compilers: the -win32 thread model has no std::mutex, which
# GoogleTest needs.
set(CMAKE_C_COMPILER ${TONARIUM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TONARIUM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TONARIUM_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TONARIUM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# No MinGW runtime DLLs beside the executables.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
