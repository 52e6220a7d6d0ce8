#include "core/input_journal.h"

#include <gtest/gtest.h>

#include <tuple>

namespace ovu {
namespace {

TEST(InputJournal, ReadsWhatItWritesAndRefusesBadLinesByNumber) {
  // Two drops in one frame, a line from Windows, spaces as people type them.
  const ParsedJournal read = parse_journal("ovu input journal 1\n3 8 93\n3 50 50\r\n 40  93\t8\n", 40);
  ASSERT_TRUE(read.ok) << read.reason;
  std::string again = std::string(kJournalHeader) + "\n";
  for (const JournalDrop& drop : read.drops) again += journal_line(drop);
  EXPECT_EQ(again, "ovu input journal 1\n3 8 93\n3 50 50\n40 93 8\n");

  const std::string h = "ovu input journal 1\n";
  struct Row { std::string text; std::uint64_t last_frame; int line; std::string reason; } rows[] = {
      {"", 0, 1, "no header: the file is empty"},
      {"3 50 50\n", 0, 1, "no header: 'ovu input journal 1' expected"},
      {"ovu input journal 2\n3 50 50\n", 0, 1, "version '2' is not one this program reads (1)"},
      {h + "3 50 50\n4 50\n", 0, 3, "'4 50' is not a frame, a row and a column"},
      {h + "3 50 50 7\n", 0, 2, "'3 50 50 7' is not a frame, a row and a column"},
      {h + "99999999999999999999 50 50\n", 0, 2, "'99999999999999999999 50 50' is not a frame, a row and a column"},
      {h + std::string(50, 'x'), 0, 2, "'" + std::string(40, 'x') + "...' is not a frame, a row and a column"},
      {h + "0 50 50\n", 0, 2, "frame 0: frames count from 1"},
      {h + "5 50 50\n5 50 50\n4 50 50\n", 0, 4, "frame 4 comes after frame 5"},
      {h + "30 50 50\n31 50 50\n", 30, 3, "frame 31 is past the last frame, 30"},
      {h + "3 7 50\n", 0, 2, "row 7 is not where a drop can fall (8 to 93)"},
      {h + "3 50 94\n", 0, 2, "column 94 is not where a drop can fall (8 to 93)"},
      {h + "3 4294967346 50\n", 0, 2, "row 4294967346 is not where a drop can fall (8 to 93)"},  // 2^32 + 50
  };
  for (const Row& row : rows) {
    const ParsedJournal parsed = parse_journal(row.text, row.last_frame);
    EXPECT_EQ(std::tie(parsed.ok, parsed.line, parsed.reason), std::make_tuple(false, row.line, row.reason)) << row.text;
    EXPECT_TRUE(parsed.drops.empty()) << "never applied in part: " << row.text;
  }
}

}  // namespace
}  // namespace ovu
