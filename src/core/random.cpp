#include "core/random.h"

namespace ovu {

namespace {
constexpr std::uint32_t kMultiplier = 0x08088405u;
constexpr std::uint32_t kIncrement = 1u;
}  // namespace

std::uint32_t Random::next(std::int32_t range) {
  state_ = state_ * kMultiplier + kIncrement;
  const std::uint64_t product =
      std::uint64_t{state_} * std::uint64_t{static_cast<std::uint32_t>(range)};
  return static_cast<std::uint32_t>(product >> 32);
}

Random& process_random() {
  static Random random;
  return random;
}

}  // namespace ovu
