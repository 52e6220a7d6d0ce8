# The browser backend's part of the build, included by src/CMakeLists.txt in
# the web build. ovu_webgl is our GL 1.1 and GLU subset over WebGL: src/gl is
# compiled as it is against Emscripten's GL headers, and these definitions of
# the GL names take the place of the JavaScript ones.
add_library(ovu_webgl STATIC
  platform/web/web_glu.cpp
  platform/web/gl11_calls.cpp
  platform/web/webgl_pipeline.cpp
  platform/web/webgl_textures.cpp)
target_link_libraries(ovu_webgl PUBLIC ovu_gl11_math)

# Makes `target` the page: ovu.html with its .js and .wasm in the build
# directory. The page draws its bitmaps itself (web_bitmaps.cpp).
function(ovu_web_page target)
  set(page_dir ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  set_target_properties(${target} PROPERTIES SUFFIX .html LINK_DEPENDS ${page_dir}/shell.html)
  target_link_options(${target} PRIVATE
    # The frame loop is the desktop's endless loop; each swap yields to the page.
    -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
    -sEXIT_RUNTIME=1 -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web
    # The page fetches a journal to replay into the file system before the run starts.
    "SHELL:-s EXPORTED_RUNTIME_METHODS=[FS,addRunDependency,removeRunDependency]"
    # htmlmin, which would minify the page, fails in Debian's packaging.
    -sMINIFY_HTML=0
    "SHELL:--shell-file ${page_dir}/shell.html")
endfunction()
