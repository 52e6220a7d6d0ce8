// The real program, one row per way of running it: arguments, set-up, exit
// code, standard output, standard error and the files it writes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "core/frame_loop.h"
#include "driver.h"

namespace ovu {
namespace {

namespace fs = std::filesystem;
using test::ChildResult;
using test::ProgramRow;
using test::TempDir;

const std::vector<std::string> kNoDisplay = {"DISPLAY", "WAYLAND_DISPLAY"};
const std::vector<std::string> kOneFrame = {"--windowed", "64x48", "--frames", "1"};

std::vector<std::string> one_frame(std::vector<std::string> args) {
  args.insert(args.end(), kOneFrame.begin(), kOneFrame.end());
  return args;
}

std::function<void(const TempDir&)> remove(const char* name) {
  return [name](const TempDir& dir) { fs::remove(dir.file(name)); };
}

std::function<void(const TempDir&)> move_bitmaps_to_data(const char* except = "") {
  return [except](const TempDir& dir) {
    fs::create_directory(dir.file("data"));
    for (const char* name : {"CHRMWARP.bmp", "vo.bmp", "vomask.bmp"}) {
      if (std::string(name) != except) fs::rename(dir.file(name), dir.file("data/") + name);
      fs::remove(dir.file(name));
    }
  };
}

// The field after the same frames of the core loop, as --dump-water writes it.
void dump_equals_core(const TempDir& dir, const ChildResult&) {
  struct NoOutput {
    void render(const FrameView&) {}
    void flush() {}
    void swap() {}
  } out;
  Random random;
  Water water(random);
  FrameLoop loop(water, random);
  loop.start(0);
  for (std::uint32_t n = 1; n <= 60; ++n) loop.frame(n * 100, out);
  const auto expected = field_bytes(water);
  EXPECT_TRUE(test::read_file(dir.file("water.bin")) == std::string(expected.begin(), expected.end()));
}

bool near(const std::uint8_t* a, const std::uint8_t* b, int tolerance) {
  for (int c = 0; c < 3; ++c)
    if (std::abs(a[c] - b[c]) > tolerance) return false;
  return true;
}

// Fog above the horizon, and the title at 3 s over all of it, cut out by its
// mask: the stored image where the mask is opaque, the plain scene where it
// is clear.
void picture_shows_scene_and_title(const TempDir& dir, const ChildResult&) {
  const test::Image with = test::read_png(dir.file("shot.png"));
  ASSERT_EQ(with.width, 320);
  ASSERT_EQ(with.height, 240);
  const auto plain = test::run_child(test::program({"--windowed", "320x240", "--fixed-step", "1000", "--frames", "3",
                                                    "--no-intro", "--screenshot", dir.file("plain.png")}),
                                     test::program_options(dir.path()));
  ASSERT_EQ(plain.exit_code, 0) << plain.err;
  const test::Image without = test::read_png(dir.file("plain.png"));
  const std::uint8_t fog[3] = {128, 128, 178};
  for (int x : {5, 160, 315}) EXPECT_TRUE(near(with.at(x, 2), fog, 1)) << x;
  const std::string colour = test::read_file(dir.file("vo.bmp")), mask = test::read_file(dir.file("vomask.bmp"));
  auto alpha = [&](int s, int t) { return static_cast<std::uint8_t>(mask[1078 + t * 512 + s]); };
  auto uniform = [&](int s, int t, int value) {
    for (int dt = -8; dt <= 8; ++dt)
      for (int ds = -8; ds <= 8; ++ds)
        if (alpha(s + ds, t + dt) != value) return false;
    return true;
  };
  int opaque = 0, clear = 0;
  for (int y = 24; y < 216; y += 5) {
    for (int x = 16; x < 304; x += 5) {
      // Texture t grows upwards from the first stored row.
      const int s = static_cast<int>((x + 0.5) / 320 * 512), t = static_cast<int>((1 - (y + 0.5) / 240) * 512);
      if (s < 9 || t < 9 || s > 502 || t > 502) continue;
      const auto* texel = reinterpret_cast<const std::uint8_t*>(&colour[54 + (t * 512 + s) * 3]);
      const std::uint8_t rgb[3] = {texel[2], texel[1], texel[0]};
      if (uniform(s, t, 255)) {
        ++opaque;
        EXPECT_TRUE(near(with.at(x, y), rgb, 24)) << x << "," << y;
      } else if (uniform(s, t, 0)) {
        ++clear;
        EXPECT_TRUE(near(with.at(x, y), without.at(x, y), 0)) << x << "," << y;
      }
    }
  }
  EXPECT_GT(opaque, 20);
  EXPECT_GT(clear, 20);
}

void paused_between_frames(const TempDir&, const ChildResult& r) {
  double seconds = 0;
  ASSERT_EQ(std::sscanf(r.err.substr(r.err.find("fps: ")).c_str(), "fps: %*d frames in %lf", &seconds), 1);
  EXPECT_GE(seconds, 0.8);  // four pauses between five frames
}

void only_the_bitmaps_are_there(const TempDir& dir, const ChildResult&) {
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(dir.path())) entries += entry.path().extension() == ".bmp" ? 0 : 1;
  EXPECT_EQ(entries, 0) << "the writability probe left something behind";
}

void verbose_lines(const TempDir&, const ChildResult& r) {
  EXPECT_NE(r.err.find("gl: depth buffer "), std::string::npos);
  // Bit 6 is reserved and may read back as 1.
  EXPECT_TRUE(r.err.find("fpu: control word 0x137F") != std::string::npos ||
              r.err.find("fpu: control word 0x133F") != std::string::npos);
}

TEST(Program, EachWayOfRunningItEndsAsItShould) {
  const test::XServer no_glx("320x240x24", false);
  const std::string no_window = "Runtime error   1 at 00D10001\n", usage = "\nusage: ovu";
  // clang-format off
  const ProgramRow rows[] = {
      {"frames", {"--windowed", "320x240", "--frames", "5"}, 0, "", ""},
      {"verbose", {"--windowed", "160x120", "--frames", "1", "--verbose"}, 0, "", "window: 160 x 120", {}, {},
       verbose_lines},
      {"help", {"--help"}, 0, "usage: ovu [options]\n*", "", kNoDisplay},
      {"version", {"--version"}, 0, "ovu *", "", kNoDisplay},
      {"/c", {"/c"}, 0, "ovu has no settings: there is nothing to configure.\n", "", kNoDisplay},
      {"no display", one_frame({}), 1, no_window, "ovu: sdl: ", kNoDisplay},
      {"no GLX", one_frame({}), 1, no_window, "GLX", {no_glx.env()}},
      {"no such host window", {"--window-id", "0x7ffffff", "--frames", "1"}, 1, no_window, "0x7ffffff"},
      {"bad host variable", {"--root", "--frames", "1"}, 64, "", "XSCREENSAVER_WINDOW", {"XSCREENSAVER_WINDOW=0x"}},
      {"empty host variable: the root window", {"--root", "--frames", "1"}, 0, "", "", {"XSCREENSAVER_WINDOW="}},
      {"host variable without --root: a window of its own", kOneFrame, 0, "", "", {"XSCREENSAVER_WINDOW=0x7ffffff"}},
      {"CHRMWARP.bmp missing", kOneFrame, 2, "Runtime error   2 at 00B10001\n", "'CHRMWARP.bmp': No such file", {},
       remove("CHRMWARP.bmp")},
      {"vo.bmp missing", kOneFrame, 2, "Runtime error   2 at 00B10011\n", "'vo.bmp'", {}, remove("vo.bmp")},
      {"vomask.bmp missing", kOneFrame, 2, "Runtime error   2 at 00B10012\n", "'vomask.bmp'", {}, remove("vomask.bmp")},
      {"--data-dir", one_frame({"--data-dir", "{dir}/data"}), 0, "", "", {}, move_bitmaps_to_data()},
      {"--data-dir without vo.bmp", one_frame({"--data-dir", "{dir}/data/"}), 2, "Runtime error   2 at 00B10011\n",
       "/data/vo.bmp'", {}, move_bitmaps_to_data("vo.bmp")},
      {"unknown option", {"--bogus"}, 64, "", "ovu: unknown option '--bogus'" + usage, kNoDisplay},
      {"no frames", {"--frames", "0"}, 64, "", "ovu: --frames: '0' is not a whole number", kNoDisplay},
      {"control characters", {"--bogus\n\x1b[2J"}, 64, "", "ovu: unknown option '--bogus??[2J'" + usage, kNoDisplay},
      {"screenshot nowhere", {"--screenshot", "/nonexistent-dir/shot.png"}, 64, "",
       "ovu: cannot write '/nonexistent-dir/shot.png': No such file or directory" + usage, kNoDisplay},
      {"dump onto a directory", {"--dump-water", "{dir}"}, 64, "", "Is a directory" + usage, kNoDisplay, {},
       only_the_bitmaps_are_there},
      {"dump onto /proc", {"--dump-water", "/proc/version"}, 64, "", "ovu: cannot write '/proc/version'", kNoDisplay},
      {"dump", {"--windowed", "160x120", "--fixed-step", "100", "--frames", "60", "--dump-water", "{dir}/water.bin"},
       0, "", "", {}, {}, dump_equals_core},
      {"screenshot", {"--windowed", "320x240", "--fixed-step", "1000", "--frames", "3", "--screenshot",
       "{dir}/shot.png"}, 0, "", "", {}, {}, picture_shows_scene_and_title},
      {"delay", {"--windowed", "160x120", "--frames", "5", "--delay", "200000", "--fps"}, 0, "", "fps: 5 frames", {},
       {}, paused_between_frames},
  };
  // clang-format on
  for (const ProgramRow& row : rows) test::run_row(row);
}

}  // namespace
}  // namespace ovu
