// The installed files that start the program or describe it, read from
// their templates in dist/: every command line they make must be one the
// program accepts, and the man page must name every option.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "app/options.h"

namespace ovu {
namespace {

constexpr const char* kDataDir = "/usr/share/ovu";

// A template as installed under /usr.
std::string installed(const std::string& name) {
  std::ifstream in(std::string(OVU_SOURCE_DIR) + "/dist/" + name);
  EXPECT_TRUE(in) << name;
  std::stringstream text;
  text << in.rdbuf();
  std::string s = text.str();
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"@OVU_DATA_DIR@", kDataDir},
                                   {"@OVU_BIN_DIR@", "/usr/bin"}})
    for (auto at = s.find(key); at != std::string::npos; at = s.find(key)) s.replace(at, key.size(), value);
  return s;
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string word; in >> word;) out.push_back(word);
  return out;
}

ParsedOptions parse_words(const std::vector<std::string>& args) {
  std::vector<const char*> argv = {"ovu"};
  for (const auto& a : args) argv.push_back(a.c_str());
  return parse_options(static_cast<int>(argv.size()), argv.data());
}

std::string attribute(const std::string& element, const std::string& name) {
  const std::string key = " " + name + "=\"";
  const auto start = element.find(key);
  if (start == std::string::npos) return "";
  const auto from = start + key.size();
  return element.substr(from, element.find('"', from) - from);
}

// Each <kind ...> element of the file, in order.
std::vector<std::pair<std::string, std::string>> elements(const std::string& xml) {
  std::vector<std::pair<std::string, std::string>> out;
  for (auto at = xml.find('<'); at != std::string::npos; at = xml.find('<', at + 1)) {
    const auto end = xml.find('>', at);
    const std::string element = xml.substr(at, end - at);
    for (const char* kind : {"command", "number", "boolean"})
      if (element.rfind(std::string("<") + kind + " ", 0) == 0 || element.rfind(std::string("<") + kind + "\n", 0) == 0)
        out.emplace_back(kind, element);
  }
  return out;
}

// `name`, as roff writes it (each dash as \-), standing alone: not the
// start of a longer name, so --window is not found in --window-id.
bool names(const std::string& page, const std::string& name) {
  std::string roff;
  for (char c : name) roff += c == '-' ? std::string("\\-") : std::string(1, c);
  for (auto at = page.find(roff); at != std::string::npos; at = page.find(roff, at + 1)) {
    const char next = at + roff.size() < page.size() ? page[at + roff.size()] : ' ';
    if (!(next >= 'a' && next <= 'z') && next != '\\') return true;
  }
  return false;
}

TEST(Dist, EveryCommandTheScreensaverSettingsCanMakeIsAccepted) {
  const std::string xml = installed("ovu.xml.in");
  std::vector<std::string> fixed;
  std::vector<std::vector<std::string>> choices;  // each widget's possible arguments
  for (const auto& [kind, e] : elements(xml)) {
    if (kind == "command") {
      for (const auto& w : words(attribute(e, "arg"))) fixed.push_back(w);
    } else if (kind == "number") {
      std::vector<std::string> values;
      for (const char* end : {"low", "high", "default"}) {
        std::string arg = attribute(e, "arg");
        arg.replace(arg.find('%'), 1, attribute(e, end));
        values.push_back(arg);
      }
      choices.push_back(values);
    } else {
      choices.push_back({attribute(e, "arg-set"), attribute(e, "arg-unset")});
    }
  }
  ASSERT_GE(choices.size(), 3u);
  for (std::size_t widget = 0; widget < choices.size(); ++widget)
    for (const std::string& choice : choices[widget]) {
      auto args = fixed;
      for (const auto& w : words(choice)) args.push_back(w);
      const ParsedOptions p = parse_words(args);
      ASSERT_TRUE(p.ok) << choice << ": " << p.error;
      // On the host's window, never in one of our own over it.
      EXPECT_EQ(p.options.target, Options::Target::Root) << choice;
      EXPECT_EQ(p.options.data_dir, "");  // an installed copy finds its own bitmaps
      // The host's preview adds its window.
      args.insert(args.end(), {"-window-id", "0x5000001"});
      EXPECT_EQ(parse_words(args).options.target, Options::Target::HostWindow) << choice;
    }
}

TEST(Dist, DesktopEntriesStartItAsIs) {
  const struct Case {
    const char* file;
    Options::Target target;
  } cases[] = {{"ovu.desktop.in", Options::Target::OwnWindow},
               {"ovu-screensaver.desktop.in", Options::Target::Root}};
  for (const Case& c : cases) {
    const std::string entry = installed(c.file);
    const auto exec = entry.find("\nExec=");
    ASSERT_NE(exec, std::string::npos) << c.file;
    auto args = words(entry.substr(exec + 6, entry.find('\n', exec + 1) - exec - 6));
    EXPECT_EQ(args.front(), "/usr/bin/ovu") << c.file;
    args.erase(args.begin());
    const ParsedOptions p = parse_words(args);
    ASSERT_TRUE(p.ok) << c.file << ": " << p.error;
    EXPECT_EQ(p.options.target, c.target) << c.file;
    EXPECT_EQ(p.options.data_dir, "") << c.file;
  }
}

TEST(Dist, ManPageNamesEveryOption) {
  const std::string page = installed("ovu.6.in");
  const std::string usage = usage_text();
  std::vector<std::string> options = {"/s", "/p", "/c"};
  for (auto at = usage.find("--"); at != std::string::npos; at = usage.find("--", at + 2)) {
    auto end = at + 2;
    while (end < usage.size() && ((usage[end] >= 'a' && usage[end] <= 'z') || usage[end] == '-')) ++end;
    options.push_back(usage.substr(at, end - at));
  }
  EXPECT_GE(options.size(), 19u);
  for (const std::string& option : options) EXPECT_TRUE(names(page, option)) << option;
}

}  // namespace
}  // namespace ovu
