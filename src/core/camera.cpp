#include "core/camera.h"

#include <cmath>

#include "core/numeric.h"

namespace ovu {

namespace {
constexpr Extended kSwayDivisor = 10;
constexpr Extended kSwayDegrees = 30;
}  // namespace

float sway_angle(float frame_clock) {
  return to_single(std::sin(Extended(frame_clock) / kSwayDivisor) * kSwayDegrees);
}

}  // namespace ovu
