#include "core/frame_pacing.h"

namespace ovu {

namespace {
constexpr std::int64_t kMicrosecondsPerSecond = 1000000;
}  // namespace

std::int64_t FramePacing::wait_after_frame(std::int64_t now_us) {
  if (max_fps_ <= 0) return 0;
  ++frame_;
  const std::int64_t due_us = origin_us_ + frame_ * kMicrosecondsPerSecond / max_fps_;
  if (now_us - due_us > kMicrosecondsPerSecond / max_fps_) {
    start(now_us);
    return 0;
  }
  return due_us > now_us ? due_us - now_us : 0;
}

}  // namespace ovu
