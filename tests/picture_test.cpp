// What people see: screenshots of the real program with a fixed clock,
// probed where the design says what must be there.
#include <gtest/gtest.h>

#include <cstdlib>

#include "png_read.h"
#include "program_run.h"
#include "temp_dir.h"

namespace ovu {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr int kSide = 512;  // bitmap side

// The frame after `frames` frames of 16 ms, as the program drew it.
test::Image shot(int frames, bool intro = true) {
  test::TempDir dir;
  const std::string png = dir.file("shot.png");
  std::vector<std::string> args = {"--windowed", std::to_string(kWidth) + "x" + std::to_string(kHeight),
                                   "--fixed-step", "16", "--frames", std::to_string(frames), "--screenshot", png};
  if (!intro) args.push_back("--no-intro");
  const auto r = test::run_child(test::program(args), test::program_options());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  return test::read_png(png);
}

struct Bitmaps {
  std::string colour = test::read_file(std::string(OVU_BUILD_DIR) + "/vo.bmp");
  std::string mask = test::read_file(std::string(OVU_BUILD_DIR) + "/vomask.bmp");
  // Texel (s, t) as stored: row t counted from the first stored row.
  int alpha(int s, int t) const { return static_cast<unsigned char>(mask[1078 + t * kSide + s]); }
  test::Image::Pixel colour_at(int s, int t) const {
    const std::size_t i = 54 + (static_cast<std::size_t>(t) * kSide + s) * 3;
    return {static_cast<unsigned char>(colour[i + 2]), static_cast<unsigned char>(colour[i + 1]),
            static_cast<unsigned char>(colour[i])};
  }
  // Whether the mask is `value` all around the texel, so filtering cannot blur it.
  bool uniform(int s, int t, int value) const {
    for (int dt = -4; dt <= 4; ++dt)
      for (int ds = -4; ds <= 4; ++ds)
        if (alpha(s + ds, t + dt) != value) return false;
    return true;
  }
};

bool near(const test::Image::Pixel& a, const test::Image::Pixel& b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

const test::Image::Pixel kFog = {128, 128, 178};  // (0.5, 0.5, 0.7)

class Picture : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(test::have_display()) << "run the tests under an X server (xvfb-run -a)"; }
};

TEST_F(Picture, SkyIsTheFogColourAndTheWaterBlueBelowIt) {
  for (int frames : {190, 750}) {
    const test::Image image = shot(frames);
    ASSERT_EQ(image.width, kWidth);
    ASSERT_EQ(image.height, kHeight);
    // The top band is above the horizon and never under the title.
    for (int x : {5, kWidth / 2, kWidth - 5})
      EXPECT_TRUE(near(image.at(x, 2), kFog, 1)) << frames << " at " << x;
    long r = 0, g = 0, b = 0;
    for (int y = kHeight - 60; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        r += image.at(x, y).r;
        g += image.at(x, y).g;
        b += image.at(x, y).b;
      }
    EXPECT_GT(b, r * 11 / 10) << frames;
    EXPECT_GT(b, g) << frames;
  }
}

TEST_F(Picture, TitleCoversTheWaterOnlyWhereItsMaskIsOpaque) {
  const Bitmaps bitmaps;
  const test::Image with = shot(190);  // 3.04 s: fully shown, no wobble
  const test::Image without = shot(190, false);
  int opaque = 0, clear = 0;
  for (int y = kHeight / 10; y < kHeight * 9 / 10; y += 7) {
    for (int x = kWidth / 20; x < kWidth * 19 / 20; x += 7) {
      // Screen y from the top; texture t grows upwards from the first stored row.
      const int s = static_cast<int>((x + 0.5) / kWidth * kSide);
      const int t = static_cast<int>((1 - (y + 0.5) / kHeight) * kSide);
      if (s < 5 || t < 5 || s >= kSide - 5 || t >= kSide - 5) continue;
      if (bitmaps.uniform(s, t, 255)) {
        ++opaque;
        EXPECT_TRUE(near(with.at(x, y), bitmaps.colour_at(s, t), 12)) << x << "," << y;
      } else if (bitmaps.uniform(s, t, 0)) {
        ++clear;
        const auto a = with.at(x, y), b = without.at(x, y);
        EXPECT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b) << x << "," << y;
      }
    }
  }
  EXPECT_GT(opaque, 50);
  EXPECT_GT(clear, 50);
}

TEST_F(Picture, TitleIsGoneAfterTenSecondsAndFramesRepeatExactly) {
  const test::Image late = shot(750);  // 12 s
  EXPECT_EQ(late.rgb, shot(750, false).rgb);
  EXPECT_EQ(late.rgb, shot(750).rgb);  // the same frame every run
  EXPECT_NE(late.rgb, shot(740).rgb);  // and the surface moves
}

}  // namespace
}  // namespace ovu
