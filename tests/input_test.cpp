// The real program and what is sent to it: keys, clicks, close requests,
// signals, and the windows of screensaver hosts. Each run has an X server of
// its own; what it sends waits in the queue of a program held stopped since
// its window mapped, so the program meets all of it in its first pump.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <sstream>

#include "driver.h"

namespace ovu {
namespace {

using test::tool;

// The commands sent ("{id}": the window), a signal, and the exit code and outputs expected.
struct Sent { const char* what; std::vector<std::string> args; std::vector<std::vector<std::string>> sends; int signal, code;
              std::string out, err; };
void PrintTo(const Sent& row, std::ostream* out) { *out << row.what; }

const std::vector<std::string> kFrames = {"--fps", "--frames", "3"};
// Nudges of the pointer within the slack: only what comes after them ends the Windows screensaver run.
const std::vector<std::string> kNudges = {"xdotool", "mousemove_relative", "3", "2", "mousemove_relative", "--", "-3",
                                          "2"};
// clang-format off
const Sent kSent[] = {
    {"a key, Alt not held", kFrames, {{"xdotool", "key", "F4"}}, 0, 0, "", "fps: 0 frames"},
    {"system keys and the mouse end nothing", kFrames, {{"xdotool", "key", "alt+a", "F10", "alt"},
     {"xdotool", "mousemove", "10", "10", "click", "1"}}, 0, 0, "", "fps: 3 frames"},
    {"Alt+F4", kFrames, {{"xdotool", "key", "alt+F4"}}, 0, 0, "", "fps: 0 frames"},
    {"a key with --interactive", {"--interactive", "--fps", "--frames", "3"}, {{"xdotool", "key", "a"}}, 0, 0, "", "fps: 0 frames"},
    {"a close request", kFrames, {{OVU_X11_HELPER, "close", "{id}"}}, 0, 0, "", "fps: 0 frames"},
    {"SIGTERM", kFrames, {}, SIGTERM, 0, "", "fps: 0 frames"},
    {"SIGHUP, the terminal went away", kFrames, {}, SIGHUP, 0, "", "fps: 0 frames"},
    {"SIGINT", kFrames, {}, SIGINT, 217, "Runtime error 217 at 00C7C217\n", "ovu: interrupted"},
    {"the connection killed", kFrames, {{"xdotool", "windowkill", "{id}"}}, 0, 1, "Runtime error   1 at 00D10005\n",
     "ovu: x11: the connection to the X server was lost"},
    // Nothing to capture, and the earlier picture stays.
    {"minimised at the last frame", {"--frames", "2", "--screenshot", "{shot}"}, {{"xdotool", "windowunmap", "{id}"}}, 0,
     1, "Runtime error   1 at 00D10002\n", "minimised"},
    {"the screensaver run and a moved pointer", {"/s"}, {kNudges, {"xdotool", "mousemove_relative", "100", "0"}}, 0, 0,
     "", ""},
    {"the screensaver run and a click", {"/s"}, {kNudges, {"xdotool", "click", "1"}}, 0, 0, "", ""},
    {"the screensaver run and a system key", {"/s"}, {{"xdotool", "key", "alt+a"}}, 0, 0, "", ""},
};
// clang-format on

class InputSent : public testing::TestWithParam<Sent> {};

TEST_P(InputSent, WaitingBeforeTheFirstFrame) {
  const Sent& row = GetParam();
  // The program on a server of its own, stopped the moment its window maps.
  test::XServer x;
  test::Child helper({OVU_X11_HELPER, "hold"}, test::program_options("", {x.env()}));
  ASSERT_EQ(test::await(helper, [&] { return helper.output() == "ready\n"; }, "the stand-in manager"), "");
  test::TempDir dir;
  test::write_file(dir.file("shot.png"), "earlier");
  std::vector<std::string> args = row.args;
  std::replace(args.begin(), args.end(), std::string("{shot}"), dir.file("shot.png"));
  test::Child ovu(test::program(args), test::program_options("", {x.env()}));
  const auto held = [&] { const std::string out = helper.output(); return std::count(out.begin(), out.end(), '\n') == 2; };
  ASSERT_EQ(test::await(ovu, held, "its window asked to be maximised"), "") << ovu.wait().err;
  const std::string out = helper.output(), window = out.substr(6, out.find('\n', 6) - 6);
  if (std::string(row.what) == "a key, Alt not held") {
    // Borderless over the whole screen, class "wc", title "ovu".
    EXPECT_EQ(tool({"xprop", "-id", window, "WM_CLASS", "WM_NAME"}, x.env()).out,
              "WM_CLASS(STRING) = \"wc\", \"wc\"\nWM_NAME(STRING) = \"ovu\"\n");
    EXPECT_NE(tool({"xdotool", "getwindowgeometry", window}, x.env()).out.find("Geometry: 200x150"),
              std::string::npos);
  }
  for (auto command : row.sends) {
    std::replace(command.begin(), command.end(), std::string("{id}"), window);
    tool(command, x.env());
  }
  if (row.signal != 0) ovu.signal(row.signal);
  ovu.signal(SIGCONT);
  const test::ChildResult r = ovu.wait(60);
  EXPECT_FALSE(r.timed_out) << "it did not end within a minute";
  EXPECT_EQ(r.exit_code, row.code) << r.err;
  EXPECT_EQ(r.out, row.out);
  EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
  EXPECT_EQ(test::read_file(dir.file("shot.png")), "earlier");
}
INSTANTIATE_TEST_SUITE_P(KeysClicksCloseRequestsAndSignals, InputSent, testing::ValuesIn(kSent),
                         [](const auto& row) { return test::row_name(row.param.what); });

using test::scene;

// The scene in the far corners of the window's top and bottom rows, far from the host's magenta.
bool shows_scene(const std::string& window, int width, int height, const std::string& display) {
  int c[2][3] = {};
  for (int k = 0; k < 2; ++k) {
    const std::string x = std::to_string(width - 3), y = std::to_string(k == 0 ? 2 : height - 3);
    std::istringstream(tool({OVU_X11_HELPER, "pixel", window, x, y}, display).out) >> c[k][0] >> c[k][1] >> c[k][2];
  }
  return scene(c[0], c[1]);
}

TEST(Input, HostsWindowsAreDrawnIntoFollowedAndLeftAsTheyWere) {
  // "{id}": the host's window. The host of depth 32 (argb) is named in XSCREENSAVER_WINDOW and destroyed while drawn into.
  struct Row { const char* what; std::vector<std::string> args; bool argb, resize; } rows[] = {
      {"--window-id, then resized", {"--window-id", "{id}", "--no-intro"}, false, true},
      {"--root with the host's window named, of depth 32, destroyed", {"--root", "--no-intro"}, true, false},
      {"-root alone", {"-root", "--no-intro"}, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    test::XServer x("640x480x24");
    test::TempDir dir;
    test::Child host({OVU_X11_HELPER, "host", "320x240", row.argb ? "argb" : ""}, test::program_options("", {x.env()}));
    ASSERT_EQ(test::await(host, [&] { return host.output().find('\n') != std::string::npos; }, "the host's window"), "");
    const std::string id = host.output().substr(0, host.output().find('\n'));
    const bool on_root = row.args[0] == "-root";
    std::vector<std::string> args = row.args, env = {x.env(), "XSCREENSAVER_WINDOW"};
    std::replace(args.begin(), args.end(), std::string("{id}"), id);
    if (row.argb) env[1] += "=" + id;
    const std::string before = tool({"xprop", "-id", id}, x.env()).out;
    test::Child ovu(test::program(args), test::program_options("", env));
    EXPECT_EQ(test::await(ovu, [&] {
      return shows_scene(on_root ? "root" : id, on_root ? 640 : 320, on_root ? 480 : 240, x.env());
    }, "the scene"), "");
    EXPECT_EQ(tool({"xdotool", "search", "--name", "^ovu$"}, x.env()).out, "") << "a window of its own";
    if (row.resize) {
      // Keys and the mouse in the host's window belong to the host: the program still follows the resize after them.
      tool({"xdotool", "mousemove", "--window", id, "30", "30", "click", "1", "key", "a", "Escape"}, x.env());
      tool({"xdotool", "windowsize", id, "480", "360"}, x.env());
      EXPECT_EQ(test::await(ovu, [&] { return shows_scene(id, 480, 360, x.env()); }, "the scene at the new size"), "");
    }
    if (row.argb)
      tool({"xdotool", "windowkill", id}, x.env());  // the host's connection, and with it the window
    else
      ovu.signal(SIGTERM);
    const test::ChildResult r = ovu.wait();
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    if (!row.resize) continue;
    EXPECT_NE(tool({"xwininfo", "-children", "-id", id}, x.env()).out.find(" 0 children."), std::string::npos);
    EXPECT_EQ(tool({"xprop", "-id", id}, x.env()).out, before);
    // The screenshot is of the host's window, at its present size.
    const auto shot = test::run_child(test::program({"--window-id", id, "--no-intro", "--fixed-step", "16", "--frames",
                                                     "3", "--screenshot", dir.file("shot.png")}),
                                      test::program_options("", env));
    EXPECT_EQ(shot.exit_code, 0) << shot.err;
    const test::Image image = test::read_png(dir.file("shot.png"));
    ASSERT_EQ(image.width, 480);
    ASSERT_EQ(image.height, 360);
    EXPECT_TRUE(scene(image.at(477, 2), image.at(477, 357))) << "the top row first";
  }
}

}  // namespace
}  // namespace ovu
