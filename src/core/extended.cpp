#include "core/extended.h"

namespace ovu {

void round_binary128_to_x87(std::uint64_t& high, std::uint64_t& low) {
  constexpr std::uint64_t kExponentMask = 0x7FFF000000000000;
  if ((high & kExponentMask) == kExponentMask) return;
  // 112 - 63 = 49 fraction bits go; they all sit in the low word.
  constexpr std::uint64_t kDropped = (std::uint64_t{1} << 49) - 1;
  constexpr std::uint64_t kHalf = std::uint64_t{1} << 48;
  const std::uint64_t rest = low & kDropped;
  const bool odd = (low >> 49) & 1;
  low &= ~kDropped;
  if (rest > kHalf || (rest == kHalf && odd)) {
    low += kDropped + 1;
    if (low == 0) ++high;  // the carry runs on, into the exponent if it must
  }
}

}  // namespace ovu
