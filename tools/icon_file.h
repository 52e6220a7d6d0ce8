// The program's icon as files: PNG (for the Linux icon theme, the page and the ICO's largest
// size) and ICO (for the Windows resources), compressed by zlib on the build host.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "bmp_file.h"
#include "pictures.h"

namespace icon {

using Picture = pictures::Icon;

inline void put_u32_be(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFFu));
}

inline void put_chunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
  put_u32_be(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put_u32_be(out, static_cast<std::uint32_t>(crc32(0, &out[start], static_cast<uInt>(out.size() - start))));
}

inline std::vector<std::uint8_t> encode_png(const Picture& p) {
  // Each row behind filter type 1 (each byte less the one a pixel to its left): the
  // picture's smooth gradients become runs of small numbers, which deflate well.
  constexpr std::size_t kPixel = 4;
  const std::size_t row_bytes = static_cast<std::size_t>(p.size) * kPixel;
  std::vector<std::uint8_t> raw;
  for (std::size_t row = 0; row < static_cast<std::size_t>(p.size); ++row) {
    raw.push_back(1);
    const std::uint8_t* line = &p.rgba[row * row_bytes];
    for (std::size_t i = 0; i < row_bytes; ++i)
      raw.push_back(static_cast<std::uint8_t>(line[i] - (i >= kPixel ? line[i - kPixel] : 0)));
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> z(size);
  // With room for the worst case, memory is all it can lack, as the vectors can.
  if (compress2(z.data(), &size, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
    throw std::bad_alloc();
  z.resize(size);

  std::vector<std::uint8_t> header;
  put_u32_be(header, static_cast<std::uint32_t>(p.size));
  put_u32_be(header, static_cast<std::uint32_t>(p.size));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits a channel, RGBA, deflate, no interlace
  std::vector<std::uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  put_chunk(out, "IHDR", header);
  put_chunk(out, "IDAT", z);
  put_chunk(out, "IEND", {});
  return out;
}

// The classic icon image: a bottom-up 32-bit DIB of twice the height, the
// second half being the 1-bit AND mask (set where fully transparent).
inline std::vector<std::uint8_t> encode_dib(const Picture& p) {
  const auto size = static_cast<std::uint32_t>(p.size);
  const std::uint32_t mask_row = (size + 31u) / 32u * 4u;
  std::vector<std::uint8_t> out;
  bmp::put_u32(out, 40);
  bmp::put_u32(out, size);
  bmp::put_u32(out, size * 2u);
  bmp::put_u16(out, 1);
  bmp::put_u16(out, 32);
  bmp::put_u32(out, 0);  // BI_RGB
  bmp::put_u32(out, size * size * 4u + mask_row * size);
  for (int i = 0; i < 4; ++i) bmp::put_u32(out, 0);
  for (int row = p.size - 1; row >= 0; --row) {
    for (int x = 0; x < p.size; ++x) {
      const std::uint8_t* px = &p.rgba[(static_cast<std::size_t>(row) * size + static_cast<std::size_t>(x)) * 4];
      out.insert(out.end(), {px[2], px[1], px[0], px[3]});
    }
  }
  for (int row = p.size - 1; row >= 0; --row) {
    std::vector<std::uint8_t> bits(mask_row, 0);
    for (int x = 0; x < p.size; ++x)
      if (p.rgba[(static_cast<std::size_t>(row) * size + static_cast<std::size_t>(x)) * 4 + 3] == 0)
        bits[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
    out.insert(out.end(), bits.begin(), bits.end());
  }
  return out;
}

// Sizes of 256 are stored as PNG, as Windows Vista and later read them; the
// smaller ones as DIBs, which every icon reader knows.
inline std::vector<std::uint8_t> encode_ico(const std::vector<Picture>& pictures) {
  std::vector<std::vector<std::uint8_t>> images;
  for (const Picture& p : pictures) images.push_back(p.size >= 256 ? encode_png(p) : encode_dib(p));
  std::vector<std::uint8_t> out;
  bmp::put_u16(out, 0);
  bmp::put_u16(out, 1);  // an icon, not a cursor
  bmp::put_u16(out, static_cast<std::uint32_t>(pictures.size()));
  auto offset = static_cast<std::uint32_t>(6 + 16 * pictures.size());
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const auto side = static_cast<std::uint8_t>(pictures[i].size >= 256 ? 0 : pictures[i].size);  // 0 means 256
    out.insert(out.end(), {side, side, 0, 0});
    bmp::put_u16(out, 1);
    bmp::put_u16(out, 32);
    bmp::put_u32(out, static_cast<std::uint32_t>(images[i].size()));
    bmp::put_u32(out, offset);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

}  // namespace icon
