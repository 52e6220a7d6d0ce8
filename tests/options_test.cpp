#include "app/options.h"
#include "app/screensaver.h"
#include "core/error_line.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <tuple>
#include <vector>

namespace ovu {
namespace {

ParsedOptions parse(std::vector<const char*> args) {
  args.insert(args.begin(), "ovu");
  return parse_options(static_cast<int>(args.size()), args.data());
}

std::optional<ParsedOptions> parse_saver(std::vector<const char*> args) {
  return parse_screensaver_args(static_cast<int>(args.size()), args.data());
}

TEST(Options, HostOptionsTakeEitherDashAndANamedWindowWins) {
  using Mode = Options::Mode;
  const struct Case { std::vector<const char*> args; Mode mode; std::uint32_t window; int delay; } cases[] = {
      {{}, Mode::Demo, 0, 0}, {{"--window-id", "0x2a"}, Mode::HostWindow, 42, 0}, {{"--wallpaper"}, Mode::Wallpaper, 0, 0},
      {{"-window-id", "4194311"}, Mode::HostWindow, 4194311, 0}, {{"--window", "--root"}, Mode::HostRoot, 0, 0},
      {{"--window-id=0XFFFFFFFF"}, Mode::HostWindow, 0xFFFFFFFF, 0}, {{"--root"}, Mode::HostRoot, 0, 0},
      {{"-root", "-delay", "20000"}, Mode::HostRoot, 0, 20000}, {{"--root", "--window"}, Mode::Demo, 0, 0},
      // A host that adds its preview window to a command line with --root.
      {{"--root", "--window-id", "77"}, Mode::HostWindow, 77, 0}, {{"--window-id", "77", "-root"}, Mode::HostWindow, 77, 0},
      {{"--delay", "1000000", "--window", "--windowed", "640x480"}, Mode::WindowedDemo, 0, 1000000},
  };
  for (const Case& c : cases) {
    const ParsedOptions p = parse(c.args);
    ASSERT_TRUE(p.ok) << testing::PrintToString(c.args) << ": " << p.error;
    EXPECT_EQ(std::tie(p.options.mode, p.options.window, p.options.delay_us), std::tie(c.mode, c.window, c.delay))
        << testing::PrintToString(c.args);
  }
}

TEST(Options, ValuesAreTakenInBothForms) {
  const ParsedOptions p = parse({"--frames", "120", "--fixed-step=16,60,7", "--windowed", "1280x720",
                                 "--screenshot=a.png", "--dump-water", "w.bin", "--data-dir", "/usr/share/ovu",
                                 "--fps", "--verbose", "--no-vsync", "--no-intro", "--max-fps=1000", "--record", "-",
                                 "--record-format=420", "--quiet", "--interactive", "--record-input", "j.txt",
                                 "--replay=r.txt"});
  ASSERT_TRUE(p.ok) << p.error;
  const Options& o = p.options;
  EXPECT_EQ(std::tie(o.frames, o.width, o.height, o.max_fps), std::make_tuple(120, 1280, 720, 1000));
  EXPECT_EQ(o.fixed_step_ms, (std::vector<int>{16, 60, 7}));
  EXPECT_EQ(std::tie(o.screenshot, o.dump_water, o.data_dir, o.record),
            std::make_tuple("a.png", "w.bin", "/usr/share/ovu", "-"));
  EXPECT_EQ(std::tie(o.record_input, o.replay), std::make_tuple("j.txt", "r.txt"));
  EXPECT_TRUE(o.fps && o.verbose && !o.vsync && !o.intro && o.quiet && o.interactive);
  EXPECT_EQ(o.record_chroma, ChromaLayout::Half);
  EXPECT_EQ(parse({"--max-fps", "1"}).options.max_fps, 1);
  // A wallpaper caps itself unless told otherwise.
  EXPECT_EQ(parse({"--wallpaper"}).options.max_fps, 30);
  EXPECT_EQ(parse({"--output=DP-1", "--wallpaper"}).options.output, "DP-1");
  EXPECT_EQ(parse({"--max-fps", "5", "--wallpaper"}).options.max_fps, 5);
  EXPECT_EQ(parse({"--frames", "2147483647"}).options.frames, 2147483647);
  EXPECT_EQ(parse({"--fixed-step", "2147483647"}).options.fixed_step_ms, std::vector<int>{2147483647});
}

TEST(Options, MalformedFormsAreRefusedWithTheirReason) {
  struct Row { std::vector<const char*> args; std::string reason; };
  // The forms of one option that share a reason.
  auto each = [](const char* option, std::vector<const char*> texts, const std::string& what) {
    std::vector<Row> rows;
    for (const char* text : texts) rows.push_back({{option, text}, option + (": '" + printable(text) + "' is not ") + what});
    return rows;
  };
  std::vector<Row> rows = {
      {{"--frames"}, "--frames needs a number"}, {{"--screenshot="}, "--screenshot needs a path"},
      {{"--window-id"}, "--window-id needs a window id"}, {{"--fps=1"}, "--fps takes no value"},
      {{"--root=1"}, "--root takes no value"}, {{"--bogus"}, "unknown option '--bogus'"}, {{"-x"}, "unknown option '-x'"},
      {{"frames"}, "unknown option 'frames'"}, {{"-delay=5"}, "unknown option '-delay=5'"},
      {{"-frames", "5"}, "unknown option '-frames'"},
      // Control characters must not break the one line.
      {{"--bogus\r\x1b[2J"}, "unknown option '--bogus??[2J'"},
      {{"--root", "--windowed", "640x480"}, "--windowed makes a window of our own: it cannot go with --root or --window-id"},
      {{"--window-id", "5", "--windowed", "640x480"},
       "--windowed makes a window of our own: it cannot go with --root or --window-id"},
      // A screenshot needs a last frame; one file cannot take both outputs.
      {{"--screenshot", "a.png"}, "--screenshot needs --frames: it keeps the last frame, and without --frames there is none"},
      {{"--frames", "5", "--screenshot", "x", "--dump-water", "./x"}, "--screenshot and --dump-water name the same file 'x'"},
      {{"--frames", "5", "--screenshot", "d/../x", "--dump-water", "x"},
       "--screenshot and --dump-water name the same file 'd/../x'"},
      {{"--record", "x", "--dump-water", "./x"}, "--dump-water and --record name the same file './x'"},
      {{"--record", "x", "--record-format", "422"}, "--record-format: '422' is not 444 or 420"},
      {{"--record", "x", "--record-format"}, "--record-format: '' is not 444 or 420"},
      {{"--record-format", "420"}, "--record-format goes with --record"},
      {{"--record-input", "x", "--dump-water", "./x"}, "--dump-water and --record-input name the same file './x'"},
      {{"--root", "--interactive"}, "--interactive needs a window of our own: in a host's window the pointer is the host's"},
      // A wallpaper has no one frame, no recording and no host.
      {{"--wallpaper", "--frames", "1", "--screenshot", "a.png"}, "--wallpaper cannot go with --screenshot"},
      {{"--record", "-", "--wallpaper"}, "--wallpaper cannot go with --record"},
      {{"--wallpaper", "--windowed", "64x48"}, "--wallpaper cannot go with --windowed"},
      {{"--interactive", "--wallpaper"}, "--wallpaper cannot go with --interactive"},
      {{"--wallpaper", "-root"}, "--wallpaper cannot go with --root"},
      {{"--delay", "5", "--window-id", "5", "--wallpaper"}, "--wallpaper cannot go with --delay"},
      {{"--wallpaper=1"}, "--wallpaper takes no value"}, {{"--output", "DP-1"}, "--output goes with --wallpaper"},
      {{"--wallpaper", "--output="}, "--output needs an output's name, such as HDMI-A-1"},
  };
  for (const auto& more :
       {each("--frames", {"0", "-5", "+5", "12x", "2147483648", "99999999999", "", "0x10", "--fps", "1\n2"},
             "a whole number from 1 to 2147483647"),
        each("--fixed-step", {"0", "1.5", "16,,60", "16,0", "16,x", "", "16,", ",16", "16, 60", "16,2147483648"},
             "a whole number from 1 to 2147483647 or a comma-separated list of them"),
        each("--windowed", {"640", "640x", "x480", "0x480", "640x480x2", "40000x480"}, "a size such as 1280x720"),
        each("--window-id", {"0", "0x", "0x1g", "-5", "4294967296", "0x100000000", " 12", "12 "},
             "a window id (decimal or 0x hex)"),
        each("--delay", {"-1", "1000001", "00", "1e3"}, "a whole number from 0 to 1000000"),
        each("--max-fps", {"0", "1001", "30.5", "-30"}, "a whole number from 1 to 1000")})
    rows.insert(rows.end(), more.begin(), more.end());
  for (const Row& row : rows) {
    const ParsedOptions p = parse(row.args);
    EXPECT_FALSE(p.ok) << testing::PrintToString(row.args);
    EXPECT_EQ(p.error, row.reason) << testing::PrintToString(row.args);
  }
}

TEST(Screensaver, SwitchesChooseTheModeAndTheProgramsFolderHoldsTheBitmaps) {
  using Mode = Options::Mode;
  using Placement = WindowRequest::Placement;
  const struct Case { std::vector<const char*> args; Mode mode; std::uint32_t window; Placement placement;
                     const char* data_dir; } cases[] = {
      {{"C:\\Windows\\System32\\ovu.scr", "/s"}, Mode::Screensaver, 0, Placement::AllMonitors, "C:\\Windows\\System32"},
      {{"/usr/bin/ovu", "-S"}, Mode::Screensaver, 0, Placement::AllMonitors, "/usr/bin"},
      {{"/ovu", "/s"}, Mode::Screensaver, 0, Placement::AllMonitors, "/"},
      {{"ovu.scr", "/p", "1234"}, Mode::Preview, 1234, Placement::HostWindow, ""},
      {{"ovu.scr", "/P:65566"}, Mode::Preview, 65566, Placement::HostWindow, ""},
      {{"D:\\a b\\ovu.scr", "-p", "0x10"}, Mode::Preview, 16, Placement::HostWindow, "D:\\a b"},
      {{"ovu.scr", "/c:5678"}, Mode::Settings, 5678, Placement::Maximised, ""},
      {{"ovu.scr", "/c:0"}, Mode::Settings, 0, Placement::Maximised, ""},
      {{"C:\\Savers\\OVU.SCR"}, Mode::Settings, 0, Placement::Maximised, "C:\\Savers"},
  };
  for (const Case& c : cases) {
    const auto p = parse_saver(c.args);
    ASSERT_TRUE(p && p->ok) << testing::PrintToString(c.args) << (p ? p->error : "");
    const Options& o = p->options;
    // Only the preview's window is drawn into; only the screensaver run ends on the pointer.
    const WindowRequest r = window_request(o);
    EXPECT_EQ(std::tie(o.mode, o.window, r.placement, r.host_window, r.pointer, o.data_dir),
              std::make_tuple(c.mode, c.window, c.placement, c.mode == Mode::Preview ? c.window : 0,
                              c.mode == Mode::Screensaver, std::string(c.data_dir)))
        << testing::PrintToString(c.args);
    EXPECT_TRUE(o.intro && o.frames == 0 && o.width == 0) << testing::PrintToString(c.args);
  }
}

TEST(Screensaver, OtherCommandLinesAreNoScreensaverRunAndMalformedSwitchesAreRefused) {
  const std::vector<std::vector<const char*>> others = {
      {"ovu"}, {"/usr/bin/ovu"}, {"ovu.exe"}, {"ovu", "--frames", "5"}, {"ovu.scr", "--frames", "5"}, {"ovu", "/x"},
      {"ovu", "/sx"}, {"ovu", "/s1"}, {"ovu", "s"}, {"ovu", "/"}, {"ovu", "--s"}, {"scr"},
  };
  for (const auto& args : others) EXPECT_FALSE(parse_saver(args)) << testing::PrintToString(args);
  const struct Bad { std::vector<const char*> args; const char* reason; } bad[] = {
      {{"ovu.scr", "/p"}, "/p needs the preview window's handle"}, {{"ovu.scr", "/p:"}, "/p: '' is not a window handle"},
      {{"ovu.scr", "-P", "0"}, "-P: '0' is not a window handle"}, {{"ovu.scr", "/c:x"}, "/c: 'x' is not a window handle"},
      {{"ovu.scr", "/c", "--fps"}, "/c: '--fps' is not a window handle"}, {{"ovu.scr", "/s:1"}, "/s takes no window handle"},
      {{"ovu.scr", "/p", "12", "13"}, "unexpected '13' after /p"}, {{"ovu.scr", "/p:12", "13"}, "unexpected '13' after /p:12"},
      {{"ovu.scr", "/s", "--frames", "5"}, "unexpected '--frames' after /s"},
      {{"ovu.scr", "/p", "12\n\x1b[2J"}, "/p: '12??[2J' is not a window handle"},  // still one line
  };
  for (const Bad& b : bad) {
    const auto p = parse_saver(b.args);
    EXPECT_TRUE(p && !p->ok) << testing::PrintToString(b.args);
    EXPECT_EQ(p ? p->error : "", b.reason) << testing::PrintToString(b.args);
  }
}

TEST(Screensaver, PointerEndsItOnlyOnceItMovedMoreThanTheSlackFromWhereItWasFirstSeen) {
  // Where the pointer is reported, the first report being where it was when the window appeared;
  // the report that ends the run.
  const struct Case { std::vector<std::pair<int, int>> path; std::size_t ends; } cases[] = {
      {{{500, 400}, {504, 400}, {496, 400}, {500, 404}, {500, 396}, {504, 396}, {500, 405}}, 6},
      {{{100, 100}, {101, 100}, {102, 100}, {103, 100}, {104, 100}, {105, 100}}, 5},  // a slow drift adds up
      {{{0, 0}, {0, 9}}, 1}, {{{0, 0}, {-9, 0}}, 1}, {{{0, 0}, {9, 0}}, 1}, {{{0, 0}, {0, -9}}, 1},
  };
  for (const Case& c : cases) {
    PointerWatch watch;
    for (std::size_t k = 0; k < c.path.size(); ++k)
      EXPECT_EQ(watch.moved_away(c.path[k].first, c.path[k].second), k == c.ends)
          << c.path[k].first << "," << c.path[k].second;
  }
}

// The installed files that start the program or describe it, read from
// their templates in dist/: every command line they can make must be one the
// program accepts, and the man page must name every option.

// A template as installed under /usr.
std::string installed(const std::string& name) {
  std::ifstream in(std::string(OVU_SOURCE_DIR) + "/dist/" + name);
  EXPECT_TRUE(in) << name;
  std::stringstream text;
  text << in.rdbuf();
  return std::regex_replace(std::regex_replace(text.str(), std::regex("@OVU_DATA_DIR@"), "/usr/share/ovu"),
                            std::regex("@OVU_BIN_DIR@"), "/usr/bin");
}

ParsedOptions parse_line(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words(std::istream_iterator<std::string>(in), {});
  std::vector<const char*> args;
  for (const auto& w : words) args.push_back(w.c_str());
  return parse(args);
}

std::vector<std::string> all(const std::string& text, const std::string& pattern) {
  std::vector<std::string> found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
    found.push_back((*it)[1]);
  return found;
}

TEST(Dist, EveryCommandLineTheEntriesAndSettingsCanMakeIsAccepted) {
  struct Line { std::string text; Options::Mode mode; };
  std::vector<Line> lines;
  for (const char* file : {"ovu.desktop.in", "ovu-screensaver.desktop.in"})
    for (const std::string& exec : all(installed(file), "\nExec=(?:/usr/bin/)?ovu ?([^\n]*)"))
      lines.push_back({exec, file[3] == '.' ? Options::Mode::Demo : Options::Mode::HostRoot});
  ASSERT_EQ(lines.size(), 2u) << "an entry's Exec line names another program";
  EXPECT_EQ(parse_line(lines[1].text).options.max_fps, 30) << "the screensaver entry's rate";
  // xscreensaver's settings: the fixed arguments with each end of each slider and each switch.
  const std::string xml = installed("ovu.xml.in");
  std::string fixed;
  for (const std::string& arg : all(xml, "<command arg=\"([^\"]*)\"")) fixed += arg + " ";
  EXPECT_EQ(parse_line(fixed).options.max_fps, 30) << "the settings' default: a screensaver's rate";
  std::vector<std::string> choices = all(xml, "arg-(?:un)?set=\"([^\"]*)\"");
  for (const std::string& number : all(xml, "(<number[^>]*)"))
    for (const char* end : {"low", "high", "default"})
      choices.push_back(std::regex_replace(all(number, "arg=\"([^\"]*)\"")[0], std::regex("%"),
                                           all(number, std::string(" ") + end + "=\"([^\"]*)\"")[0]));
  ASSERT_GE(choices.size(), 5u);
  for (const std::string& choice : choices) lines.push_back({fixed + choice, Options::Mode::HostRoot});
  for (const Line& line : lines) {
    const ParsedOptions p = parse_line(line.text);
    ASSERT_TRUE(p.ok) << line.text << ": " << p.error;
    EXPECT_EQ(p.options.mode, line.mode) << line.text;
    EXPECT_EQ(p.options.data_dir, "") << line.text;  // an installed copy finds its own bitmaps
  }
}

// `name` standing alone in `text`, each '-' written as `dash`: not the start of a longer name.
bool names(const std::string& text, const std::string& name, const std::string& dash) {
  const std::string written = std::regex_replace(name, std::regex("-"), dash);
  for (auto at = text.find(written); at != std::string::npos; at = text.find(written, at + 1)) {
    const char next = at + written.size() < text.size() ? text[at + written.size()] : ' ';
    if (!std::islower(static_cast<unsigned char>(next)) && next != '\\' && next != '-') return true;
  }
  return false;
}

// Every option the usage names is in the man page and the README as well.
TEST(Dist, ManPageAndReadmeNameEveryOptionOfTheUsage) {
  const std::string usage = usage_text(), page = installed("ovu.6.in"), readme = installed("../README.md");
  std::vector<std::string> options;
  for (const std::string& option : all(usage, "(?:^|[ ,])(--?[a-z][a-z-]*|/[a-z])\\b")) options.push_back(option);
  ASSERT_GE(options.size(), 19u);
  for (const std::string& option : options) {
    EXPECT_TRUE(names(page, option, "\\-")) << option << " in the man page";  // roff writes \-
    EXPECT_TRUE(names(readme, "`" + option, "-")) << option << " in the README";
  }
}

}  // namespace
}  // namespace ovu
