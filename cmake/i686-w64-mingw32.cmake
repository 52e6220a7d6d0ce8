# 32-bit Windows with Debian's mingw-w64 (g++-mingw-w64-i686-win32).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(OVU_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
