#include "core/error_line.h"

#include <gtest/gtest.h>

#include <string>

namespace ovu {
namespace {

std::string line_for(std::uint8_t code, std::uint32_t location) {
  char buffer[kErrorLineLength + 1];
  buffer[kErrorLineLength] = '#';  // must stay untouched: no terminator written
  format_error_line(code, location, buffer);
  EXPECT_EQ(buffer[kErrorLineLength], '#');
  return std::string(buffer, kErrorLineLength);
}

TEST(ErrorLine, CodeIsRightAlignedAndLocationEightHexDigits) {
  struct Case {
    std::uint8_t code;
    std::uint32_t location;
    const char* line;
  } cases[] = {
      {0, 0x1, "Runtime error   0 at 00000001"},
      {2, 0x00B10101, "Runtime error   2 at 00B10101"},
      {100, 0xDEADBEEF, "Runtime error 100 at DEADBEEF"},
      {203, 0x00A110C8, "Runtime error 203 at 00A110C8"},
      {255, 0xFFFFFFFF, "Runtime error 255 at FFFFFFFF"},
      {21, 0xABC, "Runtime error  21 at 00000ABC"},
  };
  for (const Case& c : cases) EXPECT_EQ(line_for(c.code, c.location), c.line);
}

TEST(ErrorLine, RefillingTheBufferLeavesNoDigitsOfAnEarlierLine) {
  char buffer[kErrorLineLength];
  format_error_line(255, 0xFFFFFFFF, buffer);
  format_error_line(2, 0x10, buffer);
  EXPECT_EQ(std::string(buffer, kErrorLineLength), "Runtime error   2 at 00000010");
}

}  // namespace
}  // namespace ovu
