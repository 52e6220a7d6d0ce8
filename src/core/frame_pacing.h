#pragma once

#include <cstdint>

namespace ovu {

// When frames start at a capped rate, in microseconds of a steady clock.
// Frame k of a schedule is due k / max_fps seconds after the schedule's
// origin, worked out from the origin each time so that rounding never adds
// up to drift. A frame that ends late only shortens the wait before the
// next one; one that ends more than a whole interval past the next's time
// starts the schedule again from now, so no burst of catch-up frames follows.
class FramePacing {
public:
  explicit FramePacing(int max_fps) : max_fps_(max_fps) {}  // 0: no cap, never a wait

  void start(std::int64_t now_us) {
    origin_us_ = now_us;
    frame_ = 0;
  }

  // Once a frame is done at `now_us`: how long to wait before the next one starts.
  std::int64_t wait_after_frame(std::int64_t now_us);

private:
  int max_fps_;
  std::int64_t origin_us_ = 0;
  std::int64_t frame_ = 0;  // frames since the origin
};

}  // namespace ovu
