// The installed files that start the program or describe it, read from
// their templates in dist/: every command line they can make must be one the
// program accepts, and the man page must name every option.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

#include "app/options.h"

namespace ovu {
namespace {

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
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  std::vector<const char*> argv = {"ovu"};
  for (const auto& w : words) argv.push_back(w.c_str());
  return parse_options(static_cast<int>(argv.size()), argv.data());
}

std::vector<std::string> all(const std::string& text, const std::string& pattern) {
  std::vector<std::string> found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
    found.push_back((*it)[1]);
  return found;
}

TEST(Dist, EveryCommandLineTheEntriesAndSettingsCanMakeIsAccepted) {
  struct Line {
    std::string text;
    Options::Target target;
  };
  std::vector<Line> lines;
  for (const char* file : {"ovu.desktop.in", "ovu-screensaver.desktop.in"})
    for (const std::string& exec : all(installed(file), "\nExec=/usr/bin/ovu ?([^\n]*)"))
      lines.push_back({exec, file[3] == '.' ? Options::Target::OwnWindow : Options::Target::Root});
  // xscreensaver's settings: the fixed arguments with each end of each slider and each switch.
  const std::string xml = installed("ovu.xml.in");
  std::string fixed;
  for (const std::string& arg : all(xml, "<command arg=\"([^\"]*)\"")) fixed += arg + " ";
  std::vector<std::string> choices = all(xml, "arg-(?:un)?set=\"([^\"]*)\"");
  for (const std::string& number : all(xml, "(<number[^>]*)"))
    for (const char* end : {"low", "high", "default"})
      choices.push_back(std::regex_replace(all(number, "arg=\"([^\"]*)\"")[0], std::regex("%"),
                                           all(number, std::string(" ") + end + "=\"([^\"]*)\"")[0]));
  ASSERT_GE(choices.size(), 5u);
  for (const std::string& choice : choices) {
    lines.push_back({fixed + choice, Options::Target::Root});
    // The host's preview adds its window.
    lines.push_back({fixed + choice + " -window-id 0x5000001", Options::Target::HostWindow});
  }
  ASSERT_EQ(lines.size(), 2 + 2 * choices.size());
  for (const Line& line : lines) {
    const ParsedOptions p = parse_line(line.text);
    ASSERT_TRUE(p.ok) << line.text << ": " << p.error;
    EXPECT_EQ(p.options.target, line.target) << line.text;
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

TEST(Dist, UsageAndManPageNameEveryOption) {
  const std::string usage = usage_text(), page = installed("ovu.6.in");
  for (const char* option : {"--frames", "--fixed-step", "--screenshot", "--dump-water", "--windowed", "--data-dir",
                             "--no-intro", "--vsync", "--fps", "--verbose", "--help", "--version", "--window", "--root",
                             "--window-id", "--delay", "/s", "/p", "/c"}) {
    EXPECT_TRUE(names(usage, option, "-")) << option << " in the usage";
    EXPECT_TRUE(names(page, option, "\\-")) << option << " in the man page";  // roff writes \-
  }
}

}  // namespace
}  // namespace ovu
