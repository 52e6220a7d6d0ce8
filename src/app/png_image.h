#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovu {

// An 8-bit RGB image, top row first, encoded as PNG. Empty on failure.
std::vector<std::uint8_t> encode_png(const std::vector<std::uint8_t>& rgb, int width, int height);

}  // namespace ovu
