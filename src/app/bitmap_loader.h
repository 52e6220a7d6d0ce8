#pragma once

#include <cstdint>
#include <string>

namespace ovu {

// Hands finished texels to whoever makes the texture (GL in the program, a
// recorder in tests) and returns its name.
using UploadTexels = std::uint32_t (*)(const std::uint8_t* texels);

// A 24-bit colour bitmap as 512 x 512 RGB texels. Any failure to open or
// read ends the program through the runtime stop with the file's code.
std::uint32_t load_texture(const std::string& path, UploadTexels upload_rgb);

// A colour bitmap plus an 8-bit mask whose stored bytes become the alpha.
std::uint32_t load_masked_texture(const std::string& colour_path, const std::string& mask_path,
                                  UploadTexels upload_rgba);

// `name` inside `directory`, or `name` alone when the directory is empty.
std::string data_path(const std::string& directory, const char* name);

}  // namespace ovu
