#pragma once

#include <cstdint>
#include <vector>

#include "core/numeric.h"
#include "core/random.h"
#include "core/water.h"

namespace ovu {

inline constexpr Extended kPi = 3.141592653589793238462643383279502884L;

// Milliseconds since start from a wrapping 32-bit tick counter. The per-call
// differences are accumulated in 64 bits so the clock never runs backwards
// after 49.7 days; for shorter runs it equals the plain 32-bit difference.
class ElapsedClock {
public:
  void start(std::uint32_t ticks) {
    last_ = ticks;
    elapsed_ms_ = 0;
  }
  std::uint64_t advance(std::uint32_t ticks) {
    elapsed_ms_ += static_cast<std::uint32_t>(ticks - last_);
    last_ = ticks;
    return elapsed_ms_;
  }

private:
  std::uint32_t last_ = 0;
  std::uint64_t elapsed_ms_ = 0;
};

inline constexpr float kFrameStep = 0.1f;
// A whole number of sway periods (20 pi each) and still below 16384, where
// single-precision steps of 0.1 start to drift: the frame clock is taken
// back by this much so the sway neither changes speed nor freezes.
inline constexpr Extended kFrameClockWrap = 20 * kPi * 256;
inline constexpr std::int32_t kDropChance = 10;  // a drop in one frame out of ten

float seconds_from_ms(std::uint64_t elapsed_ms);
// The frame's simulation step: elapsed hundredths of a second.
float step_between(float previous_seconds, float seconds);
float advance_frame_clock(float frame_clock);

// What one frame is drawn at: its number (from 1), the wall clock and the
// frame clock the camera sways by.
struct FrameView {
  std::uint64_t number;
  float seconds;
  float frame_clock;
};

// The pure parts of a frame, called in the frame's order: tick (clocks),
// drop (the drop decision, a person's drops, the normals), then, after the
// frame is drawn, step. The program draws, flushes, captures and swaps in
// between.
class FrameLoop {
public:
  FrameLoop(Water& water, Random& random) : water_(water), random_(random) {}

  // Starts the clocks; the time spent before this is not part of Seconds.
  void start(std::uint32_t ticks) {
    clock_.start(ticks);
    seconds_ = 0;
    previous_seconds_ = 0;
    frame_clock_ = 0;
  }

  // The next frame's number and clocks.
  FrameView tick(std::uint32_t ticks) {
    previous_seconds_ = seconds_;
    seconds_ = seconds_from_ms(clock_.advance(ticks));
    return FrameView{++frames_, seconds_, frame_clock_};
  }

  // One frame in ten a random drop, then a person's drops, then the normals
  // of the field as this frame shows it.
  void drop(const std::vector<DropSite>& input = {}) {
    if (random_.next(kDropChance) == 1) drop_ripple(water_, random_);
    // Input draws nothing, so the random drops of a run are the same with it or without.
    for (const DropSite& site : input) drop_at(water_, site);
    water_.build_normals();
  }

  // After the drawing: the water over the frame's time, and the frame clock.
  void step() {
    water_.update(step_between(previous_seconds_, seconds_));
    frame_clock_ = advance_frame_clock(frame_clock_);
  }

  float seconds() const { return seconds_; }
  float previous_seconds() const { return previous_seconds_; }
  std::uint64_t frames() const { return frames_; }

private:
  Water& water_;
  Random& random_;
  ElapsedClock clock_;
  float seconds_ = 0;
  float previous_seconds_ = 0;
  float frame_clock_ = 0;
  std::uint64_t frames_ = 0;
};

}  // namespace ovu
