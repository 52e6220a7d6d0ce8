# Shared part of the mingw-w64 cross toolchains: the including file sets
# OVU_MINGW_TRIPLE. The posix thread-model compilers are named explicitly:
# GCC 12's win32 model has no std::mutex, which GoogleTest needs there; the
# winpthread library it brings is linked statically (CompilerFlags.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${OVU_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OVU_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${OVU_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${OVU_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs of the build (test discovery, the tests) run under wine, in a
# prefix of the build's own that wine_run.sh makes on first use.
cmake_path(SET wine_run NORMALIZE ${CMAKE_CURRENT_LIST_DIR}/../tests/wine_run.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${wine_run} ${CMAKE_BINARY_DIR}/wine/prefix)
