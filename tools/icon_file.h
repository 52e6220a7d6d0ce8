// The program's icon as files: PNG (for the Linux icon theme) and ICO (for the Windows
// resources). Standard library only, so the PNG is written with stored, uncompressed deflate
// blocks: a few hundred kilobytes at most, and no zlib to find on the build host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bmp_file.h"

namespace icon {

// Straight (not premultiplied) R, G, B, A rows, top row first.
struct Picture {
  int size = 0;
  std::vector<std::uint8_t> rgba;
};

inline void put_u32_be(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFFu));
}

inline std::uint32_t crc32(const std::uint8_t* data, std::size_t count) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < count; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline void put_chunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
  put_u32_be(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put_u32_be(out, crc32(&out[start], out.size() - start));
}

inline std::vector<std::uint8_t> encode_png(const Picture& p) {
  const std::size_t row_bytes = static_cast<std::size_t>(p.size) * 4;
  std::vector<std::uint8_t> raw;  // each row behind filter type 0 (none)
  for (int row = 0; row < p.size; ++row) {
    raw.push_back(0);
    const auto first = p.rgba.begin() + static_cast<std::ptrdiff_t>(row * row_bytes);
    raw.insert(raw.end(), first, first + static_cast<std::ptrdiff_t>(row_bytes));
  }
  std::vector<std::uint8_t> z{0x78, 0x01};
  std::uint32_t a = 1, b = 0;  // Adler-32 of the raw bytes
  for (std::size_t at = 0; at < raw.size();) {
    const std::size_t count = raw.size() - at < 65535 ? raw.size() - at : 65535;
    z.push_back(at + count == raw.size() ? 1 : 0);  // BFINAL on the last block, BTYPE 00: stored
    bmp::put_u16(z, static_cast<std::uint32_t>(count));
    bmp::put_u16(z, static_cast<std::uint32_t>(~count & 0xFFFFu));
    for (std::size_t i = at; i < at + count; ++i) {
      z.push_back(raw[i]);
      a = (a + raw[i]) % 65521u;
      b = (b + a) % 65521u;
    }
    at += count;
  }
  put_u32_be(z, (b << 16) | a);

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
