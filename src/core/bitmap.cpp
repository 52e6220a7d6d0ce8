#include "core/bitmap.h"

#include <utility>

namespace ovu {

void bgr_to_rgb(std::uint8_t* pixels, std::size_t pixel_count) {
  for (std::size_t p = 0; p < pixel_count; ++p) std::swap(pixels[3 * p], pixels[3 * p + 2]);
}

void assemble_rgba(const std::uint8_t* bgr, const std::uint8_t* mask, std::uint8_t* rgba,
                   std::size_t pixel_count) {
  for (std::size_t p = 0; p < pixel_count; ++p) {
    rgba[4 * p] = bgr[3 * p + 2];
    rgba[4 * p + 1] = bgr[3 * p + 1];
    rgba[4 * p + 2] = bgr[3 * p];
    rgba[4 * p + 3] = mask[p];
  }
}

}  // namespace ovu
