#pragma once

#include <cstdint>

namespace ovu {

// Linear congruential generator, never seeded: every run draws the same
// sequence, which is what makes every run show the same surface and drops.
class Random {
public:
  // A number in 0 .. range-1 for a positive range; the state advances on
  // every call whatever the range.
  std::uint32_t next(std::int32_t range);

  std::uint32_t state() const { return state_; }

private:
  std::uint32_t state_ = 0;
};

// The one sequence the program itself draws from.
Random& process_random();

}  // namespace ovu
