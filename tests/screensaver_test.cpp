#include "app/screensaver.h"

#include <gtest/gtest.h>

#include <vector>

namespace ovu {
namespace {

std::optional<ParsedOptions> parse(std::vector<const char*> args) {
  return parse_screensaver_args(static_cast<int>(args.size()), args.data());
}

std::string joined(const std::vector<const char*>& args) {
  std::string out;
  for (const char* a : args) out += std::string(a) + " ";
  return out;
}

TEST(Screensaver, SwitchesChooseTheModeAndTheProgramsFolderHoldsTheBitmaps) {
  using Target = Options::Target;
  const struct Case {
    std::vector<const char*> args;
    Target target;
    std::uint32_t window;
    bool end_on_pointer, configure;
    const char* data_dir;
  } cases[] = {
      {{"C:\\Windows\\System32\\ovu.scr", "/s"}, Target::OwnWindow, 0, true, false, "C:\\Windows\\System32"},
      {{"/usr/bin/ovu", "-S"}, Target::OwnWindow, 0, true, false, "/usr/bin"},
      {{"/ovu", "/s"}, Target::OwnWindow, 0, true, false, "/"},
      {{"ovu.scr", "/p", "1234"}, Target::HostWindow, 1234, false, false, ""},
      {{"ovu.scr", "/P:65566"}, Target::HostWindow, 65566, false, false, ""},
      {{"D:\\a b\\ovu.scr", "-p", "0x10"}, Target::HostWindow, 16, false, false, "D:\\a b"},
      {{"ovu.scr", "/c:5678"}, Target::OwnWindow, 5678, false, true, ""},
      {{"ovu.scr", "-c"}, Target::OwnWindow, 0, false, true, ""},
      {{"ovu.scr", "/c:0"}, Target::OwnWindow, 0, false, true, ""},
      {{"C:\\Savers\\OVU.SCR"}, Target::OwnWindow, 0, false, true, "C:\\Savers"},
  };
  for (const Case& c : cases) {
    const auto p = parse(c.args);
    ASSERT_TRUE(p && p->ok) << joined(c.args) << (p ? p->error : "");
    const Options& o = p->options;
    EXPECT_EQ(o.target, c.target) << joined(c.args);
    EXPECT_EQ(o.window_id, c.window) << joined(c.args);
    EXPECT_EQ(o.end_on_pointer, c.end_on_pointer) << joined(c.args);
    EXPECT_EQ(o.configure, c.configure) << joined(c.args);
    EXPECT_EQ(o.data_dir, c.data_dir) << joined(c.args);
    EXPECT_TRUE(o.intro && o.frames == 0 && !o.windowed) << joined(c.args);
  }
}

TEST(Screensaver, OtherCommandLinesAreNoScreensaverRunAndMalformedSwitchesAreRefused) {
  const std::vector<std::vector<const char*>> others = {
      {"ovu"}, {"/usr/bin/ovu"}, {"ovu.exe"}, {"ovu", "--frames", "5"}, {"ovu.scr", "--frames", "5"}, {"ovu", "/x"},
      {"ovu", "/sx"}, {"ovu", "/s1"}, {"ovu", "s"}, {"ovu", "/"}, {"ovu", "--s"}, {"scr"},
  };
  for (const auto& args : others) EXPECT_FALSE(parse(args)) << joined(args);
  const std::vector<std::vector<const char*>> bad = {
      {"ovu.scr", "/p"}, {"ovu.scr", "/p:"}, {"ovu.scr", "/p", "abc"}, {"ovu.scr", "/p", "0"},
      {"ovu.scr", "/p", "12", "13"}, {"ovu.scr", "/p:12", "13"}, {"ovu.scr", "/s", "12"}, {"ovu.scr", "/s:1"},
      {"ovu.scr", "/c:x"}, {"ovu.scr", "/c", "--fps"}, {"ovu.scr", "/s", "--frames", "5"}, {"ovu.scr", "/p", "12\n\x1b[2J"},
  };
  for (const auto& args : bad) {
    const auto p = parse(args);
    ASSERT_TRUE(p) << joined(args);
    EXPECT_FALSE(p->ok) << joined(args);
    EXPECT_FALSE(p->error.empty()) << joined(args);
    EXPECT_EQ(p->error.find_first_of("\n\x1b"), std::string::npos) << joined(args);
  }
}

TEST(Screensaver, PointerEndsItOnlyOnceItMovedMoreThanTheSlackFromWhereItWasFirstSeen) {
  // Where the pointer is reported, the first report being where it was when the window appeared;
  // the report that ends the run.
  const struct Case {
    std::vector<std::pair<int, int>> path;
    std::size_t ends;
  } cases[] = {
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

}  // namespace
}  // namespace ovu
