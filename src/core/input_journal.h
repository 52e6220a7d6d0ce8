#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/water.h"

namespace ovu {

// The drops a person made, as plain text: a header line with the format's
// version, then one line per drop, "FRAME ROW COLUMN", frames counted from 1
// and never going back. Replayed at the same frames, they give the same field.
inline constexpr const char* kJournalHeader = "ovu input journal 1";

struct JournalDrop {
  std::uint64_t frame;
  DropSite site;
};

struct ParsedJournal {
  bool ok = false;
  int line = 0;        // where it went wrong, from 1
  std::string reason;  // what is wrong there, when not ok
  std::vector<JournalDrop> drops;
};

// Reads a whole journal. `last_frame` is the run's last frame (0: no end);
// a drop after it could never be applied, so it is refused with the rest.
ParsedJournal parse_journal(const std::string& text, std::uint64_t last_frame);

// One drop's line, its newline included.
std::string journal_line(const JournalDrop& drop);

}  // namespace ovu
