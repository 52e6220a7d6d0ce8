#include "core/input_journal.h"

#include <algorithm>
#include <charconv>

namespace ovu {

namespace {

constexpr const char* kHeaderStart = "ovu input journal ";

// Plain decimal digits only, as the command line takes numbers.
bool parse_number(const std::string& text, std::uint64_t& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// A line as the reason quotes it: a binary file may be one long line.
std::string quoted(const std::string& line) {
  constexpr std::size_t kShown = 40;
  return "'" + (line.size() <= kShown ? line : line.substr(0, kShown) + "...") + "'";
}

// The lines without their ends, as getline gives them: none for an empty text.
std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();  // written on Windows
    at = end + 1;
  }
  return lines;
}

// The words between white space, as >> reads them. (No string streams: in
// the page they would bring the locales' code, a third of the program.)
std::vector<std::string> split_words(const std::string& line) {
  constexpr const char* kSpace = " \t\n\v\f\r";
  std::vector<std::string> words;
  for (std::size_t at = line.find_first_not_of(kSpace); at != std::string::npos;) {
    const std::size_t end = line.find_first_of(kSpace, at);
    words.push_back(line.substr(at, end - at));
    at = line.find_first_not_of(kSpace, end);
  }
  return words;
}

ParsedJournal refuse(int line, const std::string& reason) {
  ParsedJournal parsed;
  parsed.line = line;
  parsed.reason = reason;
  return parsed;
}

std::string check_site(const char* what, std::uint64_t value) {
  if (value >= kFirstDropCell && value <= kLastDropCell) return {};
  return std::string(what) + " " + std::to_string(value) + " is not where a drop can fall (" +
         std::to_string(kFirstDropCell) + " to " + std::to_string(kLastDropCell) + ")";
}

}  // namespace

ParsedJournal parse_journal(const std::string& text, std::uint64_t last_frame) {
  const std::vector<std::string> lines = split_lines(text);
  if (lines.empty()) return refuse(1, "no header: the file is empty");
  if (lines[0] != kJournalHeader) {
    if (lines[0].rfind(kHeaderStart, 0) == 0)
      return refuse(1, "version '" + lines[0].substr(std::string(kHeaderStart).size()) +
                           "' is not one this program reads (1)");
    return refuse(1, "no header: '" + std::string(kJournalHeader) + "' expected");
  }
  ParsedJournal parsed;
  for (std::size_t n = 1; n < lines.size(); ++n) {
    const int line = static_cast<int>(n + 1);
    const std::vector<std::string> words = split_words(lines[n]);
    std::uint64_t frame = 0, row = 0, column = 0;
    if (words.size() != 3 || !parse_number(words[0], frame) || !parse_number(words[1], row) ||
        !parse_number(words[2], column))
      return refuse(line, quoted(lines[n]) + " is not a frame, a row and a column");
    if (frame == 0) return refuse(line, "frame 0: frames count from 1");
    if (!parsed.drops.empty() && frame < parsed.drops.back().frame)
      return refuse(line, "frame " + std::to_string(frame) + " comes after frame " +
                              std::to_string(parsed.drops.back().frame));
    if (last_frame != 0 && frame > last_frame)
      return refuse(line, "frame " + std::to_string(frame) + " is past the last frame, " + std::to_string(last_frame));
    for (const std::string& wrong : {check_site("row", row), check_site("column", column)})
      if (!wrong.empty()) return refuse(line, wrong);
    parsed.drops.push_back({frame, {static_cast<int>(row), static_cast<int>(column)}});
  }
  parsed.ok = true;
  return parsed;
}

std::string journal_line(const JournalDrop& drop) {
  return std::to_string(drop.frame) + " " + std::to_string(drop.site.row) + " " + std::to_string(drop.site.column) +
         "\n";
}

}  // namespace ovu
