// The pictures make_bitmaps draws, which the page also draws for itself.
#pragma once

#include <cstdint>
#include <vector>

#include "bmp_file.h"

namespace pictures {

constexpr int kSize = 512;  // the bitmaps' side

bmp::Image environment_map();

struct Title {
  bmp::Image picture{kSize, kSize, 3};
  bmp::Image mask{kSize, kSize, 1};
};
Title draw_title();

// The icon at one size: straight (not premultiplied) R, G, B, A rows, top row first.
struct Icon {
  int size = 0;
  std::vector<std::uint8_t> rgba;
};
Icon draw_icon(int size);

// The three files the demo reads, by name, byte for byte as make_bitmaps writes them.
struct File {
  const char* name;
  std::vector<std::uint8_t> bytes;
};
std::vector<File> demo_bitmaps();

}  // namespace pictures
