// The generator of the three bitmaps and the icons: the bytes we mean, in every run and build,
// and showing what the demo relies on (a title of three letters cut out by
// its mask, sky above ground in the environment).
#include <gtest/gtest.h>

#include "driver.h"

namespace ovu {
namespace {

constexpr int kSide = 512;

int byte(const std::string& b, std::size_t at) { return static_cast<std::uint8_t>(b[at]); }

TEST(BitmapFiles, AreTheBytesWeMeanInEveryRunAndInTheBuild) {
  test::TempDir dir;
  ASSERT_EQ(test::run_child({OVU_MAKE_BITMAPS, dir.path()}).exit_code, 0);
  ASSERT_EQ(test::run_child({OVU_MAKE_BITMAPS, "--icons", dir.path()}).exit_code, 0);
  // The bytes' FNV-1a hash pins the pictures and the icons: a change to the generator must be meant.
  const std::pair<const char*, std::uint64_t> hashes[] = {
      {"CHRMWARP.bmp", 0xef0f3b139d181684}, {"vo.bmp", 0x22abd1c752a0cf7f}, {"vomask.bmp", 0x97bfcee32cec05a8},
      {"ovu-48.png", 0x6370393a97103c32},   {"ovu-64.png", 0xf7846b108d40a338}, {"ovu-128.png", 0x0c21d8f8600e0b3d},
      {"ovu-256.png", 0x8eaac597d324bf82},  {"ovu.ico", 0xcaf6f864f26ccb66}};
  for (const auto& [name, expected] : hashes) {
    std::uint64_t hash = 0xcbf29ce484222325;
    for (char ch : test::read_file(dir.file(name))) hash = (hash ^ static_cast<std::uint8_t>(ch)) * 0x100000001b3;
    EXPECT_EQ(hash, expected) << name;
  }
  // Headers and sizes included; the build's are the same bytes.
  for (const char* name : {"CHRMWARP.bmp", "vo.bmp", "vomask.bmp"})
    EXPECT_TRUE(test::read_file(dir.file(name)) == test::read_file(std::string(OVU_BUILD_DIR "/") + name)) << name;
}

TEST(BitmapFiles, TitleIsThreeLettersCutOutByItsMaskAboveASkyOverGround) {
  const std::string title = test::read_file(OVU_BUILD_DIR "/vo.bmp");
  const std::string mask = test::read_file(OVU_BUILD_DIR "/vomask.bmp");
  const std::string environment = test::read_file(OVU_BUILD_DIR "/CHRMWARP.bmp");
  // Rows in file order: row 0 is the bottom of the picture. Channel 0 is blue, as stored.
  auto alpha = [&](int x, int row) { return byte(mask, 1078 + row * kSide + x); };
  auto channel = [](const std::string& b, int x, int row, int c) { return byte(b, 54 + (row * kSide + x) * 3 + c); };
  auto luminance = [&](const std::string& b, int x, int row) {
    return 0.299 * channel(b, x, row, 2) + 0.587 * channel(b, x, row, 1) + 0.114 * channel(b, x, row, 0);
  };
  // Three letters, in runs of columns with fully opaque mask pixels, as they never touch.
  int letters = 0;
  bool was = false;
  for (int x = 0; x < kSide; ++x) {
    bool opaque = false;
    for (int row = 0; row < kSide; ++row) opaque |= alpha(x, row) == 255;
    letters += opaque && !was;
    was = opaque;
  }
  EXPECT_EQ(letters, 3);
  // Bright metal only where the mask is opaque, dark backdrop only where it is clear.
  int bright = 0;
  for (int row = 0; row < kSide; ++row)
    for (int x = 0; x < kSide; ++x) {
      const double l = luminance(title, x, row);
      const int a = alpha(x, row);
      bright += l > 180;
      ASSERT_TRUE((l <= 180 || a == 255) && (l < 100 || a > 0)) << x << "," << row;
    }
  EXPECT_GT(bright, 5000);
  // The environment over central blocks a quarter of the way down and up: blue sky, darker ground.
  auto mean = [&](int first_row, int c) {
    double sum = 0;
    for (int row = first_row; row < first_row + 64; ++row)
      for (int x = 205; x < 307; ++x) sum += c < 3 ? channel(environment, x, row, c) : luminance(environment, x, row);
    return sum / (64 * 102);
  };
  EXPECT_GT(mean(320, 0), mean(320, 2) + 40) << "sky should be blue";
  EXPECT_GT(mean(320, 0), mean(128, 0) + 40);
  EXPECT_GT(mean(320, 3), mean(128, 3) + 40);
}

}  // namespace
}  // namespace ovu
