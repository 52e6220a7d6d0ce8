#pragma once

#include <cstdint>
#include <string>

namespace ovu {

// Hands finished texels to whoever makes the texture (GL in the program, a
// recorder in tests) and returns its name.
using UploadTexels = std::uint32_t (*)(const std::uint8_t* texels);

// A 24-bit colour bitmap as 512 x 512 RGB texels. Any failure to open or
// read ends the program through the runtime stop with the file's code; a
// failed open adds `hint` to the reason.
std::uint32_t load_texture(const std::string& path, UploadTexels upload_rgb, const std::string& hint = {});

// A colour bitmap plus an 8-bit mask whose stored bytes become the alpha.
std::uint32_t load_masked_texture(const std::string& colour_path, const std::string& mask_path,
                                  UploadTexels upload_rgba, const std::string& colour_hint = {},
                                  const std::string& mask_hint = {});

// `name` inside `directory`, or `name` alone when the directory is empty.
std::string data_path(const std::string& directory, const char* name);

// Where to read a bitmap, and what to add when it cannot be opened there.
struct BitmapFile {
  std::string path;
  std::string hint;
};

// The bitmap `name`: in `directory` when one is given; else in the current
// directory, or, when that has nothing under the name, in `installed` (an
// installed copy's data directory; empty when unknown). When neither has
// it, the current directory's name, whose error the loader then reports.
BitmapFile find_bitmap(const std::string& directory, const char* name, const std::string& installed);

}  // namespace ovu
