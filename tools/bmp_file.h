// Uncompressed bottom-up Windows bitmaps, written so that a crash never leaves half a file.
// Standard library only; the demo's loader reads pixels from fixed offsets, so the layout
// here (54-byte headers, palette right after them, no row padding at our widths) is fixed.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace bmp {

constexpr std::uint32_t kHeadersSize = 14 + 40;
constexpr std::uint32_t kPaletteSize = 256 * 4;
constexpr std::int32_t kPixelsPerMetre = 2835;  // 72 dpi, what most tools expect

// Rows are in file order: row 0 is the bottom of the picture.
struct Image {
  int width = 0;
  int height = 0;
  int channels = 0;                 // 3 (B,G,R) or 1 (grey index)
  std::vector<std::uint8_t> bytes;  // width * channels per row, no padding

  Image(int w, int h, int c)
      : width(w), height(h), channels(c),
        bytes(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * static_cast<std::size_t>(c)) {}

  std::uint8_t* at(int x, int row) {
    return &bytes[(static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                   static_cast<std::size_t>(x)) * static_cast<std::size_t>(channels)];
  }
};

inline void put_u16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFFu));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFFu));
}

inline void put_u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  put_u16(out, v & 0xFFFFu);
  put_u16(out, v >> 16);
}

// The 8-bit files carry a grey ramp so that the stored index reads as its own brightness.
inline std::vector<std::uint8_t> encode(const Image& image) {
  const bool indexed = image.channels == 1;
  const std::uint32_t row_bytes = static_cast<std::uint32_t>(image.width * image.channels);
  const std::uint32_t padded_row = (row_bytes + 3u) & ~3u;
  const std::uint32_t pixel_bytes = padded_row * static_cast<std::uint32_t>(image.height);
  const std::uint32_t offset = kHeadersSize + (indexed ? kPaletteSize : 0u);

  std::vector<std::uint8_t> out;
  out.reserve(offset + pixel_bytes);
  out.push_back('B');
  out.push_back('M');
  put_u32(out, offset + pixel_bytes);
  put_u32(out, 0);  // two reserved words
  put_u32(out, offset);

  put_u32(out, 40);
  put_u32(out, static_cast<std::uint32_t>(image.width));
  put_u32(out, static_cast<std::uint32_t>(image.height));  // positive: bottom-up
  put_u16(out, 1);
  put_u16(out, static_cast<std::uint32_t>(image.channels * 8));
  put_u32(out, 0);  // BI_RGB
  put_u32(out, pixel_bytes);
  put_u32(out, static_cast<std::uint32_t>(kPixelsPerMetre));
  put_u32(out, static_cast<std::uint32_t>(kPixelsPerMetre));
  put_u32(out, indexed ? 256u : 0u);
  put_u32(out, 0);

  if (indexed) {
    for (std::uint32_t n = 0; n < 256; ++n) {
      const auto grey = static_cast<std::uint8_t>(n);
      out.insert(out.end(), {grey, grey, grey, 0});
    }
  }
  for (int row = 0; row < image.height; ++row) {
    const auto first = image.bytes.begin() + static_cast<std::ptrdiff_t>(row) * row_bytes;
    out.insert(out.end(), first, first + row_bytes);
    out.insert(out.end(), padded_row - row_bytes, std::uint8_t{0});
  }
  return out;
}

// Writes beside the target and renames into place; returns "" or the reason it failed.
inline std::string write_atomically(const std::string& path, const std::vector<std::uint8_t>& data) {
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return std::strerror(errno);

  std::string reason;
  if (std::fwrite(data.data(), 1, data.size(), file) != data.size()) reason = std::strerror(errno);
  // fclose reports what the buffered writes could not (a full disk, typically).
  if (std::fclose(file) != 0 && reason.empty()) reason = std::strerror(errno);
  if (reason.empty() && std::rename(temporary.c_str(), path.c_str()) != 0) {
    // Windows' rename will not replace an existing file; POSIX rename already did.
    if (errno == EEXIST || errno == EACCES) {
      std::remove(path.c_str());
      if (std::rename(temporary.c_str(), path.c_str()) != 0) reason = std::strerror(errno);
    } else {
      reason = std::strerror(errno);
    }
  }
  if (!reason.empty()) std::remove(temporary.c_str());
  return reason;
}

}  // namespace bmp
