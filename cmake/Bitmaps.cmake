# The `bitmaps` and `icons` targets, which draw the three bitmaps the demo
# loads and its icon into the build directory. In a cross build the generator
# is built with the build host's own compiler, in a build of tools/ of its own,
# and run there: its output is data, not part of the target program.
if(CMAKE_CROSSCOMPILING)
  include(ExternalProject)
  find_program(OVU_HOST_CXX NAMES c++ g++ clang++ NO_CMAKE_FIND_ROOT_PATH)
  if(NOT OVU_HOST_CXX)
    message(FATAL_ERROR "No host C++ compiler for the bitmap generator: install g++ (build-essential)")
  endif()
  set(make_bitmaps ${CMAKE_BINARY_DIR}/host/make_bitmaps)
  # The host's compiler, named, and the build type go across; nothing of the
  # target's toolchain does, nor a compiler from the environment.
  # Built always, so that the host build sees the generator's sources change;
  # it relinks, and so redraws, only when they do.
  ExternalProject_Add(host_tools
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools
    BINARY_DIR ${CMAKE_BINARY_DIR}/host
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${OVU_HOST_CXX}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${make_bitmaps})
  set(make_bitmaps_depends host_tools ${make_bitmaps})
else()
  add_subdirectory(${CMAKE_SOURCE_DIR}/tools ${CMAKE_BINARY_DIR}/tools)
  set(make_bitmaps $<TARGET_FILE:make_bitmaps>)
  set(make_bitmaps_depends make_bitmaps)
endif()

set(OVU_BITMAPS
  ${CMAKE_BINARY_DIR}/CHRMWARP.bmp
  ${CMAKE_BINARY_DIR}/vo.bmp
  ${CMAKE_BINARY_DIR}/vomask.bmp)
add_custom_command(
  OUTPUT ${OVU_BITMAPS}
  COMMAND ${make_bitmaps} ${CMAKE_BINARY_DIR}
  DEPENDS ${make_bitmaps_depends}
  COMMENT "Drawing CHRMWARP.bmp, vo.bmp and vomask.bmp"
  VERBATIM)
add_custom_target(bitmaps ALL DEPENDS ${OVU_BITMAPS})

# The icon: ovu.ico for the Windows resources, PNGs for the Linux icon theme.
set(OVU_ICON_SIZES 48 64 128 256)
set(OVU_ICONS ${CMAKE_BINARY_DIR}/ovu.ico)
foreach(size ${OVU_ICON_SIZES})
  list(APPEND OVU_ICONS ${CMAKE_BINARY_DIR}/ovu-${size}.png)
endforeach()
add_custom_command(
  OUTPUT ${OVU_ICONS}
  COMMAND ${make_bitmaps} --icons ${CMAKE_BINARY_DIR}
  DEPENDS ${make_bitmaps_depends}
  COMMENT "Drawing the icon"
  VERBATIM)
add_custom_target(icons ALL DEPENDS ${OVU_ICONS})
