# Toolchain of the browser build: Debian's Emscripten, run through a config
# file of our own that the build writes into its tree, so that nobody's shell
# needs setting up. It differs from the packaged config in three ways:
# node finds the packaged JavaScript modules (acorn and the rest) under
# /usr/share/nodejs, where it does not look by itself; node runs without its
# experimental fetch, which breaks the generated loader; and the packaged,
# prebuilt system libraries are used as they are (frozen cache), so nothing
# is ever built into or fetched for a shared cache.
set(OVU_EMSCRIPTEN_ROOT /usr/share/emscripten CACHE PATH "Emscripten's installation")
set(OVU_EM_CONFIG ${CMAKE_BINARY_DIR}/emscripten-config.py)
if(NOT EXISTS ${OVU_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake)
  message(FATAL_ERROR "Emscripten was not found in ${OVU_EMSCRIPTEN_ROOT}: install emscripten (scripts/web.sh does)")
endif()
file(WRITE ${OVU_EM_CONFIG} "\
import os
exec(open('${OVU_EMSCRIPTEN_ROOT}/.emscripten').read())
os.environ['NODE_PATH'] = '/usr/share/nodejs'
NODE_JS = [NODE_JS if isinstance(NODE_JS, str) else NODE_JS[0], '--no-experimental-fetch']
FROZEN_CACHE = True
")
# em-config runs while the toolchain is read; compiling and linking get the
# flag through the compiler flags, which CMake passes to both.
set(ENV{EM_CONFIG} ${OVU_EM_CONFIG})
set(CMAKE_CXX_FLAGS_INIT "--em-config ${OVU_EM_CONFIG}")
include(${OVU_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake)
