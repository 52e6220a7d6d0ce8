// The real program and what is sent to it: keys, clicks, close requests,
// signals, and the windows of screensaver hosts. Each run has an X server of
// its own; what it sends waits in the queue of a program held stopped since
// its window mapped, so the program meets all of it in its first pump.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "driver.h"

namespace ovu {
namespace {

using test::Child;
using test::ChildResult;
using test::tool;

// The program on a server of its own, stopped the moment its window maps.
class Held {
public:
  explicit Held(const std::vector<std::string>& args) {
    test::TempDir dir;
    test::ChildOptions options;
    options.env_set = {x_.env()};
    Child helper({OVU_X11_HELPER, "hold", dir.file("ready")}, options);
    if (!test::eventually([&] { return std::filesystem::exists(dir.file("ready")); })) return;
    ovu_ = std::make_unique<Child>(test::program(args), test::program_options("", {x_.env()}));
    window_ = helper.wait().out;
    if (!window_.empty()) window_.pop_back();
  }
  const std::string& window() const { return window_; }
  std::string display() const { return x_.env(); }

  // Sends each command ("{id}": the window) or signal, lets the program go on and waits for its end.
  ChildResult run(const std::vector<std::vector<std::string>>& sends) {
    for (auto command : sends) {
      if (command[0].rfind("SIG", 0) == 0) {
        ovu_->signal(command[0] == "SIGTERM" ? SIGTERM : command[0] == "SIGHUP" ? SIGHUP : SIGINT);
        continue;
      }
      std::replace(command.begin(), command.end(), std::string("{id}"), window_);
      tool(command, x_.env());
    }
    ovu_->signal(SIGCONT);
    return ovu_->wait();
  }

private:
  test::XServer x_;
  std::unique_ptr<Child> ovu_;
  std::string window_;
};

TEST(Input, KeysClicksCloseRequestsAndSignalsWaitingBeforeTheFirstFrame) {
  const std::vector<std::string> frames = {"--fps", "--frames", "3"};
  // Nudges of the pointer within the slack: only what comes after them ends the Windows screensaver run.
  const std::vector<std::string> nudges = {"xdotool", "mousemove_relative", "3", "2", "mousemove_relative", "--", "-3",
                                           "2"};
  // clang-format off
  struct Row {
    std::vector<std::string> args;
    std::vector<std::vector<std::string>> sends;
    int code;
    std::string out, err;
  } rows[] = {
      {frames, {{"xdotool", "key", "a"}}, 0, "", "fps: 0 frames"},
      {frames, {{"xdotool", "key", "alt+a", "F10", "alt"}, {"xdotool", "mousemove", "10", "10", "click", "1"}}, 0, "",
       "fps: 3 frames"},  // system keys and the mouse end nothing
      {frames, {{"xdotool", "key", "alt+F4"}}, 0, "", "fps: 0 frames"},
      {frames, {{OVU_X11_HELPER, "close", "{id}"}}, 0, "", "fps: 0 frames"},
      {frames, {{"SIGTERM"}}, 0, "", "fps: 0 frames"},
      {frames, {{"SIGHUP"}}, 0, "", "fps: 0 frames"},  // the terminal went away
      {frames, {{"SIGINT"}}, 217, "Runtime error 217 at 00C7C217\n", "ovu: interrupted"},
      {{"/s"}, {nudges, {"xdotool", "mousemove_relative", "100", "0"}}, 0, "", ""},
      {{"/s"}, {nudges, {"xdotool", "click", "1"}}, 0, "", ""},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args[0] + " " + row.sends.back()[0] + " " + row.sends.back().back());
    Held held(row.args);
    ASSERT_FALSE(held.window().empty());
    if (&row == &rows[0]) {
      // Borderless over the whole screen, class "wc", title "ovu".
      EXPECT_EQ(tool({"xprop", "-id", held.window(), "WM_CLASS", "WM_NAME"}, held.display()).out,
                "WM_CLASS(STRING) = \"wc\", \"wc\"\nWM_NAME(STRING) = \"ovu\"\n");
      EXPECT_NE(tool({"xdotool", "getwindowgeometry", held.window()}, held.display()).out.find("Geometry: 200x150"),
                std::string::npos);
    }
    const ChildResult r = held.run(row.sends);
    EXPECT_EQ(r.exit_code, row.code) << r.err;
    EXPECT_EQ(r.out, row.out);
    EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
  }
}

// Fog above the horizon and dark blue water near the camera, far from the
// fog and from the host's magenta: the scene, at the window's size.
bool is_fog(const int* c) { return c[0] == 128 && c[1] == 128 && c[2] == 178; }  // (0.5, 0.5, 0.7)
bool is_near_water(const int* c) { return c[0] + c[1] + c[2] < 300 && c[2] > c[0] && c[1] < 128; }
bool shows_scene(const std::string& window, int width, int height, const std::string& display) {
  int c[4][3] = {};
  const int at[4][2] = {{width / 2, 2}, {width - 3, 2}, {width / 2, height - 3}, {width - 3, height - 3}};
  for (int k = 0; k < 4; ++k)
    std::sscanf(tool({OVU_X11_HELPER, "pixel", window, std::to_string(at[k][0]), std::to_string(at[k][1])}, display)
                    .out.c_str(),
                "%d %d %d", &c[k][0], &c[k][1], &c[k][2]);
  return is_fog(c[0]) && is_fog(c[1]) && is_near_water(c[2]) && is_near_water(c[3]);
}

TEST(Input, HostsWindowsAreDrawnIntoFollowedAndLeftAsTheyWere) {
  struct Row {
    const char* what;
    std::vector<std::string> args;  // "{id}": the host's window
    std::string variable;           // XSCREENSAVER_WINDOW, unset when empty
    bool argb, resize, host_destroyed;
  } rows[] = {
      {"--window-id, then resized", {"--window-id", "{id}"}, "", false, true, false},
      {"its window destroyed", {"-window-id", "{id}"}, "", false, false, true},
      {"--root with the host's window named, of depth 32", {"--root"}, "{id}", true, false, false},
      {"-root alone", {"-root"}, "", false, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    test::XServer x("640x480x24");
    test::TempDir dir;
    test::ChildOptions options;
    options.env_set = {x.env()};
    std::vector<std::string> helper = {OVU_X11_HELPER, "host", "320x240", dir.file("id")};
    if (row.argb) helper.push_back("argb");
    Child host(helper, options);
    ASSERT_TRUE(test::eventually([&] { return std::filesystem::exists(dir.file("id")); }));
    std::string id = test::read_file(dir.file("id"));
    id.pop_back();
    const bool on_root = row.args[0] == "-root";
    const std::string window = on_root ? "root" : id;
    std::vector<std::string> args = row.args, env = {x.env(), "XSCREENSAVER_WINDOW"};
    for (auto& a : args) a = a == "{id}" ? id : a;
    if (!row.variable.empty()) env[1] += "=" + id;
    args.push_back("--no-intro");
    const std::string before = tool({"xprop", "-id", id}, x.env()).out;
    Child ovu(test::program(args), test::program_options("", env));
    EXPECT_TRUE(
        test::eventually([&] { return shows_scene(window, on_root ? 640 : 320, on_root ? 480 : 240, x.env()); }));
    if (row.resize) {
      // Keys and the mouse in the host's window belong to the host: the program still follows the resize after them.
      tool({"xdotool", "mousemove", "--window", id, "30", "30", "click", "1", "key", "a", "Escape"}, x.env());
      tool({"xdotool", "windowsize", id, "480", "360"}, x.env());
      EXPECT_TRUE(test::eventually([&] { return shows_scene(id, 480, 360, x.env()); }))
          << "the viewport kept the old size";
    }
    if (row.host_destroyed)
      tool({"xdotool", "windowkill", id}, x.env());  // the host's connection, and with it the window
    else
      ovu.signal(SIGTERM);
    const ChildResult r = ovu.wait();
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    if (row.host_destroyed || on_root) continue;
    EXPECT_NE(tool({"xwininfo", "-children", "-id", id}, x.env()).out.find(" 0 children."), std::string::npos);
    EXPECT_EQ(tool({"xprop", "-id", id}, x.env()).out, before);
    if (!row.resize) continue;
    // The screenshot is of the host's window, at its present size.
    const auto shot = test::run_child(test::program({"--window-id", id, "--no-intro", "--fixed-step", "16", "--frames",
                                                     "3", "--screenshot", dir.file("shot.png")}),
                                      test::program_options("", env));
    EXPECT_EQ(shot.exit_code, 0) << shot.err;
    const test::Image image = test::read_png(dir.file("shot.png"));
    ASSERT_EQ(image.width, 480);
    ASSERT_EQ(image.height, 360);
    const int sky[3] = {image.at(240, 2)[0], image.at(240, 2)[1], image.at(240, 2)[2]};
    const int water[3] = {image.at(240, 357)[0], image.at(240, 357)[1], image.at(240, 357)[2]};
    EXPECT_TRUE(is_fog(sky) && is_near_water(water));
  }
}

}  // namespace
}  // namespace ovu
