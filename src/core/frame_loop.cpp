#include "core/frame_loop.h"

namespace ovu {

float seconds_from_ms(std::uint64_t elapsed_ms) {
  return to_single(Extended(elapsed_ms) / 1000);
}

float step_between(float previous_seconds, float seconds) {
  return to_single((Extended(seconds) - previous_seconds) * 100);
}

float advance_frame_clock(float frame_clock) {
  float next = to_single(Extended(frame_clock) + kFrameStep);
  if (next >= kFrameClockWrap) next = to_single(next - kFrameClockWrap);
  return next;
}

}  // namespace ovu
