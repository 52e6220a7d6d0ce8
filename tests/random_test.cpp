#include "core/random.h"

#include <gtest/gtest.h>

namespace ovu {
namespace {

TEST(Random, FirstDrawsFromTheStartStateAreFixed) {
  Random random;
  const std::uint32_t expected[] = {0, 31, 861, 202, 272};
  for (std::uint32_t value : expected) EXPECT_EQ(random.next(1000), value);
}

TEST(Random, EveryRangeAdvancesTheStateByOneStep) {
  // Ranges 0 and 1 always give 0 but must still consume a draw: the third
  // draw of 1000 after two of them equals the third of a plain sequence.
  Random plain;
  plain.next(1000);
  plain.next(1000);
  Random mixed;
  EXPECT_EQ(mixed.next(0), 0u);
  EXPECT_EQ(mixed.next(1), 0u);
  EXPECT_EQ(mixed.state(), plain.state());
  EXPECT_EQ(mixed.next(1000), 861u);
}

TEST(Random, ResultIsTheHighWordOfStateTimesRange) {
  // State after n steps from 0, computed by the closed form of the sum
  // 1 + a + a^2 + ...: an independent route to the same states.
  Random random;
  std::uint32_t power = 1, sum = 0;
  for (int n = 1; n <= 1000; ++n) {
    sum += power;
    power *= 0x08088405u;
    const std::int32_t range = n % 3 == 0 ? 0x7FFFFFFF : (n % 3 == 1 ? 86 : 10);
    const std::uint32_t value = random.next(range);
    ASSERT_EQ(random.state(), sum) << "step " << n;
    ASSERT_LT(value, static_cast<std::uint32_t>(range));
    ASSERT_EQ(value, static_cast<std::uint32_t>((std::uint64_t{sum} * static_cast<std::uint64_t>(range)) >> 32));
  }
}

TEST(Random, InstancesAreIndependentOfTheProcessSequence) {
  Random own;
  own.next(5);
  const std::uint32_t before = process_random().state();
  Random other;
  EXPECT_EQ(other.next(1000), 0u);
  EXPECT_EQ(process_random().state(), before);
  EXPECT_EQ(&process_random(), &process_random());
}

}  // namespace
}  // namespace ovu
