# The Windows build's platform part, included by src/CMakeLists.txt: the
# runtime stop and file access, desktop GL through opengl32, the Win32
# window, and the programs' resources.
add_library(ovu_runtime STATIC
  platform/data_dir.cpp
  platform/guard.cpp
  platform/win32/win32_file.cpp
  platform/win32/win32_stop.cpp)
target_link_libraries(ovu_runtime PRIVATE user32)
ovu_desktop_gl()
add_library(ovu_window STATIC platform/desktop_loop.cpp platform/win32/win32_window.cpp platform/win32/win32_settings.cpp)
target_link_libraries(ovu_window PUBLIC ovu_runtime PRIVATE OpenGL::GL gdi32 user32 winmm advapi32 comctl32)

# A console program: failures are reported on the console it runs in. Beside
# it the screensaver's program.
function(ovu_platform_program target)
  target_link_options(${target} PRIVATE -mconsole)
  # The same program as the screensaver Windows starts with /s, /p or /c: a
  # GUI program, so no console window opens beside the preview.
  add_executable(ovu_scr WIN32 app/main.cpp)
  target_link_libraries(ovu_scr PRIVATE ovu_app)
  set_target_properties(ovu_scr PROPERTIES OUTPUT_NAME ovu SUFFIX .scr RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

  # The manifest (DPI awareness, common controls, supported systems), the icon
  # and the version, for each program; the screensaver list shows the .scr's
  # description as its name.
  enable_language(RC)
  set(OVU_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
  string(REPLACE . , OVU_VERSION_COMMAS ${OVU_VERSION_QUAD})
  set(OVU_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/ovu.manifest)
  set(OVU_SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  set(OVU_ICON ${CMAKE_BINARY_DIR}/ovu.ico)
  configure_file(app/ovu.manifest.in ${OVU_MANIFEST} @ONLY)
  foreach(program ${target} ovu_scr)
    if(program STREQUAL target)
      set(OVU_FILE_NAME ovu.exe)
      set(OVU_FILE_DESCRIPTION "ovu water demo")
    else()
      set(OVU_FILE_NAME ovu.scr)
      set(OVU_FILE_DESCRIPTION ovu)
    endif()
    configure_file(app/ovu.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${program}.rc @ONLY)
    target_sources(${program} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${program}.rc)
    set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${program}.rc PROPERTIES
      OBJECT_DEPENDS "${OVU_MANIFEST};${OVU_ICON};${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/win32_settings.h")
    add_dependencies(${program} icons)
  endforeach()
endfunction()
