// The program on Wayland, each run under a headless compositor of its own:
// the plain demo through SDL, the wallpaper and the screensaver on sway's
// outputs, and what weston and KWin make of them.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

#include "driver.h"

namespace ovu {
namespace {

using test::Compositor;
using test::Image;
using test::operator+;

Image grab(const Compositor& sway, const std::string& output, const test::TempDir& dir) {
  const std::string path = dir.file(output + ".png");
  return test::run_child({"/usr/bin/grim", "-o", output, path}, {"", sway.env(), {}}).exit_code == 0 ? test::read_png(path)
                                                                                                     : Image{};
}

// The scene in the top and bottom corners, at this size.
bool shows_scene(const Image& image, int width, int height) {
  return image.width == width && image.height == height && test::scene(image.at(2, 2), image.at(2, height - 3)) &&
         test::scene(image.at(width - 3, 2), image.at(width - 3, height - 3));
}

// Drawn at half the pixels and doubled by the compositor: a pixel equals its
// right neighbour in the pairs (2k, 2k+1) far more often than in the pairs
// (2k+1, 2k+2), where drawn pixels meet (100% against 58% at scale 2).
bool doubled(const Image& image) {
  long same[2] = {0, 0};
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x + 1 < image.width; ++x) same[x % 2] += std::equal(image.at(x, y), image.at(x, y) + 3, image.at(x + 1, y));
  return same[0] > same[1] + image.width * image.height / 20;  // 10 points of the pairs of one kind
}

// Clock ticks of CPU time, user and system.
long cpu_ticks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string fields[15];
  for (auto& field : fields) stat >> field;
  return std::stol(fields[13]) + std::stol(fields[14]);
}

using Kind = Compositor::Kind;
#define START(compositor, ...)                  \
  const Compositor compositor(__VA_ARGS__);     \
  if (!compositor.unavailable().empty()) GTEST_SKIP() << compositor.unavailable()

// On two outputs, the first at scale 2: under a window's border, at its
// output's pixels (not doubled), on an output made later too, and again
// once the first has a new mode; SIGTERM ends it with 0.
TEST(Wayland, TheWallpaperIsUnderWindowsOnEveryOutputAtItsPixels) {
  START(sway, Kind::Sway);
  test::TempDir dir;
  ASSERT_EQ(sway.msg({"output", "HEADLESS-1", "resolution", "640x480", "scale", "2"}).exit_code, 0);
  test::Child wallpaper(test::program({"--wallpaper", "--verbose"}), test::program_options("", sway.env()));
  test::Child window(test::program({"--windowed", "100x80"}), test::program_options("", sway.env()));
  // The window's top border (24 pixels at scale 2), centred on the first output.
  EXPECT_EQ(test::await(wallpaper, [&] {
    const Image image = grab(sway, "HEADLESS-1", dir);
    return shows_scene(image, 640, 480) && !doubled(image) &&
           std::vector<std::uint8_t>(image.at(320, 188), image.at(320, 188) + 3) == std::vector<std::uint8_t>{255, 0, 255};
  }, "the wallpaper under the window"), "");
  ASSERT_EQ(sway.msg({"create_output"}).exit_code, 0);
  EXPECT_EQ(test::await(wallpaper, [&] { return shows_scene(grab(sway, "HEADLESS-2", dir), 200, 150); }, "the new output"),
            "");
  ASSERT_EQ(sway.msg({"output", "HEADLESS-1", "resolution", "800x600"}).exit_code, 0);
  EXPECT_EQ(test::await(wallpaper, [&] {
    const Image image = grab(sway, "HEADLESS-1", dir);
    return shows_scene(image, 800, 600) && !doubled(image);
  }, "the new mode"), "");
  wallpaper.signal(SIGTERM);
  const test::ChildResult r = wallpaper.wait();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("wayland: HEADLESS-1: 800 x 600 pixels at scale 2\n"), std::string::npos) << r.err;
}

TEST(Wayland, AWallpaperThatNoOutputShowsWaits) {
  START(sway, Kind::Sway);
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

// Started by swayidle as docs/wayland.md says, after a second of idleness:
// above a fullscreen window on both outputs, not holding back swayidle's
// later timeout, drawing on after pointer nudges within the slack, and ended
// by a key that the window never sees, pressed or released. Run again, a move by the first
// output's width (onto the same spot of the second) ends it, and so does a
// click; the cursor is hidden over it. The pointer is a helper's own.
TEST(Wayland, TheScreensaverCoversEveryOutputUntilInputThatOnlyItSees) {
  START(sway, Kind::Sway);
  test::TempDir dir;
  ASSERT_EQ(sway.msg({"create_output"}).exit_code, 0);
  const auto options = test::program_options("", sway.env());
  const auto shown = [&](test::Child& child) {
    return test::await(child, [&] {
      return shows_scene(grab(sway, "HEADLESS-1", dir), 320, 240) && shows_scene(grab(sway, "HEADLESS-2", dir), 200, 150);
    }, "the screensaver on both outputs");
  };
  // wev logs the keys its window gets: a key typed (again, until it has a keyboard) shows it.
  test::Child wev({"/usr/bin/stdbuf", "-oL", "/usr/bin/wev", "-f", "wl_keyboard"}, options);
  ASSERT_EQ(test::await(wev, [&] {
    return sway.msg({"[app_id=wev]", "fullscreen", "enable"}).exit_code == 0 &&
           test::run_child({"/usr/bin/wtype", "a"}, options).exit_code == 0 && wev.output().find("sym: a") != std::string::npos;
  }, "a key in the fullscreen window"), "");
  test::Child idle({"/usr/bin/swayidle", "timeout", "1", OVU_BINARY " --screensaver; echo $? >" + dir.file("code"),
                    "timeout", "3", "echo >" + dir.file("off")}, options);
  EXPECT_EQ(shown(idle), "");
  EXPECT_EQ(test::await(idle, [&] { return test::read_file(dir.file("off")) == "\n"; }, "the later timeout"), "");
  idle.signal(SIGTERM);  // else it starts another once idle again
  idle.wait(60);
  ASSERT_EQ(test::run_child({OVU_WAYLAND_POINTER, "3,2", "-3,1"}, options).exit_code, 0);
  const Image before = grab(sway, "HEADLESS-1", dir);
  EXPECT_TRUE(test::eventually([&] { return grab(sway, "HEADLESS-1", dir).rgb != before.rgb; }, 60)) << "no frame after nudges";
  // q held for half a second: the screensaver ends at once, but keeps the keyboard till it is up.
  EXPECT_EQ(test::run_child({"/usr/bin/wtype", "-s", "1000", "-P", "q", "-s", "500", "-p", "q"}, options).exit_code, 0);
  EXPECT_TRUE(test::eventually([&] { return test::read_file(dir.file("code")) == "0\n"; }, 60));
  EXPECT_EQ(wev.output().find("sym: q"), std::string::npos) << wev.output();
  for (const char* ending : {"320,0", "click"}) {
    test::Child saver(test::program({"--screensaver"}), test::program_options("", sway.env() + std::vector<std::string>{"WAYLAND_DEBUG=1"}));
    EXPECT_EQ(shown(saver), "");
    ASSERT_EQ(test::run_child({OVU_WAYLAND_POINTER, ending}, options).exit_code, 0);
    const test::ChildResult r = saver.wait(60);
    EXPECT_EQ(r.exit_code, 0) << ending;
    const std::size_t cursor = r.err.find(".set_cursor(");  // (serial, no surface, 0, 0): none
    EXPECT_TRUE(cursor != std::string::npos && r.err.find(", ", cursor) == r.err.find(", nil, 0, 0)", cursor)) << ending;
  }
}

// At scale 2 the plain demo through SDL has the output's pixels: its
// 160 x 120 is a window of 80 x 60 and draws the frame it draws on X11, and
// maximised it has 640 x 480.
TEST(Wayland, ThePlainDemoDrawsAsOnX11AtItsOutputsPixels) {
  START(sway, Kind::Sway);
  ASSERT_EQ(sway.msg({"output", "HEADLESS-1", "resolution", "640x480", "scale", "2"}).exit_code, 0);
  test::run_row({"SDL", {"/bin/sh", "-c", "\"$@\" --windowed 160x120 --verbose --screenshot w.png && env -u WAYLAND_DISPLAY "
                 "SDL_VIDEODRIVER=x11 \"$@\" --windowed 160x120 --screenshot x.png && \"$@\" --screenshot m.png", "sh",
                 "{ovu}", "--fixed-step", "16", "--frames", "30"}, 0, "", "driver 'wayland') of 80 x 60 at scale 2", sway.env(),
                 "", "file m.png | grep -q '640 x 480'", [](const test::TempDir& dir, const test::ChildResult&) {
                   const Image w = test::read_png(dir.file("w.png")), x = test::read_png(dir.file("x.png"));
                   ASSERT_TRUE(w.width == 160 && w.height == 120 && x.rgb.size() == w.rgb.size());
                   // The page's limits: a mean difference of at most 1, and few pixels more than 8 apart.
                   long sum = 0, far = 0;
                   for (std::size_t i = 0; i < w.rgb.size(); ++i) {
                     sum += std::abs(w.rgb[i] - x.rgb[i]);
                     far += std::abs(w.rgb[i] - x.rgb[i]) > 8;
                   }
                   EXPECT_LE(sum, static_cast<long>(w.rgb.size()));
                   EXPECT_LE(far * 200, static_cast<long>(w.rgb.size()));
                 }});
}

// The other compositors of Debian 12: weston 10 has no layer shell and, headless, no seat; KWin draws.
struct Elsewhere { Kind kind; const char* scale; test::ProgramRow row; };
void PrintTo(const Elsewhere& row, std::ostream* out) { *out << row.row.what; }
class OtherCompositor : public testing::TestWithParam<Elsewhere> {};

TEST_P(OtherCompositor, EndsAsItShould) {
  START(compositor, GetParam().kind, GetParam().scale);
  test::ProgramRow row = GetParam().row;
  row.env = row.env + compositor.env();
  test::run_row(row);
}

const std::string kNoWindow = "Runtime error   1 at 00D10001\n";
const std::string kLayerShell = "ovu: wayland: the compositor has no layer shell (zwlr_layer_shell_v1), which a ";
// clang-format off
INSTANTIATE_TEST_SUITE_P(OnWayland, OtherCompositor, testing::Values(
    Elsewhere{Kind::Weston, "1", {"weston: no layer shell", {"--wallpaper"}, 1, kNoWindow, kLayerShell + "wallpaper needs"}},
    Elsewhere{Kind::Weston, "1", {"weston: the plain demo refused before SDL faults", {"--frames", "3"}, 1, kNoWindow,
              "ovu: sdl: the Wayland compositor offers no wl_seat"}},
    Elsewhere{Kind::Sway, "1", {"sway gone", {"/bin/sh", "-c", "\"$@\" --verbose 2>err & for i in $(seq 600); do "
              "grep -q '^window:' err && break; sleep 0.1; done; swaymsg exit >/dev/null; wait $!; c=$?; cat err >&2; exit $c", "sh",
              "{ovu}", "--wallpaper"}, 1, "Runtime error   1 at 00D10007\n", "ovu: wayland: the connection to the compositor was lost"}},
    Elsewhere{Kind::KWin, "1.5", {"KWin at scale 1.5: the wallpaper", {"--wallpaper", "--verbose", "--frames", "30",
              "--dump-water", "w.bin"}, 0, "", "wayland: Virtual-0: 480 x 360 pixels at scale 1.5\n", {}, "", "test -s w.bin"}}),
    [](const auto& info) { return test::row_name(info.param.row.what); });
// clang-format on

}  // namespace
}  // namespace ovu
