# The web build's platform part, included by src/CMakeLists.txt: the
# runtime stop and file access of a page, the window on its canvas, and GL.
# A page has WebGL, not GL 1.1 and GLU: ovu_webgl is our subset of both over
# WebGL. src/gl is compiled as it is against Emscripten's GL headers, and
# these definitions of the GL names take the place of the JavaScript ones.
add_library(ovu_runtime STATIC
  platform/guard.cpp
  platform/posix/posix_file.cpp
  platform/web/web_bitmaps.cpp
  platform/web/web_stop.cpp)
# The page draws its bitmaps with make_bitmaps' own code.
add_library(ovu_pictures STATIC ${PROJECT_SOURCE_DIR}/tools/pictures.cpp)
target_include_directories(ovu_pictures PUBLIC ${PROJECT_SOURCE_DIR}/tools)
target_link_libraries(ovu_pictures PRIVATE ovu_flags)
target_link_libraries(ovu_runtime PRIVATE ovu_pictures)
add_library(ovu_webgl STATIC
  platform/web/web_glu.cpp
  platform/web/gl11_calls.cpp
  platform/web/webgl_pipeline.cpp
  platform/web/webgl_textures.cpp)
target_link_libraries(ovu_webgl PUBLIC ovu_gl11_math)
set(OVU_GL_LIBRARIES ovu_webgl)
add_library(ovu_window STATIC platform/web/web_window.cpp platform/settings_none.cpp)
target_link_libraries(ovu_window PUBLIC ovu_runtime PRIVATE ovu_webgl)

# Makes `target` the page: ovu.html with its .js and .wasm, and the icon it
# names (ovu-48.png), in the build directory. The page draws its bitmaps
# itself (web_bitmaps.cpp).
function(ovu_platform_program target)
  set(page_dir ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  set_target_properties(${target} PROPERTIES SUFFIX .html LINK_DEPENDS ${page_dir}/shell.html)
  add_dependencies(${target} icons)
  target_link_options(${target} PRIVATE
    -sEXIT_RUNTIME=1 -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web
    # The page fetches a journal to replay into the file system before the run starts.
    "SHELL:-s EXPORTED_RUNTIME_METHODS=[FS,addRunDependency,removeRunDependency]"
    # htmlmin, which would minify the page, fails in Debian's packaging.
    -sMINIFY_HTML=0
    "SHELL:--shell-file ${page_dir}/shell.html")
endfunction()
