#include "core/y4m.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

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

// 3 x 2: red green blue over white black yellow. The left block's mean is
// (127.5, 127.5, 63.75): Cb 96.125, Cr 130.92; the right one, blue and yellow
// alone at the odd edge, is grey 127.5: 128 and 128.
TEST(Y4m, HalfChromaIsTheBlocksMeanColourAndAnOddEdgeAveragesWhatItHas) {
  const std::uint8_t rgb[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 255, 255, 0};
  std::uint8_t planes[10] = {};
  ASSERT_EQ(y4m_planes_size(3, 2, ChromaLayout::Half), sizeof planes);
  rgb_to_ycbcr(rgb, 3, 2, ChromaLayout::Half, planes);
  const std::uint8_t expected[] = {54, 182, 18, 255, 0, 237, 96, 128, 131, 128};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(planes[i], expected[i]) << i;
}

TEST(Y4m, HeaderSaysSizeRateAndLayoutAndTheRateFollowsTheVirtualClock) {
  EXPECT_EQ(y4m_header(320, 240, record_frame_rate({16}, 0), ChromaLayout::Full),
            "YUV4MPEG2 W320 H240 F125:2 Ip A1:1 C444 XCOLORRANGE=FULL\n");
  EXPECT_EQ(y4m_header(7, 5, record_frame_rate({}, 0), ChromaLayout::Half),
            "YUV4MPEG2 W7 H5 F60:1 Ip A1:1 C420jpeg XCOLORRANGE=FULL\n");
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
