#include "app/options.h"

#include <gtest/gtest.h>

#include <vector>

namespace ovu {
namespace {

ParsedOptions parse(std::vector<const char*> args) {
  args.insert(args.begin(), "ovu");
  return parse_options(static_cast<int>(args.size()), args.data());
}

TEST(Options, HostOptionsTakeEitherDashAndANamedWindowWins) {
  using Target = Options::Target;
  const struct Case {
    std::vector<const char*> args;
    Target target;
    std::uint32_t window;
    int delay;
  } cases[] = {
      {{}, Target::OwnWindow, 0, 0},
      {{"--window-id", "0x2a"}, Target::HostWindow, 42, 0},
      {{"-window-id", "4194311"}, Target::HostWindow, 4194311, 0},
      {{"--window-id=0XFFFFFFFF"}, Target::HostWindow, 0xFFFFFFFF, 0},
      {{"--window-id", "0x00aBcD"}, Target::HostWindow, 0xABCD, 0},
      {{"--root"}, Target::Root, 0, 0},
      {{"-root", "-delay", "20000"}, Target::Root, 0, 20000},
      {{"--root", "--window"}, Target::OwnWindow, 0, 0},
      {{"--window", "--root"}, Target::Root, 0, 0},
      // A host that adds its preview window to a command line with --root.
      {{"--root", "--window-id", "77"}, Target::HostWindow, 77, 0},
      {{"--window-id", "77", "-root"}, Target::HostWindow, 77, 0},
      {{"--delay=0"}, Target::OwnWindow, 0, 0},
      {{"--delay", "1000000", "--window", "--windowed", "640x480"}, Target::OwnWindow, 0, 1000000},
  };
  for (const Case& c : cases) {
    const ParsedOptions p = parse(c.args);
    const char* first = c.args.empty() ? "(none)" : c.args[0];
    ASSERT_TRUE(p.ok) << first << ": " << p.error;
    EXPECT_EQ(p.options.target, c.target) << first;
    EXPECT_EQ(p.options.window_id, c.window) << first;
    EXPECT_EQ(p.options.delay_us, c.delay) << first;
  }
}

TEST(Options, ValuesAreTakenInBothForms) {
  const ParsedOptions p = parse({"--frames", "120", "--fixed-step=16,60,7", "--windowed", "1280x720",
                                 "--screenshot=a.png", "--dump-water", "w.bin", "--data-dir", "/usr/share/ovu",
                                 "--fps", "--verbose", "--vsync", "--no-intro"});
  ASSERT_TRUE(p.ok) << p.error;
  const Options& o = p.options;
  EXPECT_EQ(o.frames, 120);
  EXPECT_EQ(o.fixed_step_ms, (std::vector<int>{16, 60, 7}));
  EXPECT_TRUE(o.windowed);
  EXPECT_EQ(o.width, 1280);
  EXPECT_EQ(o.height, 720);
  EXPECT_EQ(o.screenshot, "a.png");
  EXPECT_EQ(o.dump_water, "w.bin");
  EXPECT_EQ(o.data_dir, "/usr/share/ovu");
  EXPECT_TRUE(o.fps && o.verbose && o.vsync && !o.intro);
  EXPECT_EQ(parse({"--frames", "2147483647"}).options.frames, 2147483647);
  EXPECT_EQ(parse({"--fixed-step", "2147483647"}).options.fixed_step_ms, std::vector<int>{2147483647});
}

TEST(Options, MalformedFormsAreRefusedWithAReason) {
  const std::vector<std::vector<const char*>> bad = {
      {"--frames"}, {"--frames", "0"}, {"--frames", "-5"}, {"--frames", "+5"}, {"--frames", "12x"},
      {"--frames", "2147483648"}, {"--frames", "99999999999"}, {"--frames", ""}, {"--frames", "0x10"},
      {"--frames", "--fps"}, {"--fixed-step", "0"}, {"--fixed-step", "1.5"}, {"--windowed", "640"},
      {"--fixed-step", "16,,60"}, {"--fixed-step", "16,0"}, {"--fixed-step", "16,x"}, {"--fixed-step", ""},
      {"--fixed-step", "16,"}, {"--fixed-step", ",16"}, {"--fixed-step", "16, 60"}, {"--fixed-step", "16,2147483648"},
      {"--windowed", "640x"}, {"--windowed", "x480"}, {"--windowed", "0x480"}, {"--windowed", "640x480x2"},
      {"--windowed", "40000x480"}, {"--screenshot"}, {"--screenshot="}, {"--dump-water"}, {"--fps=1"},
      {"--bogus"}, {"-x"}, {"frames"}, {"--help=yes"},
      // Control characters in a quoted argument must not break the one line.
      {"--frames", "1\n2"}, {"--bogus\r\x1b[2J"},
      {"--window-id"}, {"--window-id", "0"}, {"--window-id", "0x"}, {"--window-id", "0x1g"},
      {"--window-id", "-5"}, {"--window-id", "4294967296"}, {"--window-id", "0x100000000"},
      {"--window-id", " 12"}, {"--window-id", "12 "}, {"--delay"}, {"--delay", "-1"}, {"--delay", "1000001"},
      {"--delay", "00"}, {"--delay", "1e3"}, {"--root=1"}, {"--window=no"}, {"-delay=5"}, {"-frames", "5"},
      {"--root", "--windowed", "640x480"}, {"--window-id", "5", "--windowed", "640x480"},
      // A screenshot needs a last frame; one file cannot take both outputs.
      {"--screenshot", "a.png"}, {"--frames", "5", "--screenshot", "x", "--dump-water", "./x"},
      {"--frames", "5", "--screenshot", "d/../x", "--dump-water", "x"},
  };
  for (const auto& args : bad) {
    const ParsedOptions p = parse(args);
    std::string joined;
    for (const char* a : args) joined += std::string(a) + " ";
    EXPECT_FALSE(p.ok) << joined;
    EXPECT_FALSE(p.error.empty()) << joined;
    EXPECT_EQ(p.error.find('\n'), std::string::npos) << joined;
  }
}

}  // namespace
}  // namespace ovu
