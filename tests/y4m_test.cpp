#include "core/y4m.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace ovu {
namespace {

// Worked out from Y = 0.2126 R + 0.7152 G + 0.0722 B, Cb = 128 + (B - Y) / 1.8556
// and Cr = 128 + (R - Y) / 1.5748, each rounded half up and kept within 0 to 255.
TEST(Y4m, KnownColoursConvertAsTheBt709FullRangeFormulasRound) {
  const struct Case { std::uint8_t r, g, b, y, cb, cr; } cases[] = {
      {0, 0, 0, 0, 128, 128},        {255, 255, 255, 255, 128, 128}, {128, 128, 128, 128, 128, 128},
      {255, 0, 0, 54, 99, 255},      // Cr 255.5: clamped
      {0, 255, 0, 182, 30, 12},      {0, 0, 255, 18, 255, 116},      // Cb 255.5: clamped
      {255, 255, 0, 237, 1, 140},    // Cb exactly 0.5: rounds up
      {0, 14, 76, 16, 161, 118},     // Y exactly 15.5: rounds up
      {100, 150, 200, 143, 159, 101}, {0, 0, 5, 0, 131, 128},  // Cb exactly 130.5
  };
  constexpr int n = sizeof cases / sizeof cases[0];
  std::uint8_t rgb[3 * n], planes[3 * n];
  for (int i = 0; i < n; ++i) rgb[3 * i] = cases[i].r, rgb[3 * i + 1] = cases[i].g, rgb[3 * i + 2] = cases[i].b;
  ASSERT_EQ(y4m_planes_size(n, 1, ChromaLayout::Full), sizeof planes);
  rgb_to_ycbcr(rgb, n, 1, ChromaLayout::Full, planes);
  for (int i = 0; i < n; ++i)
    EXPECT_EQ(std::make_tuple(+planes[i], +planes[n + i], +planes[2 * n + i]),
              std::make_tuple(+cases[i].y, +cases[i].cb, +cases[i].cr)) << i;
}

// 5 x 3, every pixel a different colour, so each position of a block counts:
// the luma as 4:4:4 has it, and each block's chroma that of the mean colour
// of the pixels it has (a pair at the odd right and bottom edges, one in
// the corner), worked out in floating point and rounded half up.
TEST(Y4m, HalfChromaIsTheBlocksMeanColourAndAnOddEdgeAveragesWhatItHas) {
  constexpr int w = 5, h = 3, bw = 3, bh = 2;
  std::uint8_t rgb[3 * w * h], full[3 * w * h], half[w * h + 2 * bw * bh];
  for (int i = 0; i < 3 * w * h; ++i) rgb[i] = static_cast<std::uint8_t>(i * 97 % 251);
  ASSERT_EQ(y4m_planes_size(w, h, ChromaLayout::Half), sizeof half);
  rgb_to_ycbcr(rgb, w, h, ChromaLayout::Full, full);
  rgb_to_ycbcr(rgb, w, h, ChromaLayout::Half, half);
  for (int i = 0; i < w * h; ++i) EXPECT_EQ(half[i], full[i]) << "luma " << i;
  for (int by = 0; by < bh; ++by)
    for (int bx = 0; bx < bw; ++bx) {
      double mean[3] = {}, n = 0;
      for (int y = 2 * by; y < std::min(2 * by + 2, h); ++y)
        for (int x = 2 * bx; x < std::min(2 * bx + 2, w); ++x, ++n)
          for (int c = 0; c < 3; ++c) mean[c] += rgb[3 * (y * w + x) + c];
      const double r = mean[0] / n, g = mean[1] / n, b = mean[2] / n, luma = 0.2126 * r + 0.7152 * g + 0.0722 * b;
      const int k = by * bw + bx;
      EXPECT_EQ(half[w * h + k], std::floor(128.5 + (b - luma) / 1.8556)) << "Cb of block " << k;
      EXPECT_EQ(half[w * h + bw * bh + k], std::floor(128.5 + (r - luma) / 1.5748)) << "Cr of block " << k;
    }
}

// A window that changed size: 3 x 2 into 2 x 3 is cut on the right and padded below, 2 x 1 into 3 x 2 padded.
TEST(Y4m, AnotherSizeIsCutOrPaddedWithBlackAtTheTopLeft) {
  std::vector<std::uint8_t> rgb(18), out;
  for (std::uint8_t i = 0; i < 18; ++i) rgb[i] = static_cast<std::uint8_t>(i + 1);
  fit_rgb(rgb.data(), 3, 2, 2, 3, out);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 10, 11, 12, 13, 14, 15, 0, 0, 0, 0, 0, 0}));
  fit_rgb(rgb.data(), 2, 1, 3, 2, out);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// The header itself, and the rate of a single step and of none, are the program rows'.
TEST(Y4m, TheRateFollowsTheVirtualClock) {
  const struct Case { std::vector<int> steps; int max_fps; std::uint32_t numerator, denominator; } cases[] = {
      {{16, 60}, 0, 500, 19},  // a mean of 38 ms
      {{}, 30, 30, 1},         {{40}, 30, 25, 1},  // the clock wins over a cap
      {{INT_MAX, INT_MAX}, 0, 1000, INT_MAX}, {{INT_MAX, 2}, 0, 1000, 1073741825},  // 2000:2147483649 does not fit a y4m reader's int
  };
  for (const Case& c : cases) {
    const FrameRate rate = record_frame_rate(c.steps, c.max_fps);
    EXPECT_EQ(rate.numerator, c.numerator) << c.steps.size();
    EXPECT_EQ(rate.denominator, c.denominator) << c.steps.size();
  }
}

}  // namespace
}  // namespace ovu
