// The real binary in windows that a screensaver host made (--window-id,
// --root, the Windows switches): what it draws there, how it follows the
// window, and that it ends in order and leaves the window as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

#include "png_read.h"
#include "program_run.h"
#include "temp_dir.h"

namespace ovu {
namespace {

using test::Child;
using test::program;
using test::program_options;
using test::tool;

struct Rgb {
  int r = -1, g = -1, b = -1;
};

bool is_fog(const Rgb& c) { return c.r == 128 && c.g == 128 && c.b == 178; }  // (0.5, 0.5, 0.7)
// The water near the camera: dark blue, far from the fog and the host's magenta.
bool is_near_water(const Rgb& c) { return c.r >= 0 && c.r + c.g + c.b < 300 && c.b > c.r && c.g < 128; }

bool eventually(const std::function<bool()>& condition, double seconds = 20) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return condition();
}

// A plain window as a host makes one, alive until the test ends or destroys it.
class HostWindow {
public:
  explicit HostWindow(const std::string& size, bool argb = false) {
    const std::string file = dir_.file("id");
    std::vector<std::string> args = {OVU_X11_HELPER, "host", size, file};
    if (argb) args.push_back("argb");
    helper_ = std::make_unique<Child>(args);
    if (eventually([&] { return std::filesystem::exists(file); }, 10)) id_ = test::read_file(file);
    if (!id_.empty() && id_.back() == '\n') id_.pop_back();
  }
  ~HostWindow() {
    if (exists()) destroy();
  }
  const std::string& id() const { return id_; }
  std::string decimal_id() const { return std::to_string(std::stoul(id_, nullptr, 16)); }
  bool exists() const { return !id_.empty() && helper({"children", id_}).exit_code == 0; }
  int children() const { return std::stoi(helper({"children", id_}).out); }
  void resize(const std::string& size) const { helper({"resize", id_, size}); }
  void destroy() const { helper({"destroy", id_}); }
  Rgb pixel(int x, int y) const { return pixel_of(id_, x, y); }
  std::string properties() const { return tool({"xprop", "-id", id_}).out; }

  static Rgb pixel_of(const std::string& window, int x, int y) {
    Rgb c;
    std::sscanf(helper({"pixel", window, std::to_string(x), std::to_string(y)}).out.c_str(), "%d %d %d", &c.r,
                &c.g, &c.b);
    return c;
  }

private:
  static test::ChildResult helper(std::vector<std::string> args) {
    args.insert(args.begin(), OVU_X11_HELPER);
    return test::run_child(args);
  }

  test::TempDir dir_;
  std::unique_ptr<Child> helper_;
  std::string id_;
};

class HostedProgram : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(test::have_display()) << "run the tests under an X server (xvfb-run -a)"; }
};

test::ChildOptions hosted_options(const std::string& host_variable = "") {
  test::ChildOptions options = program_options();
  if (host_variable.empty())
    options.env_unset.push_back("XSCREENSAVER_WINDOW");
  else
    options.env_set.push_back("XSCREENSAVER_WINDOW=" + host_variable);
  return options;
}

// Sky at the top, water at the bottom, across the whole window.
bool shows_the_scene(const HostWindow& host, int width, int height) {
  return is_fog(host.pixel(width / 2, 2)) && is_fog(host.pixel(width - 3, 2)) &&
         is_near_water(host.pixel(width / 2, height - 3)) && is_near_water(host.pixel(width - 3, height - 3));
}

void end_with_sigterm(Child& ovu) {
  ovu.signal(SIGTERM);
  const auto r = ovu.wait();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST_F(HostedProgram, DrawsIntoTheGivenWindowAtItsSizeAndFollowsItsSize) {
  HostWindow host("320x240");
  ASSERT_FALSE(host.id().empty());
  ASSERT_EQ(host.pixel(10, 10).g, 0) << "the host's own background";
  const std::string before = host.properties();
  Child ovu(program({"--window-id", host.id(), "--no-intro"}), hosted_options());
  EXPECT_TRUE(eventually([&] { return shows_the_scene(host, 320, 240); }));

  host.resize("480x360");
  EXPECT_TRUE(eventually([&] { return shows_the_scene(host, 480, 360); })) << "the viewport kept the old size";

  // Keys and the mouse in the host's window belong to the host.
  tool({"xdotool", "windowfocus", "--sync", host.id(), "key", "a", "Escape"});
  tool({"xdotool", "mousemove", "--window", host.id(), "30", "30", "click", "1", "mousemove", "--window",
        host.id(), "300", "200"});
  EXPECT_TRUE(ovu.still_running_after(0.8));

  end_with_sigterm(ovu);
  ASSERT_TRUE(host.exists());
  EXPECT_EQ(host.children(), 0);
  EXPECT_EQ(host.properties(), before);

  // The screenshot is of the host's window, at its present size.
  test::TempDir dir;
  const auto r = test::run_child(program({"--window-id", host.id(), "--no-intro", "--fixed-step", "16", "--frames",
                                          "30", "--screenshot", dir.file("shot.png")}),
                                 hosted_options());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const test::Image shot = test::read_png(dir.file("shot.png"));
  ASSERT_EQ(shot.width, 480);
  ASSERT_EQ(shot.height, 360);
  const auto sky = shot.at(240, 2), water = shot.at(240, 357);
  EXPECT_TRUE(is_fog({sky.r, sky.g, sky.b}));
  EXPECT_TRUE(is_near_water({water.r, water.g, water.b}));
}

TEST_F(HostedProgram, AWindowThatGoesAwayEndsItInOrder) {
  {
    HostWindow host("200x150");
    Child ovu(program({"--window-id", host.id(), "--no-intro"}), hosted_options());
    ASSERT_TRUE(eventually([&] { return shows_the_scene(host, 200, 150); }));
    host.destroy();
    const auto r = ovu.wait();
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "");
  }
  // No such window at all: no window to draw in.
  const auto r = test::run_child(program({"--window-id", "0x7ffffff", "--frames", "1"}), hosted_options());
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "Runtime error   1 at 00D10001\n");
  EXPECT_NE(r.err.find("0x7ffffff"), std::string::npos) << r.err;
}

TEST_F(HostedProgram, RootMeansTheHostsWindowElseTheRootWindow) {
  // Of depth 32, as xscreensaver makes it when it has no GL visual to offer.
  HostWindow host("240x180", true);
  ASSERT_EQ(host.pixel(10, 10).g, 0) << "the host's own background";
  {
    Child ovu(program({"--root", "--no-intro"}), hosted_options(host.id()));
    EXPECT_TRUE(eventually([&] { return shows_the_scene(host, 240, 180); }));
    end_with_sigterm(ovu);
  }
  {
    Child ovu(program({"-root", "--no-intro"}), hosted_options());
    EXPECT_TRUE(eventually([&] {
      return is_fog(HostWindow::pixel_of("root", 1000, 2)) && is_near_water(HostWindow::pixel_of("root", 1000, 1020));
    }));
    end_with_sigterm(ovu);
  }
  const auto r = test::run_child(program({"--root", "--frames", "1"}), hosted_options("nonsense"));
  EXPECT_EQ(r.exit_code, 64);
  EXPECT_NE(r.err.find("XSCREENSAVER_WINDOW"), std::string::npos) << r.err;
}

TEST_F(HostedProgram, DelayPausesAfterEveryFrameYetATerminationEndsItAtOnce) {
  const auto r = test::run_child(program({"--windowed", "160x120", "--frames", "5", "--delay", "200000", "--fps"}),
                                 hosted_options());
  ASSERT_EQ(r.exit_code, 0) << r.err;
  double seconds = 0;
  ASSERT_EQ(std::sscanf(r.err.substr(r.err.find("fps: ")).c_str(), "fps: %*d frames in %lf", &seconds), 1) << r.err;
  EXPECT_GE(seconds, 0.8);  // four pauses between five frames
  EXPECT_LT(seconds, 3.0);

  // A host sends SIGTERM and waits: a second-long pause must not hold it up.
  Child ovu(program({"--windowed", "160x120", "--delay", "1000000"}), hosted_options());
  ASSERT_EQ(tool({"xdotool", "search", "--sync", "--name", "^ovu$"}, 20).exit_code, 0);
  usleep(300 * 1000);
  const auto asked = std::chrono::steady_clock::now();
  ovu.signal(SIGTERM);
  EXPECT_EQ(ovu.wait().exit_code, 0);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count(), 0.5);
}

TEST_F(HostedProgram, WindowsSwitchesPreviewConfigureAndRun) {
  {
    HostWindow host("152x112");  // the size of the display settings' preview
    Child ovu(program({"/p", host.decimal_id()}), hosted_options());
    EXPECT_TRUE(eventually([&] { return is_fog(host.pixel(76, 1)); }));
    end_with_sigterm(ovu);
  }
  const auto configure = test::run_child(program({"/c"}), hosted_options());
  EXPECT_EQ(configure.exit_code, 0);
  EXPECT_NE(configure.out.find("nothing to configure"), std::string::npos) << configure.out;

  // /s: a nudge of the pointer is not enough, a move or a click is. Moved
  // relative to wherever the pointer is, whether or not it was reported.
  for (const char* ending : {"move", "click"}) {
    Child ovu(program({"/s"}), hosted_options());
    ASSERT_EQ(tool({"xdotool", "search", "--sync", "--name", "^ovu$"}, 20).exit_code, 0);
    usleep(300 * 1000);
    tool({"xdotool", "mousemove_relative", "3", "2"});
    tool({"xdotool", "mousemove_relative", "--", "-3", "2"});
    EXPECT_TRUE(ovu.still_running_after(0.8)) << ending;
    if (std::string(ending) == "move")
      tool({"xdotool", "mousemove_relative", "100", "0"});
    else
      tool({"xdotool", "click", "1"});
    const auto r = ovu.wait();
    EXPECT_EQ(r.exit_code, 0) << ending << r.err;
    EXPECT_EQ(r.out, "") << ending;
  }
}

}  // namespace
}  // namespace ovu
