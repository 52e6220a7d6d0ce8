// The real program, one row per way of running it: arguments, set-up, exit
// code, standard output, standard error and the files it writes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <regex>
#include <tuple>

#include "core/frame_loop.h"
#include "core/y4m.h"
#include "driver.h"

namespace ovu {
namespace {

using namespace test;

const std::vector<std::string> kNoDisplay = {"DISPLAY", "WAYLAND_DISPLAY"};
const std::vector<std::string> kOneFrame = {"--windowed", "64x48", "--frames", "1"};


std::vector<std::string> one_frame(const std::vector<std::string>& args) { return args + kOneFrame; }
// The program run by a bash script, as "$@" with these arguments; $0 is `zero`.
std::vector<std::string> bash(const std::string& script, const std::vector<std::string>& args = {},
                              const std::string& zero = "bash") {
  return std::vector<std::string>{"/bin/bash", "-c", script, zero, "{ovu}"} + args;
}
// One of the scripts in tests/sh with its arguments, "{ovu}" among them.
std::vector<std::string> script(const std::string& name, const std::vector<std::string>& args) {
  return std::vector<std::string>{"/bin/bash", OVU_TEST_SCRIPTS "/" + name} + args;
}

constexpr const char* kWaited = "test $(cat run.cpu) -lt 15 && awk '$1 == \"fps:\" { exit $2 > 10 * ($5 - 3) + 5 }' run.err";
constexpr const char* kNoScreensaverCall = "grep -q member=End host.bus && ! grep -q ScreenSaver host.bus";

// An X server of the row's own. -noreset: helpers' connections come and go, and a server that
// resets when its last client leaves refuses the program's connection meanwhile.
const std::vector<std::string> kOwnServer = {"/usr/bin/xvfb-run", "-a", "-s", "-screen 0 640x480x24 -noreset"};
std::vector<std::string> on_session_bus(const std::vector<std::string>& args) {
  return kOwnServer + std::vector<std::string>{"/usr/bin/dbus-run-session", "--"} + script("session-bus.sh", args);
}

// An installed copy: bitmaps looked for in the current directory, then beside it in share/ovu.
const std::vector<std::string> kInstalled = {"/bin/sh", "-c", "exec {dir}/bin/ovu --windowed 64x48 --frames 1", "sh",
                                             "{ovu}"};  // the build's program after it goes unused
constexpr const char* kInstall = "mkdir -p bin share/ovu; cp \"$OVU_BINARY\" bin/ovu; mv *.bmp share/ovu;";

std::vector<std::string> over_limit(const std::vector<std::string>& output) {
  return std::vector<std::string>{"/usr/bin/prlimit", "--fsize=2000", "--core=0", "--", "{ovu}", "--windowed", "64x48",
                                  "--frames", "2"} + output;
}

// The field after the same frames of the core loop, as --dump-water writes it.
void dump_equals_core(const TempDir& dir, const ChildResult&) {
  Random random;
  Water water(random);
  FrameLoop loop(water, random);
  std::uint32_t ticks = 0;
  loop.start(ticks);
  // Two and four sub-steps in turn: a mixture that blew the field up under earlier step rules.
  for (int n = 0; n < 3000; ++n) loop.tick(ticks += n % 2 == 0 ? 33 : 67), loop.drop(), loop.step();
  std::string expected;  // each cell's height, then its velocity: float32, least significant byte first
  for (const Cell& cell : water.cells()) {
    ASSERT_TRUE(std::isfinite(cell.velocity) && std::fabs(cell.height) <= 40);
    std::uint32_t bits[2];
    std::memcpy(bits, &cell, sizeof bits);
    for (int b = 0; b < 64; b += 8) expected += static_cast<char>(bits[b / 32] >> b % 32);
  }
  EXPECT_TRUE(test::read_file(dir.file("water.bin")) == expected);
}

// 30 frames of 320 x 240: the header, a FRAME line before each frame, and
// the last frame the screenshot's picture, top row first (the conversion
// itself has its own test).
void record_matches_screenshot(const TempDir& dir, const ChildResult&) {
  const test::Image shot = test::read_png(dir.file("a.png"));
  ASSERT_EQ(shot.rgb.size(), 3u * 320 * 240);
  for (const auto& [file, layout, tag] : {std::tuple{"a.y4m", ChromaLayout::Full, "C444"},
                                          std::tuple{"c.y4m", ChromaLayout::Half, "C420jpeg"}}) {
    SCOPED_TRACE(file);
    const std::string y4m = test::read_file(dir.file(file));
    const std::string header = "YUV4MPEG2 W320 H240 F125:2 Ip A1:1 " + std::string(tag) + " XCOLORRANGE=FULL\n";
    const std::size_t planes = y4m_planes_size(320, 240, layout), frame = 6 + planes;
    ASSERT_EQ(y4m.size(), header.size() + 30 * frame);
    EXPECT_EQ(y4m.substr(0, header.size()), header);
    for (std::size_t n = 0; n < 30; ++n) EXPECT_EQ(y4m.substr(header.size() + n * frame, 6), "FRAME\n") << n;
    std::string expected(planes, '\0');
    rgb_to_ycbcr(shot.rgb.data(), 320, 240, layout, reinterpret_cast<std::uint8_t*>(expected.data()));
    EXPECT_TRUE(y4m.substr(y4m.size() - planes) == expected);
  }
}

// The film keeps its first size, 64 x 48: the last frame of the grown window is its screenshot's top left.
void film_fitted_from_resized_window(const TempDir& dir, const ChildResult&) {
  const test::Image shot = test::read_png(dir.file("a.png"));
  std::vector<std::uint8_t> cut;
  std::string expected(y4m_planes_size(64, 48, ChromaLayout::Full), '\0'), y4m = test::read_file(dir.file("a.y4m"));
  ASSERT_TRUE(shot.width == 96 && shot.height == 64 && y4m.size() > expected.size());
  fit_rgb(shot.rgb.data(), 96, 64, 64, 48, cut);
  rgb_to_ycbcr(cut.data(), 64, 48, ChromaLayout::Full, reinterpret_cast<std::uint8_t*>(expected.data()));
  EXPECT_TRUE(y4m.substr(y4m.size() - expected.size()) == expected);
}

void paused_between_frames(const TempDir&, const ChildResult& r) {
  double seconds = 0;
  ASSERT_EQ(std::sscanf(r.err.substr(r.err.find("fps: ")).c_str(), "fps: %*d frames in %lf", &seconds), 1);
  EXPECT_GE(seconds, 0.8);  // four pauses of 200 ms between five frames, or as the cap's row says
}

std::vector<ProgramRow> program_rows() {
  const std::string no_window = "Runtime error   1 at 00D10001\n", usage = "\nusage: ovu";
  const std::string x11_helper = std::string("X11_HELPER=") + OVU_X11_HELPER;
  const std::string gone = "Runtime error   1 at 00D10004\n", destroyed = "ovu: x11: our window was destroyed from outside";
  // clang-format off
  std::vector<ProgramRow> rows = {
      // Bit 6 of the control word is reserved and may read back as 1.
      {"verbose", script("three-intervals.sh", {"{ovu}", "--windowed", "160x120", "--frames", "1", "--verbose"}), 0, "1\n0\n1\n", "depth buffer 32 bits\nwindow: 160 x 120\nfpu: control word 0x13", {}, "", "",
       [](auto&, auto& r) { EXPECT_TRUE(std::regex_search(r.err, std::regex("gl: [^\\n]+, [^\\n]+, GL [1-9][\\s\\S]*\nfpu: control word 0x13[37]F\n"))); }},
      {"help", bash("\"$@\" --help && \"$@\" -h"), 0, "usage: ovu [options]\n*", "", kNoDisplay},
      {"version", {"--version"}, 0, "ovu *", "", kNoDisplay},
      {"/c", {"/c"}, 0, "ovu has no settings: there is nothing to configure.\n", "", kNoDisplay},
      {"no display", one_frame({}), 1, no_window, "ovu: sdl: ", kNoDisplay},
      {"no GLX", {"/usr/bin/xvfb-run", "-a", "-s", "-screen 0 320x240x24 -extension GLX -noreset", "{ovu}", "--windowed",
       "64x48", "--frames", "1"}, 1, no_window, "GLX"},
      {"wallpaper without Wayland", {"--wallpaper"}, 1, no_window,
       "ovu: wayland: --wallpaper needs a Wayland compositor, and WAYLAND_DISPLAY is not set (on X11, --root", kNoDisplay},
      {"screensaver on X11", {"--screensaver"}, 1, no_window, "is not set (on X11, xscreensaver and", {"WAYLAND_DISPLAY"}},
      {"no such host window", {"--window-id", "0x7ffffff", "--frames", "1"}, 1, no_window, "0x7ffffff"},
      {"bad host variable", {"--root", "--frames", "1"}, 64, "", "XSCREENSAVER_WINDOW", {"XSCREENSAVER_WINDOW=0x"}},
      {"empty host variable: the root window", {"--root", "--frames", "1"}, 0, "", "", {"XSCREENSAVER_WINDOW="}},
      {"host variable without --root: a window of its own", kOneFrame, 0, "", "", {"XSCREENSAVER_WINDOW=0x7ffffff"}},
      {"CHRMWARP.bmp missing", kOneFrame, 2, "Runtime error   2 at 00B10001\n", "'CHRMWARP.bmp': No such file", {},
       "rm CHRMWARP.bmp"},
      // The three found there, a slash after it or not; the mask, checked last, is missing.
      {"--data-dir", one_frame({"--data-dir", "{dir}/data/"}), 2, "Runtime error   2 at 00B10012\n",
       "/data/vomask.bmp'", {}, "mkdir data; mv *.bmp data; rm data/vomask.bmp"},
      {"unknown option", {"--bogus"}, 64, "", "ovu: unknown option '--bogus'" + usage, kNoDisplay},
      {"screenshot nowhere", {"--frames", "1", "--screenshot", "/nonexistent-dir/shot.png"}, 64, "",
       "ovu: cannot write '/nonexistent-dir/shot.png': No such file or directory" + usage, kNoDisplay},
      // The screenshot's check passes first and must leave nothing behind.
      {"dump onto a directory", {"--frames", "1", "--screenshot", "{dir}/shot.png", "--dump-water", "{dir}"}, 64, "",
       "Is a directory" + usage, kNoDisplay, "", "test $(ls | wc -l) = 3"},
      {"dump over an earlier file", {"--windowed", "64x48", "--fixed-step", "33,67", "--frames", "3000",
       "--dump-water", "{dir}/water.bin"}, 0, "", "", {}, "echo earlier >water.bin", "", dump_equals_core},
      {"dump and record through links", one_frame({"--dump-water", "{dir}/out", "--record", "{dir}/film"}), 0, "", "", {},
       "echo earlier >old; ln -s old out; echo earlier >f; ln -s f film", "test -L out -a -L film; test $(stat -L -c %s out) = 83232; head -c 9 f | grep -q YUV4MPEG2"},
      {"dump to a device", one_frame({"--dump-water", "{dir}/out"}), 0, "", "", {},
       "mknod out c 1 3", "test -c out"},  // a null device of our own: a mistake must not replace the machine's,
      // More than a pipe holds, so the writes must block once the open did not.
      {"dump to a FIFO with a reader", bash("cat out >read & \"$@\"; wait", one_frame({"--dump-water", "out"})), 0, "", "", {}, "mkfifo out", "test $(stat -c %s read) = 83232"},
      {"dump to a FIFO nobody reads", one_frame({"--dump-water", "{dir}/out"}), 6, "Runtime error   6 at 00D10003\n",
       "FIFO that nothing reads", {}, "mkfifo out", "test -p out"},
      {"dump to standard output", one_frame({"--dump-water", "/dev/stdout"}), 0, "*", "", {}, "", "",
       [](const TempDir&, const ChildResult& r) { EXPECT_EQ(r.out.size(), 83232u); }},
      {"dump over the file-size limit", over_limit({"--dump-water", "out"}), 27,
       "Runtime error  27 at 00D10003\n", "ovu: dump: cannot write 'out': File too large\n", {}, "echo earlier >out", "test $(cat out) = earlier"},
      {"standard output closed at a stop", script("broken-stdout.sh", {"{ovu}", "--data-dir", "/nonexistent"}), 2, "", "bmp: cannot open '/nonexistent/CHRMWARP.bmp'"},
      {"standard output closed for --help", script("broken-stdout.sh", {"{ovu}", "--help"}), 0, "", ""},
      {"control characters in a reason", one_frame({"--data-dir", "/nonexistent/a\nb\x1b[2J"}), 2,
       "Runtime error   2 at 00B10001\n", "'/nonexistent/a?b?[2J/CHRMWARP.bmp'"},
      // Under 0.15 s of CPU in 3 s unmapped, and at most 10 frames a second in the rest of the run.
      {"unmapped, our window waits", kOwnServer + script("unmapped.sh", {"own", "{ovu}", "--fps", "--max-fps", "10"}), 0,
       "", "fps: ", {x11_helper}, "", kWaited},
      {"unmapped, a host's window waits", kOwnServer + script("unmapped.sh", {"host", "{ovu}", "--fps", "--max-fps", "10"}), 0,
       "", "fps: ", {x11_helper}, "", kWaited},
      {"window destroyed from outside", kOwnServer + script("destroy-window.sh", {"{ovu}", "--windowed", "64x48"}), 1, gone, destroyed},
      {"window destroyed while it opens", kOwnServer + bash("exec 3< <(\"$X11_HELPER\" destroy-new); read -r _ <&3; exec \"$@\"", {"--windowed", "64x48"}), 1, gone, destroyed, {x11_helper}},
      {"input-only host window", script("host-window.sh", {"input-only", "{ovu}"}), 1,
       no_window, "is input-only", {x11_helper}},
      // Only the plain demo keeps the display awake, as a video player does; a screensaver run leaves its power alone.
      {"the plain demo inhibits the screensaver", on_session_bus({"{ovu}", "--windowed", "64x48", "--frames", "3"}), 0,
       "", "", {}, "", "grep -q 'interface=org.freedesktop.ScreenSaver; member=Inhibit' host.bus"},
      {"the screensaver run: no screensaver call", on_session_bus({"/usr/bin/timeout", "--preserve-status", "3", "{ovu}", "/s"}), 0,
       "", "window: 640 x 480", {"OVU_VERBOSE=1"}, "", kNoScreensaverCall},
      {"a host's window: no screensaver call", on_session_bus(script("host-window.sh", {"", "{ovu}", "--frames", "3"})), 0, "", "", {x11_helper}, "", kNoScreensaverCall},
      {"--root: no screensaver call, and 40 s of idle time", on_session_bus(script("idle-time.sh", {"{ovu}", "--root", "--max-fps", "10"})), 0, "", "", {x11_helper, "XSCREENSAVER_WINDOW"}, "",
       kNoScreensaverCall + std::string(" && test $(cat host.idle) -ge 40000")},
      {"installed", kInstalled, 0, "", "", {}, kInstall},
      {"installed, a short one here", kInstalled, 100, "Runtime error 100 at 00B10003\n",
       "ovu: bmp: cannot read 'CHRMWARP.bmp': file is too short\n", {}, kInstall + std::string(" echo >CHRMWARP.bmp")},
      {"installed, one in neither", kInstalled, 2, "Runtime error   2 at 00B10011\n",
       "ovu: bmp: cannot open 'vo.bmp': No such file or directory; not in /", {}, kInstall + std::string(" rm share/ovu/vo.bmp")},
      {"record in both layouts, with a display and without", script("record-thrice.sh", {"{ovu}", "--windowed", "320x240", "--frames",
       "30", "--fixed-step", "16"}), 0, "", "gl: context: an offscreen EGL pbuffer", {}, "", "", record_matches_screenshot},
      {"record the plain demo", kOwnServer + std::vector<std::string>{"{ovu}", "--frames", "2", "--record", "{dir}/out"}, 0, "", "", {}, "",
       "head -n 1 out | grep -q '^YUV4MPEG2 W640 H480 F60:1 ' && test $(stat -c %s out) = $(($(head -n 1 out | wc -c) + 2 * (6 + 3 * 640 * 480)))"},
      {"record while the window is resized", kOwnServer + script("resize-while-recording.sh", {"{ovu}", "--windowed",
       "64x48", "--frames", "20", "--max-fps", "10", "--record", "a.y4m", "--screenshot", "a.png"}), 0, "", "", {}, "", "",
       film_fitted_from_resized_window},
      {"record to a pipe that closes", bash("set -o pipefail; \"$@\" | head -c 50000 >/dev/null", {"--windowed", "64x48",
       "--frames", "100", "--record", "-"}), 32, "", "record: cannot write '-': Broken pipe"},
      // Its place made a directory while it records: the rename at the end fails, and says so.
      {"record whose place is taken", script("place-taken.sh", {"{ovu}", "--windowed", "64x48", "--frames", "30",
       "--max-fps", "10", "--record", "out"}), 21, "Runtime error  21 at 00D10006\n", "ovu: record: cannot write 'out': Is a directory\n"},
      // A termination request is no failure: the film so far is finished and put in place, at once. A signal that
      // would end it silently waits for the film's end instead.
      {"SIGTERM while recording", script("signal-mid-film.sh", {"TERM", "{ovu}", "--windowed", "64x48"}), 0, "", "", {}, "",
       "head -n 1 out | grep -q '^YUV4MPEG2 W64 H48 '"},
      {"SIGINT while recording", script("signal-mid-film.sh", {"INT", "{ovu}", "--windowed", "64x48"}), 217,
       "Runtime error 217 at 00C7C217\n", "ovu: interrupted", {}, "", "test ! -e out"},
      {"SIGUSR1 while recording", script("signal-mid-film.sh", {"USR1", "{ovu}", "--windowed", "64x48", "--frames", "30", "--max-fps", "10"}),
       138, "", "", {}, "", "test $(stat -c %s out) = $((54 + 30 * (6 + 3 * 64 * 48)))"},
      {"record to a full disk", one_frame({"--record", "/dev/full"}), 28, "Runtime error  28 at 00D10006\n",
       "No space left on device"},
      {"record over the file-size limit", over_limit({"--record", "{dir}/out"}), 27, "Runtime error  27 at 00D10006\n",
       "File too large", {}, "echo earlier >out", "test $(cat out) = earlier"},
      // Two seconds of frames, so that a wrong time left shows in the last line.
      // Standard error the terminal, not standard input or output.
      {"progress on a terminal", {"/bin/sh", "-c", "script -qec \"$0 --windowed 64x48 --frames 5 --max-fps 2 </dev/null >/dev/null\" /dev/null", "{ovu}"},
       0, "\rframe 1 of 5, *", "", {}, "", "", [](const TempDir&, const ChildResult& r) {
         EXPECT_TRUE(std::regex_search(r.out, std::regex("\rframe 5 of 5, [0-9]+\\.[0-9] fps, 0 s left  \r\n$"))) << r.out; }},
      {"no progress with --quiet or without --frames", {"/bin/sh", "-c", "script -qec \"$0 --windowed 64x48 --frames 5 --quiet && "
       "timeout --preserve-status 2 $0 --windowed 64x48\" /dev/null", "{ovu}"}, 0, "", ""},
      {"delay", {"--windowed", "160x120", "--frames", "5", "--delay", "200000", "--max-fps", "1000", "--fps"}, 0, "", "fps: 5 frames", {},
       "", "", paused_between_frames},
      // Two intervals at 2 fps: more than the pauses' 0.8 s, and the film's rate.
      {"frame rate cap", {"--windowed", "160x120", "--frames", "3", "--max-fps", "2", "--fps", "--record", "{dir}/r.y4m"},
       0, "", "fps: 3 frames", {}, "", "head -n 1 r.y4m | grep -q ' F2:1 '", paused_between_frames},
      {"--no-intro", bash("\"$@\" --screenshot a.png && \"$@\" --no-intro --screenshot b.png && ! cmp -s a.png b.png",
       {"--windowed", "64x48", "--fixed-step", "16", "--frames", "150"}), 0, "", ""},
      {"SIGHUP ignored from the start", bash("trap '' HUP; . " OVU_TEST_SCRIPTS "/await.sh; \"$@\" --verbose 2>err & ovu=$!; "
       "await grep -q '^window:' err && kill -HUP $ovu; wait $ovu; code=$?; cat err >&2; exit $code",
       {"--windowed", "64x48", "--frames", "20", "--max-fps", "10", "--fps"}), 0, "", "fps: 20 frames"},
      {"clicks and a drag, replayed", kOwnServer + script("clicks-replayed.sh", {"{ovu}", "--windowed", "160x120", "--fixed-step",
       "16", "--frames", "100", "--max-fps", "20"}), 0, "", ""},
      // A journal is read whole before the window opens.
      {"replay of no file", {"--replay", "none"}, 2, "Runtime error   2 at 00D10011\n",
       "ovu: replay: cannot read 'none': No such file or directory\n", kNoDisplay},
      // A drop in the last frame counts as --frames does: from 1, and applied. A virtual clock: two real ones differ anyway.
      {"replay into the last frame", bash("\"$@\" --replay j --dump-water a --record-input k && \"$@\" --dump-water b",
       one_frame({"--fixed-step", "16"})), 0, "", "", {},
       "printf 'ovu input journal 1\\n1 50 50\\n' >j", "! cmp -s a b && cmp j k"},
      {"replay past the last frame", {"--frames", "30", "--replay", "j"}, 65, "Runtime error  65 at 00D10011\n",
       "ovu: replay: 'j' line 3: frame 31 is past the last frame, 30\n", kNoDisplay,
       "printf 'ovu input journal 1\\n30 8 8\\n31 8 8\\n' >j", "", [](auto&, auto& r) { EXPECT_EQ(r.err.find("usage"), r.err.npos); }},
  };
  // clang-format on
  return rows;
}

class Program : public testing::TestWithParam<ProgramRow> {};
TEST_P(Program, EndsAsItShould) { test::run_row(GetParam()); }
INSTANTIATE_TEST_SUITE_P(EachWayOfRunningIt, Program, testing::ValuesIn(program_rows()),
                         [](const auto& row) { return test::row_name(row.param.what); });

}  // namespace
}  // namespace ovu
