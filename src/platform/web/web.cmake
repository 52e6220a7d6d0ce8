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

# The closure compiler minifies the page's JavaScript (to less than half of
# what Emscripten's own minifier leaves). Debian's is too old for this
# Emscripten, so npm fetches a pinned one (cmake/closure) into the build tree.
option(OVU_WEB_CLOSURE "Minify the page's JavaScript with the pinned closure compiler (needs npm)" ON)
if(OVU_WEB_CLOSURE)
  set(closure_dir ${CMAKE_BINARY_DIR}/closure)
  set(closure ${closure_dir}/node_modules/.bin/google-closure-compiler)
  if(NOT EXISTS ${closure})
    find_program(OVU_NPM npm)
    if(NOT OVU_NPM)
      message(FATAL_ERROR "npm was not found: install npm, or configure with -DOVU_WEB_CLOSURE=OFF")
    endif()
    file(COPY ${PROJECT_SOURCE_DIR}/cmake/closure/package.json ${PROJECT_SOURCE_DIR}/cmake/closure/package-lock.json
         DESTINATION ${closure_dir})
    execute_process(COMMAND ${OVU_NPM} ci --no-audit --no-fund WORKING_DIRECTORY ${closure_dir} RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "npm could not install the closure compiler: configure with -DOVU_WEB_CLOSURE=OFF to build without it")
    endif()
  endif()
  file(APPEND ${CMAKE_BINARY_DIR}/emscripten-config.py "CLOSURE_COMPILER = ['${closure}']\n")
endif()

# Makes `target` the page: ovu.html with its .js and .wasm, and the icon it
# names (ovu-48.png), in the build directory. The page draws its bitmaps
# itself (web_bitmaps.cpp).
function(ovu_platform_program target)
  set(page_dir ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  set_target_properties(${target} PROPERTIES SUFFIX .html LINK_DEPENDS ${page_dir}/shell.html)
  add_dependencies(${target} icons)
  target_link_options(${target} PRIVATE
    -sEXIT_RUNTIME=1 -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web
    # Smaller than the defaults, and the same to the program: a few large
    # allocations at the start need no faster allocator, and every browser
    # with WebGL and WebAssembly has TextDecoder.
    -sMALLOC=emmalloc -sTEXTDECODER=2
    # The page puts a journal to replay into the file system before the run
    # starts, and takes the field's dump out of it after the run.
    "SHELL:-s EXPORTED_RUNTIME_METHODS=[FS_writeFile,FS_readFile,addRunDependency,removeRunDependency]"
    # htmlmin, which would minify the page, fails in Debian's packaging.
    -sMINIFY_HTML=0
    "SHELL:--shell-file ${page_dir}/shell.html"
    $<$<BOOL:${OVU_WEB_CLOSURE}>:--closure=1>)
endfunction()
