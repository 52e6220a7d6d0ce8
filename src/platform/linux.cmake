# The Linux build's platform part, included by src/CMakeLists.txt: the
# POSIX runtime stop, fault handling and file access, desktop GL, and the
# window backends (SDL, with Xlib for the screensaver hosts' windows, and the
# native Wayland one).
add_library(ovu_runtime STATIC
  platform/data_dir.cpp
  platform/guard.cpp
  platform/posix/posix_fault.cpp
  platform/posix/posix_file.cpp
  platform/posix/posix_stop.cpp)
ovu_desktop_gl()
find_package(SDL2 REQUIRED CONFIG)

# Xlib for the screensaver hosts' windows, which SDL adopts; the Wayland
# client libraries and EGL for the layers, whose protocol code the scanner
# writes: the layer shell from our description of it (its get_popup names
# xdg_popup, so xdg-shell's code comes too), the viewporter, fractional scale
# and xdg-output from wayland-protocols (1.31 and later).
find_package(X11 REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(OVU_WAYLAND REQUIRED IMPORTED_TARGET GLOBAL wayland-client wayland-egl egl)
pkg_get_variable(OVU_WAYLAND_PROTOCOLS wayland-protocols pkgdatadir)
find_program(OVU_WAYLAND_SCANNER wayland-scanner REQUIRED)
if(NOT EXISTS "${OVU_WAYLAND_PROTOCOLS}/staging/fractional-scale/fractional-scale-v1.xml")
  message(FATAL_ERROR "wayland-protocols 1.31 or later was not found: install wayland-protocols")
endif()
enable_language(C)
# The client code of each protocol, NAME XML pairs, compiled into `target`.
function(ovu_wayland_protocols target)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/wayland)
  set(protocols ${ARGN})
  while(protocols)
    list(POP_FRONT protocols name xml)
    add_custom_command(OUTPUT ${generated}/${name}-client.h ${generated}/${name}-protocol.c
      COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}
      COMMAND ${OVU_WAYLAND_SCANNER} client-header ${xml} ${generated}/${name}-client.h
      COMMAND ${OVU_WAYLAND_SCANNER} private-code ${xml} ${generated}/${name}-protocol.c
      DEPENDS ${xml} VERBATIM)
    target_sources(${target} PRIVATE ${generated}/${name}-client.h ${generated}/${name}-protocol.c)
  endwhile()
  target_include_directories(${target} PRIVATE ${generated})
endfunction()
add_library(ovu_window STATIC platform/desktop_loop.cpp platform/linux_backends.cpp platform/sdl/sdl_window.cpp
  platform/sdl/x11_host.cpp platform/wayland/wayland_layers.cpp platform/settings_none.cpp)
ovu_wayland_protocols(ovu_window
  wlr-layer-shell-unstable-v1 ${CMAKE_CURRENT_SOURCE_DIR}/platform/wayland/wlr-layer-shell-unstable-v1.xml
  xdg-shell ${OVU_WAYLAND_PROTOCOLS}/stable/xdg-shell/xdg-shell.xml
  viewporter ${OVU_WAYLAND_PROTOCOLS}/stable/viewporter/viewporter.xml
  fractional-scale-v1 ${OVU_WAYLAND_PROTOCOLS}/staging/fractional-scale/fractional-scale-v1.xml
  xdg-output-unstable-v1 ${OVU_WAYLAND_PROTOCOLS}/unstable/xdg-output/xdg-output-unstable-v1.xml)
target_link_libraries(ovu_window PUBLIC ovu_runtime PRIVATE SDL2::SDL2 X11::X11 PkgConfig::OVU_WAYLAND)

function(ovu_platform_program target)
endfunction()
