#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovu::test {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // top row first

  struct Pixel {
    int r, g, b;
  };
  // (x, y) with y counted from the top.
  Pixel at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

// Reads an 8-bit RGB or RGBA PNG; an empty image when it cannot.
Image read_png(const std::string& path);

}  // namespace ovu::test
