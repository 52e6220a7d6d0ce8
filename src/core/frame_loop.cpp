#include "core/frame_loop.h"

#include "core/extended.h"

namespace ovu {

float seconds_from_ms(std::uint64_t elapsed_ms) {
  return to_single(round_x87(Extended(elapsed_ms) / 1000));
}

float step_between(float previous_seconds, float seconds) {
  return to_single(round_x87(round_x87(Extended(seconds) - previous_seconds) * 100));
}

float advance_frame_clock(float frame_clock) {
  float next = to_single(Extended(frame_clock) + kFrameStep);
  if (next >= kFrameClockWrap) next = to_single(next - kFrameClockWrap);
  return next;
}

}  // namespace ovu
