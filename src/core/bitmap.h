#pragma once

#include <cstddef>
#include <cstdint>

namespace ovu {

// The bitmaps are read from fixed offsets, headers unparsed: 512 x 512
// pixels, rows bottom-up as stored, so the first stored row becomes t = 0.
inline constexpr int kBitmapSide = 512;
inline constexpr std::size_t kBitmapPixels = std::size_t{kBitmapSide} * kBitmapSide;
inline constexpr std::uint32_t kColourDataOffset = 54;     // after the two headers
inline constexpr std::uint32_t kMaskDataOffset = 1078;     // after the headers and 256-entry palette
inline constexpr std::size_t kColourDataBytes = kBitmapPixels * 3;
inline constexpr std::size_t kMaskDataBytes = kBitmapPixels;
inline constexpr std::size_t kRgbaBytes = kBitmapPixels * 4;

// Blue, green, red as stored becomes red, green, blue, in place.
void bgr_to_rgb(std::uint8_t* pixels, std::size_t pixel_count);

// Colour as stored plus the mask's stored bytes (palette indices, never
// looked up) as alpha.
void assemble_rgba(const std::uint8_t* bgr, const std::uint8_t* mask, std::uint8_t* rgba,
                   std::size_t pixel_count);

}  // namespace ovu
