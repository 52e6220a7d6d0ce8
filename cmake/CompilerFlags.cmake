# Warnings and the floating-point rules every target of ours is built with.
# Contraction would fuse the multiply-adds of the water step and change its
# results; fast-math would drop the rounding points altogether.
add_library(ovu_flags INTERFACE)
target_compile_options(ovu_flags INTERFACE
  -Wall -Wextra -Wpedantic
  -ffp-contract=off
  -fno-fast-math)

set(OVU_SANITIZE "" CACHE STRING "Sanitizers to build with, e.g. address,undefined")
if(OVU_SANITIZE)
  target_compile_options(ovu_flags INTERFACE
    -fsanitize=${OVU_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(ovu_flags INTERFACE -fsanitize=${OVU_SANITIZE})
endif()
