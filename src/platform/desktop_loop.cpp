// The frame loop of the desktop programs (Linux and Windows): the program
// owns its thread, so it loops, and waits between frames as each frame asks.
// A page's loop is the browser's (web_window.cpp).

#include <algorithm>

#include "platform/platform.h"
#include "platform/stop.h"

namespace ovu {

namespace {

// How long an idle run waits for events at a time: a termination request is
// noticed within about this.
constexpr int kIdleWaitMs = 100;

// Sleeps in short slices, so a termination request still ends it promptly.
void pause(std::int64_t microseconds) {
  constexpr std::int64_t kSliceUs = 10000;
  for (std::int64_t left = microseconds; left > 0 && !termination_requested(); left -= kSliceUs)
    platform_sleep_us(std::min(left, kSliceUs));
}

}  // namespace

bool platform_paused() { return false; }

int platform_run_frames(NextFrame (*frame)(void*), int (*finish)(void*), void* run) {
  for (;;) {
    const NextFrame next = frame(run);
    if (next.kind == NextFrame::Stop) break;
    if (next.kind == NextFrame::Idle)
      platform_wait_events(kIdleWaitMs);
    else
      pause(next.microseconds);
  }
  return finish(run);
}

}  // namespace ovu
