#include "core/random.h"

#include <gtest/gtest.h>

namespace ovu {
namespace {

TEST(Random, EveryDrawIsTheHighWordOfTheNextStateTimesTheRange) {
  Random random;
  const std::uint32_t first[] = {0, 31, 861, 202, 272};  // of 1000, from the start state
  for (std::uint32_t value : first) EXPECT_EQ(random.next(1000), value);
  // The states worked out by the closed form of 1 + a + a^2 + ...; ranges 0
  // and 1 give 0 and still advance the state.
  Random other;
  std::uint32_t power = 1, sum = 0;
  for (int n = 1; n <= 1000; ++n) {
    sum += power;
    power *= 0x08088405u;
    const std::int32_t range = n % 4 == 0 ? 0 : n % 4 == 1 ? 1 : n % 4 == 2 ? 86 : 0x7FFFFFFF;
    ASSERT_EQ(other.next(range), static_cast<std::uint32_t>((std::uint64_t{sum} * std::uint32_t(range)) >> 32)) << n;
    ASSERT_EQ(other.state(), sum) << n;
  }
}

}  // namespace
}  // namespace ovu
