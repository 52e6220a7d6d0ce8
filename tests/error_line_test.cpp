#include "core/error_line.h"

#include <gtest/gtest.h>

#include <string>

namespace ovu {
namespace {

TEST(ErrorLine, CodeIsRightAlignedAndLocationEightHexDigits) {
  struct Case {
    std::uint8_t code;
    std::uint32_t location;
    const char* line;
  } cases[] = {
      {0, 0x1, "Runtime error   0 at 00000001"},          {2, 0x00B10101, "Runtime error   2 at 00B10101"},
      {21, 0xABC, "Runtime error  21 at 00000ABC"},       {100, 0xDEADBEEF, "Runtime error 100 at DEADBEEF"},
      {255, 0xFFFFFFFF, "Runtime error 255 at FFFFFFFF"},
  };
  // One buffer for all, in this order: nothing of a longer line may stay behind.
  char buffer[kErrorLineLength + 1];
  buffer[kErrorLineLength] = '#';
  for (const Case& c : cases) format_error_line(c.code, c.location, buffer);
  for (auto it = std::rbegin(cases); it != std::rend(cases); ++it) {
    format_error_line(it->code, it->location, buffer);
    EXPECT_EQ(std::string(buffer, kErrorLineLength), it->line);
    EXPECT_EQ(buffer[kErrorLineLength], '#') << "nothing written after the line";
  }
}

}  // namespace
}  // namespace ovu
