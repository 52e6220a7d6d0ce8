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

namespace extended_detail {

float wave_laplacian_x87(float h, float n0, float n1, float n2, float n3) {
  Extended sum = round_x87(Extended(4) * h - n0);
  sum = round_x87(sum - n1);
  sum = round_x87(sum - n2);
  return to_single(round_x87(sum - n3));
}

float wave_acceleration_x87(float laplacian, float stiffness, float damping, float velocity, float step) {
  const Extended force = round_x87(round_x87(Extended(laplacian) * stiffness) + round_x87(Extended(damping) * velocity));
  return to_single(round_x87(-force * step));
}

float wave_height_x87(float velocity, float step, float height) {
  return to_single(round_x87(round_x87(Extended(velocity) * step) + height));
}

}  // namespace extended_detail

}  // namespace ovu
