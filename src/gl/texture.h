#pragma once

#include <cstdint>

namespace ovu {

// Each makes one mipmapped 512 x 512 texture from finished texels, leaves it
// bound and returns its name. No texture parameter is set: GL's defaults
// (repeat, nearest-mipmap-linear, modulate) are part of the look.
std::uint32_t upload_rgb_texture(const std::uint8_t* texels);
std::uint32_t upload_rgba_texture(const std::uint8_t* texels);

}  // namespace ovu
