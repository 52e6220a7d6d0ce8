#pragma once

#include <cstdint>

namespace ovu::fuzz {

// The fuzz targets' stand-in for the runtime stop: instead of ending the
// process it throws this, so one run can try the next input.
struct Stopped {
  std::uint32_t code;
  std::uint32_t location;
};

}  // namespace ovu::fuzz
