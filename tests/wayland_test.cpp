// The program on Wayland, each run under a headless sway of its own: the
// plain demo through SDL, and the wallpaper on the compositor's outputs.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

#include "driver.h"

namespace ovu {
namespace {

using test::Image;

Image grab(const test::Sway& sway, const std::string& output, const test::TempDir& dir) {
  const std::string path = dir.file(output + ".png");
  return test::run_child({"/usr/bin/grim", "-o", output, path}, {"", sway.env(), {}}).exit_code == 0 ? test::read_png(path)
                                                                                                     : Image{};
}

// Fog in the top corners and dark blue water in the bottom ones, as the X11
// rows probe it; the compositor's copy may round the fog's blue up.
bool shows_scene(const Image& image, int width, int height) {
  if (image.width != width || image.height != height) return false;
  for (int x : {2, width - 3}) {
    const std::uint8_t *top = image.at(x, 2), *bottom = image.at(x, height - 3);
    if (!(top[0] == 128 && top[1] == 128 && top[2] - 178u <= 1 && bottom[0] + bottom[1] + bottom[2] < 300 &&
          bottom[2] > bottom[0] && bottom[1] < 128))
      return false;
  }
  return true;
}

// Clock ticks of CPU time, user and system.
long cpu_ticks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string fields[15];
  for (auto& field : fields) stat >> field;
  return std::stol(fields[13]) + std::stol(fields[14]);
}

#define START_SWAY(sway)                                                         \
  const test::Sway sway;                                                         \
  if (!sway.unavailable().empty()) GTEST_SKIP() << sway.unavailable()

TEST(Wayland, ThePlainDemoDrawsAsOnX11) {
  START_SWAY(sway);
  // The same frame through SDL's Wayland driver, then on the tests' X server.
  test::run_row({"the same frame", {"/bin/sh", "-c", "\"$@\" --verbose --screenshot w.png && "
                 "env -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 \"$@\" --screenshot x.png", "sh", "{ovu}", "--windowed",
                 "160x120", "--fixed-step", "16", "--frames", "30"}, 0, "", "SDL video driver 'wayland'",
                 sway.env(), "", "", [](const test::TempDir& dir, const test::ChildResult&) {
                   const Image w = test::read_png(dir.file("w.png")), x = test::read_png(dir.file("x.png"));
                   ASSERT_TRUE(w.width == 160 && w.height == 120 && x.rgb.size() == w.rgb.size());
                   // The page's limits: a mean difference of at most 1, and few pixels more than 8 apart.
                   long sum = 0, far = 0;
                   for (std::size_t i = 0; i < w.rgb.size(); ++i) {
                     const int d = std::abs(w.rgb[i] - x.rgb[i]);
                     sum += d;
                     far += d > 8;
                   }
                   EXPECT_LE(sum, static_cast<long>(w.rgb.size()));
                   EXPECT_LE(far * 200, static_cast<long>(w.rgb.size()));
                 }});
}

TEST(Wayland, TheWallpaperIsUnderWindowsOnEveryOutputAndOutlivesOne) {
  START_SWAY(sway);
  test::TempDir dir;
  test::Child wallpaper(test::program({"--wallpaper"}), test::program_options("", sway.env()));
  test::Child window(test::program({"--windowed", "100x80"}), test::program_options("", sway.env()));
  // The window's border, centred on the first output, over the water and sky.
  EXPECT_EQ(test::await(wallpaper, [&] {
    const Image image = grab(sway, "HEADLESS-1", dir);
    return shows_scene(image, 320, 240) && std::vector<std::uint8_t>(image.at(160, 74), image.at(160, 74) + 3) ==
                                              std::vector<std::uint8_t>{255, 0, 255};
  }, "the wallpaper under the window"), "");
  // An output that comes later gets it too.
  ASSERT_EQ(sway.msg({"create_output"}).exit_code, 0);
  EXPECT_EQ(test::await(wallpaper, [&] { return shows_scene(grab(sway, "HEADLESS-2", dir), 200, 150); }, "the new output"),
            "");
  ASSERT_EQ(sway.msg({"output", "HEADLESS-2", "disable"}).exit_code, 0);
  // Still drawing on the first: the water moves.
  const Image before = grab(sway, "HEADLESS-1", dir);
  EXPECT_EQ(test::await(wallpaper, [&] { return grab(sway, "HEADLESS-1", dir).rgb != before.rgb; }, "a moving picture"),
            "");
  wallpaper.signal(SIGTERM);
  const test::ChildResult r = wallpaper.wait();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
}

TEST(Wayland, AWallpaperThatNoOutputShowsWaits) {
  START_SWAY(sway);
  test::TempDir dir;
  auto window = std::make_unique<test::Child>(test::program({"--windowed", "100x80"}),
                                              test::program_options("", sway.env()));
  ASSERT_EQ(test::await(*window, [&] { return sway.msg({"[title=^ovu$]", "fullscreen", "enable"}).exit_code == 0; },
                        "its window"), "");
  // Under the fullscreen window from the start: at most its first frame, then
  // under 0.15 s of CPU in 3 s, and not one frame more, --frames or not.
  test::Child wallpaper(test::program({"--wallpaper", "--frames", "60", "--dump-water", dir.file("w.bin")}),
                        test::program_options("", sway.env()));
  const auto still = [&](int ms) {
    const long before = cpu_ticks(wallpaper.pid());
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return cpu_ticks(wallpaper.pid()) - before;
  };
  ASSERT_EQ(test::await(wallpaper, [&] { return still(500) == 0; }, "a settled wallpaper"), "");  // started and drawn
  const long covered = cpu_ticks(wallpaper.pid());
  std::this_thread::sleep_for(std::chrono::seconds(3));
  EXPECT_LT(cpu_ticks(wallpaper.pid()) - covered, 15);
  EXPECT_FALSE(std::ifstream(dir.file("w.bin")).good());
  // Uncovered, it draws its frames and ends, the field written.
  window.reset();
  const test::ChildResult r = wallpaper.wait();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(test::read_file(dir.file("w.bin")).size(), 83232u);
}

}  // namespace
}  // namespace ovu
