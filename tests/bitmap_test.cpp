#include "core/bitmap.h"

#include <gtest/gtest.h>

#include <vector>

namespace ovu {
namespace {

TEST(BitmapDecode, StoredBlueGreenRedBecomesRedGreenBlue) {
  std::vector<std::uint8_t> pixels = {0x10, 0x20, 0x30, 0xAA, 0xBB, 0xCC};
  bgr_to_rgb(pixels.data(), 2);
  EXPECT_EQ(pixels, (std::vector<std::uint8_t>{0x30, 0x20, 0x10, 0xCC, 0xBB, 0xAA}));
}

TEST(BitmapDecode, MaskBytesBecomeAlphaBesideTheColour) {
  const std::vector<std::uint8_t> bgr = {0x10, 0x20, 0x30, 1, 2, 3, 7, 8, 9};
  const std::vector<std::uint8_t> mask = {0, 255, 128};
  std::vector<std::uint8_t> rgba(12, 0xEE);
  assemble_rgba(bgr.data(), mask.data(), rgba.data(), 3);
  EXPECT_EQ(rgba, (std::vector<std::uint8_t>{0x30, 0x20, 0x10, 0, 3, 2, 1, 255, 9, 8, 7, 128}));
}

}  // namespace
}  // namespace ovu
