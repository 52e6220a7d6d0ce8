#include "app/options.h"

#include <gtest/gtest.h>

#include <vector>

namespace ovu {
namespace {

ParsedOptions parse(std::vector<const char*> args) {
  args.insert(args.begin(), "ovu");
  return parse_options(static_cast<int>(args.size()), args.data());
}

TEST(Options, NoArgumentsIsThePlainDemo) {
  const ParsedOptions p = parse({});
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.options.frames, 0);
  EXPECT_EQ(p.options.fixed_step_ms, 0);
  EXPECT_FALSE(p.options.windowed);
  EXPECT_TRUE(p.options.intro);
  EXPECT_TRUE(p.options.screenshot.empty());
}

TEST(Options, ValuesAreTakenInBothForms) {
  const ParsedOptions p = parse({"--frames", "120", "--fixed-step=16", "--windowed", "1280x720",
                                 "--screenshot=a.png", "--dump-water", "w.bin", "--data-dir", "/usr/share/ovu",
                                 "--fps", "--verbose", "--vsync", "--no-intro"});
  ASSERT_TRUE(p.ok) << p.error;
  const Options& o = p.options;
  EXPECT_EQ(o.frames, 120);
  EXPECT_EQ(o.fixed_step_ms, 16);
  EXPECT_TRUE(o.windowed);
  EXPECT_EQ(o.width, 1280);
  EXPECT_EQ(o.height, 720);
  EXPECT_EQ(o.screenshot, "a.png");
  EXPECT_EQ(o.dump_water, "w.bin");
  EXPECT_EQ(o.data_dir, "/usr/share/ovu");
  EXPECT_TRUE(o.fps && o.verbose && o.vsync && !o.intro);
  EXPECT_EQ(parse({"--frames", "2147483647"}).options.frames, 2147483647);
}

TEST(Options, MalformedFormsAreRefusedWithAReason) {
  const std::vector<std::vector<const char*>> bad = {
      {"--frames"}, {"--frames", "0"}, {"--frames", "-5"}, {"--frames", "+5"}, {"--frames", "12x"},
      {"--frames", "2147483648"}, {"--frames", "99999999999"}, {"--frames", ""}, {"--frames", "0x10"},
      {"--frames", "--fps"}, {"--fixed-step", "0"}, {"--fixed-step", "1.5"}, {"--windowed", "640"},
      {"--windowed", "640x"}, {"--windowed", "x480"}, {"--windowed", "0x480"}, {"--windowed", "640x480x2"},
      {"--windowed", "40000x480"}, {"--screenshot"}, {"--screenshot="}, {"--dump-water"}, {"--fps=1"},
      {"--bogus"}, {"-x"}, {"frames"}, {"--help=yes"},
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

TEST(Options, UsageListsEveryOption) {
  const std::string usage = usage_text();
  for (const char* name : {"--frames", "--fixed-step", "--screenshot", "--dump-water", "--windowed", "--data-dir",
                           "--no-intro", "--vsync", "--fps", "--verbose", "--help", "--version"})
    EXPECT_NE(usage.find(name), std::string::npos) << name;
}

}  // namespace
}  // namespace ovu
