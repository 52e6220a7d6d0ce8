# In a cross build the asset generator is compiled with the build host's own
# compiler and run there: its output is data, not part of the target program.
# Makes the `bitmaps` target that draws the three bitmaps into the build directory.
find_program(OVU_HOST_CXX NAMES c++ g++ clang++ NO_CMAKE_FIND_ROOT_PATH)
if(NOT OVU_HOST_CXX)
  message(FATAL_ERROR "No host C++ compiler for the bitmap generator: install g++ (build-essential)")
endif()

set(host_generator ${CMAKE_BINARY_DIR}/host/make_bitmaps)
file(GLOB host_generator_headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/*.h)
# The same floating-point rules as the native build, so the bitmaps are the same bytes.
add_custom_command(
  OUTPUT ${host_generator}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
  COMMAND ${OVU_HOST_CXX} -std=c++17 -O2 -ffp-contract=off -fno-fast-math
          -o ${host_generator} ${CMAKE_SOURCE_DIR}/tools/make_bitmaps.cpp
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_bitmaps.cpp ${host_generator_headers}
  COMMENT "Building the bitmap generator for the build host"
  VERBATIM)
# One target builds the generator; those that run it wait for that target and
# follow its sources, so two of them never build it at once.
add_custom_target(host_generator DEPENDS ${host_generator})
set(host_generator_sources ${CMAKE_SOURCE_DIR}/tools/make_bitmaps.cpp ${host_generator_headers})

set(OVU_BITMAPS
  ${CMAKE_BINARY_DIR}/CHRMWARP.bmp
  ${CMAKE_BINARY_DIR}/vo.bmp
  ${CMAKE_BINARY_DIR}/vomask.bmp)
add_custom_command(
  OUTPUT ${OVU_BITMAPS}
  COMMAND ${host_generator} ${CMAKE_BINARY_DIR}
  DEPENDS ${host_generator_sources}
  COMMENT "Drawing CHRMWARP.bmp, vo.bmp and vomask.bmp"
  VERBATIM)
add_custom_target(bitmaps ALL DEPENDS ${OVU_BITMAPS})
add_dependencies(bitmaps host_generator)

add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/ovu.ico
  COMMAND ${host_generator} --icons ${CMAKE_BINARY_DIR}
  DEPENDS ${host_generator_sources}
  COMMENT "Drawing the icon"
  VERBATIM)
add_custom_target(icons ALL DEPENDS ${CMAKE_BINARY_DIR}/ovu.ico)
add_dependencies(icons host_generator)
