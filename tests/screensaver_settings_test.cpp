#include "core/screensaver_settings.h"

#include <gtest/gtest.h>

#include <tuple>

namespace ovu {
namespace {

// As the registry stores a DWORD: little-endian.
StoredValue dword(std::uint32_t n) {
  return {true, true, {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16), std::uint8_t(n >> 24)}};
}

TEST(ScreensaverSettings, StoredNumbersAreClampedAndAnythingElseIsTheDefault) {
  const StoredValue missing{}, text{true, false, {'1', '5', 0, 0}}, short_dword{true, true, {15, 0}},
      long_dword{true, true, {15, 0, 0, 0, 0, 0, 0, 0}}, unreadable{false, true, {15, 0, 0, 0}};
  // Rows: MaxFps, Title, VSync as stored; the settings they make.
  const struct Case { StoredValue fps, title, vsync; int max_fps; bool on_title, on_vsync; } cases[] = {
      {missing, missing, missing, 30, true, true},
      {dword(15), dword(0), dword(1), 15, false, true},
      {dword(119), dword(2), dword(0), 119, true, false},
      {dword(0), dword(0xFFFFFFFF), missing, 5, true, true},
      {dword(4), missing, dword(0x100), 5, true, true},
      {dword(100000), dword(0x100), dword(0), 120, true, false},
      {dword(0xFFFFFFFF), dword(0), dword(0), 120, false, false},  // unsigned: not -1
      {dword(5), dword(1), dword(1), 5, true, true},
      {dword(120), dword(0), dword(1), 120, false, true},
      {text, dword(0), dword(0), 30, false, false},
      {short_dword, missing, missing, 30, true, true},
      {long_dword, missing, missing, 30, true, true},
      {unreadable, unreadable, unreadable, 30, true, true},
      {dword(60), text, {true, false, {0, 0, 0, 0}}, 60, true, true},
  };
  for (const Case& c : cases) {
    const ScreensaverSettings s = decode_settings(c.fps, c.title, c.vsync);
    EXPECT_EQ(std::tie(s.max_fps, s.title, s.vsync), std::tie(c.max_fps, c.on_title, c.on_vsync)) << &c - cases;
  }
  EXPECT_EQ(describe_settings({15, false, true}), "15 fps at most, title off, vsync on");
}

}  // namespace
}  // namespace ovu
