# Warnings and the floating-point rules every target of ours is built with.
# Contraction would fuse the multiply-adds of the water step and change its
# results; fast-math would drop the rounding points altogether.
add_library(ovu_flags INTERFACE)
target_compile_options(ovu_flags INTERFACE
  -Wall -Wextra -Wpedantic
  -ffp-contract=off
  -fno-fast-math)
# No build paths in what we ship, so that a build elsewhere gives the same bytes.
target_compile_options(ovu_flags INTERFACE
  -ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)

set(OVU_SANITIZE "" CACHE STRING "Sanitizers to build with, e.g. address,undefined")
if(OVU_SANITIZE)
  target_compile_options(ovu_flags INTERFACE
    -fsanitize=${OVU_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(ovu_flags INTERFACE -fsanitize=${OVU_SANITIZE})
endif()

if(WIN32)
  # The exe must start on a bare Windows: no libgcc, libstdc++ or winpthread
  # DLL beside it. -static takes winpthread too; system DLLs stay imports.
  target_link_options(ovu_flags INTERFACE -static-libgcc -static-libstdc++ -static)
  # The same exe from the same sources: no link time in the headers.
  target_link_options(ovu_flags INTERFACE -Wl,--no-insert-timestamp)
  target_compile_definitions(ovu_flags INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # float and double in SSE registers as on x86-64, so every store rounds
    # where the code says and the 32-bit build computes the same fields;
    # long double stays x87. Realigning the stack keeps SSE spills safe in
    # callbacks that Windows enters with a 4-byte aligned stack.
    target_compile_options(ovu_flags INTERFACE -msse2 -mfpmath=sse -mstackrealign)
  endif()
endif()
