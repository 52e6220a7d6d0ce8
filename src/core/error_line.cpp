#include "core/error_line.h"

namespace ovu {

namespace {
constexpr char kTemplate[] = "Runtime error     at 00000000";
constexpr std::size_t kLastCodeDigit = 16;
constexpr std::size_t kLastLocationDigit = 28;
static_assert(sizeof kTemplate - 1 == kErrorLineLength);
}  // namespace

void format_error_line(std::uint8_t code, std::uint32_t location, char* out) {
  for (std::size_t i = 0; i < kErrorLineLength; ++i) out[i] = kTemplate[i];
  // Right to left; a code of 0 still writes one digit.
  unsigned value = code;
  std::size_t at = kLastCodeDigit;
  do {
    out[at--] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  // Unused leading positions keep their '0', so the location is always 8 wide.
  std::uint32_t rest = location;
  at = kLastLocationDigit;
  while (rest != 0) {
    out[at--] = "0123456789ABCDEF"[rest & 0xF];
    rest >>= 4;
  }
}

std::string printable(std::string text) {
  for (char& c : text) c = printable(c);
  return text;
}

}  // namespace ovu
