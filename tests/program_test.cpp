// The real binary under an X server: exit codes, the error line, keys,
// close requests and the frame loop's tie to the core.
#include <gtest/gtest.h>
#include <signal.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "core/frame_loop.h"
#include "core/random.h"
#include "core/water.h"
#include "program_run.h"
#include "temp_dir.h"

namespace ovu {
namespace {

using test::Child;
using test::program;
using test::program_options;
using test::tool;

class Program : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(test::have_display()) << "run the tests under an X server (xvfb-run -a)"; }
};

test::ChildOptions without_display() {
  test::ChildOptions options = program_options();
  options.env_unset = {"DISPLAY", "WAYLAND_DISPLAY"};
  return options;
}

// Waits until the program's window exists and it has had time to draw.
void wait_for_window() {
  const auto found = tool({"xdotool", "search", "--sync", "--name", "^ovu$"}, 20);
  ASSERT_EQ(found.exit_code, 0) << found.err;
  usleep(300 * 1000);
}

TEST_F(Program, RunsTheGivenFramesAndEndsCleanly) {
  const auto r = test::run_child(program({"--windowed", "320x240", "--frames", "5"}), program_options());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const auto help = test::run_child(program({"--help"}), without_display());
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("--fixed-step"), std::string::npos);
  const auto version = test::run_child(program({"--version"}), without_display());
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.rfind("ovu ", 0), 0u);
}

TEST_F(Program, BadArgumentsExit64BeforeAnyWindowOpens) {
  test::TempDir dir;
  const std::vector<std::vector<std::string>> cases = {
      {"--frames", "0"}, {"--frames"}, {"--bogus"}, {"--windowed", "12"}, {"--fixed-step", "-1"},
      {"--fixed-step", "16,,60"}, {"--fixed-step", "16,0"}, {"--fixed-step", "16,x"},
      {"--frames", "1", "--screenshot", "/nonexistent-dir/shot.png"}, {"--dump-water", dir.path()},
  };
  for (const auto& args : cases) {
    // No display: a window attempt would end with code 1 instead.
    const auto r = test::run_child(program(args), without_display());
    EXPECT_EQ(r.exit_code, 64) << args[0] << "\n" << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("ovu: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("usage: ovu"), std::string::npos);
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));  // the writability probe left nothing behind
}

TEST_F(Program, WithoutADisplayStopsWithCode1) {
  const auto r = test::run_child(program({"--frames", "1"}), without_display());
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "Runtime error   1 at 00D10001\n");
  EXPECT_NE(r.err.find("sdl:"), std::string::npos) << r.err;
}

TEST_F(Program, MissingBitmapsStopWithCode2InLoadingOrder) {
  test::TempDir dir;
  auto run_in = [&](std::vector<std::string> args) {
    test::ChildOptions options = program_options();
    options.working_directory = dir.path();
    args.insert(args.end(), {"--windowed", "160x120", "--frames", "1"});
    return test::run_child(program(args), options);
  };
  auto copy = [&](const char* name) {
    std::filesystem::copy_file(std::string(OVU_BUILD_DIR) + "/" + name, dir.file(name));
  };
  struct Step {
    const char* add;
    const char* line;
    const char* missing;
  } steps[] = {
      {nullptr, "Runtime error   2 at 00B10001\n", "CHRMWARP.bmp"},
      {"CHRMWARP.bmp", "Runtime error   2 at 00B10011\n", "vo.bmp"},
      {"vo.bmp", "Runtime error   2 at 00B10012\n", "vomask.bmp"},
  };
  for (const Step& step : steps) {
    if (step.add != nullptr) copy(step.add);
    const auto r = run_in({});
    EXPECT_EQ(r.exit_code, 2) << step.missing;
    EXPECT_EQ(r.out, step.line);
    EXPECT_NE(r.err.find(step.missing), std::string::npos) << r.err;
  }
  copy("vomask.bmp");
  EXPECT_EQ(run_in({}).exit_code, 0);
  // --data-dir reads from there, whatever the working directory.
  test::ChildOptions elsewhere = program_options();
  elsewhere.working_directory = "/";
  EXPECT_EQ(test::run_child(program({"--data-dir", dir.path(), "--windowed", "160x120", "--frames", "1"}), elsewhere)
                .exit_code,
            0);
  std::filesystem::remove(dir.file("vo.bmp"));
  const auto r = test::run_child(program({"--data-dir", dir.path(), "--windowed", "160x120", "--frames", "1"}), elsewhere);
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "Runtime error   2 at 00B10011\n");
}

struct NoOutput {
  void render(const FrameView&) {}
  void flush() {}
  void swap() {}
};

TEST_F(Program, DumpedFieldEqualsTheCoreRunOfTheSameFrames) {
  struct Case {
    std::vector<std::uint32_t> step_ms;
    int frames;
  } cases[] = {{{16}, 150}, {{33, 67}, 3000}};  // the second mixes two and four sub-steps
  for (const Case& c : cases) {
    std::string list;
    for (std::uint32_t ms : c.step_ms) list += (list.empty() ? "" : ",") + std::to_string(ms);
    test::TempDir dir;
    const std::string dump = dir.file("water.bin");
    const auto r = test::run_child(program({"--windowed", "64x48", "--no-intro", "--fixed-step", list, "--frames",
                                            std::to_string(c.frames), "--dump-water", dump}),
                                   program_options());
    ASSERT_EQ(r.exit_code, 0) << r.err;

    Random random;
    Water water(random);
    FrameLoop loop(water, random);
    NoOutput out;
    std::uint32_t ticks = 0;
    loop.start(ticks);
    for (int n = 0; n < c.frames; ++n) loop.frame(ticks += c.step_ms[n % c.step_ms.size()], out);
    const auto expected = field_bytes(water);
    const std::string got = test::read_file(dump);
    ASSERT_EQ(got.size(), 83232u);
    EXPECT_TRUE(got == std::string(expected.begin(), expected.end())) << list;
    for (const Cell& cell : water.cells())
      ASSERT_TRUE(std::isfinite(cell.velocity) && std::fabs(cell.height) <= 40) << list;
  }
}

TEST_F(Program, PlainKeysEndItSystemKeysDoNot) {
  Child ovu(program({}), program_options());
  wait_for_window();
  for (const char* key : {"alt+a", "F10", "alt"}) {
    tool({"xdotool", "key", key});
    EXPECT_TRUE(ovu.still_running_after(0.8)) << key;
  }
  tool({"xdotool", "mousemove", "10", "10", "click", "1"});
  EXPECT_TRUE(ovu.still_running_after(0.5)) << "mouse";
  tool({"xdotool", "key", "a"});
  const auto r = ovu.wait();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST_F(Program, AltF4AndACloseRequestEndIt) {
  {
    Child ovu(program({}), program_options());
    wait_for_window();
    tool({"xdotool", "key", "alt+F4"});
    const auto r = ovu.wait();
    EXPECT_EQ(r.exit_code, 0) << r.err;
  }
  {
    Child ovu(program({"--windowed", "320x240"}), program_options());
    wait_for_window();
    const auto closed = tool({OVU_X11_HELPER, "close", "ovu"});
    EXPECT_EQ(closed.exit_code, 0) << closed.err;
    const auto r = ovu.wait();
    EXPECT_EQ(r.exit_code, 0) << r.err;
  }
}

TEST_F(Program, KeyWaitingBeforeTheFirstFrameEndsItWithoutDrawing) {
  Child ovu(program({"--fps"}), program_options());
  // Frozen the moment its window appears, before the scene is set up.
  const auto stopped = tool({OVU_X11_HELPER, "stop-on-map", std::to_string(ovu.pid()), "ovu"});
  ASSERT_EQ(stopped.exit_code, 0) << stopped.err;
  tool({"xdotool", "key", "a"});
  ovu.signal(SIGCONT);
  const auto r = ovu.wait();
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.err.find("fps: 0 frames"), std::string::npos) << r.err;
}

TEST_F(Program, WindowIsClassWcTitledOvuAndCoversTheScreen) {
  Child ovu(program({}), program_options());
  wait_for_window();
  const auto wm_class = tool({"xprop", "-name", "ovu", "WM_CLASS"});
  EXPECT_NE(wm_class.out.find("\"wc\", \"wc\""), std::string::npos) << wm_class.out;
  const auto screen = tool({"xdotool", "getdisplaygeometry"});
  const auto window = tool({"xdotool", "search", "--name", "^ovu$", "getwindowgeometry"});
  const std::string size = screen.out.substr(0, screen.out.find('\n'));
  std::string expected = size;
  expected[expected.find(' ')] = 'x';
  EXPECT_NE(window.out.find("Geometry: " + expected), std::string::npos) << window.out << " vs " << size;
  ovu.signal(SIGTERM);
  const auto r = ovu.wait();
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
}

TEST_F(Program, InterruptStopsWith217) {
  Child ovu(program({"--windowed", "160x120"}), program_options());
  wait_for_window();
  ovu.signal(SIGINT);
  const auto r = ovu.wait();
  EXPECT_EQ(r.exit_code, 217);
  EXPECT_EQ(r.out.rfind("Runtime error 217 at ", 0), 0u) << r.out;
}

TEST_F(Program, VerboseNamesTheContextAndTheFloatingPointControl) {
  const auto r = test::run_child(program({"--windowed", "160x120", "--frames", "1", "--verbose"}), program_options());
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.err.find("gl: depth buffer "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("window: 160 x 120"), std::string::npos) << r.err;
  const bool control_set = r.err.find("fpu: control word 0x137F") != std::string::npos ||
                           r.err.find("fpu: control word 0x133F") != std::string::npos;
  EXPECT_TRUE(control_set) << r.err;
}

}  // namespace
}  // namespace ovu
