# The Linux build's platform part, included by src/CMakeLists.txt: the
# POSIX runtime stop, fault handling and file access, desktop GL, and the
# window backends (SDL, with Xlib for the screensaver hosts' windows, and the
# native Wayland one).
add_library(ovu_runtime STATIC
  platform/guard.cpp
  platform/posix/posix_fault.cpp
  platform/posix/posix_file.cpp
  platform/posix/posix_stop.cpp)
ovu_desktop_gl()
find_package(SDL2 REQUIRED CONFIG)

# Xlib for the screensaver hosts' windows, which SDL adopts; the Wayland
# client libraries and EGL for the wallpaper, whose layer-shell code the
# scanner writes from our description of the protocol. Its get_popup
# names xdg_popup, so xdg-shell's code comes too.
find_package(X11 REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(OVU_WAYLAND REQUIRED IMPORTED_TARGET wayland-client wayland-egl egl)
pkg_get_variable(OVU_WAYLAND_PROTOCOLS wayland-protocols pkgdatadir)
find_program(OVU_WAYLAND_SCANNER wayland-scanner REQUIRED)
if(NOT OVU_WAYLAND_PROTOCOLS)
  message(FATAL_ERROR "wayland-protocols was not found: install wayland-protocols")
endif()
enable_language(C)
set(generated ${CMAKE_CURRENT_BINARY_DIR}/wayland)
set(protocols
  wlr-layer-shell-unstable-v1 ${CMAKE_CURRENT_SOURCE_DIR}/platform/wayland/wlr-layer-shell-unstable-v1.xml
  xdg-shell ${OVU_WAYLAND_PROTOCOLS}/stable/xdg-shell/xdg-shell.xml)
set(protocol_sources)
while(protocols)
  list(POP_FRONT protocols name xml)
  add_custom_command(OUTPUT ${generated}/${name}-client.h ${generated}/${name}-protocol.c
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}
    COMMAND ${OVU_WAYLAND_SCANNER} client-header ${xml} ${generated}/${name}-client.h
    COMMAND ${OVU_WAYLAND_SCANNER} private-code ${xml} ${generated}/${name}-protocol.c
    DEPENDS ${xml} VERBATIM)
  list(APPEND protocol_sources ${generated}/${name}-client.h ${generated}/${name}-protocol.c)
endwhile()
add_library(ovu_window STATIC platform/desktop_loop.cpp platform/linux_backends.cpp platform/sdl/sdl_window.cpp platform/sdl/x11_host.cpp
  platform/wayland/wayland_wallpaper.cpp platform/settings_none.cpp ${protocol_sources})
target_include_directories(ovu_window PRIVATE ${generated})
target_link_libraries(ovu_window PUBLIC ovu_runtime PRIVATE SDL2::SDL2 X11::X11 PkgConfig::OVU_WAYLAND)

function(ovu_platform_program target)
endfunction()
