#include "core/frame_loop.h"
#include "core/frame_pacing.h"
#include "core/screensaver_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace ovu {
namespace {

bool same_field(const Water& a, const Water& b) {
  return std::memcmp(a.cells().data(), b.cells().data(), sizeof(Cell) * Water::kCellCount) == 0 &&
         std::memcmp(a.normals().data(), b.normals().data(), sizeof(Normal) * Water::kNormalCount) == 0;
}

// Runs frames as the program does, keeping the field as each was drawn.
struct Rig {
  Random random;
  Water water{random};
  FrameLoop loop{water, random};
  FrameView view{};
  std::vector<Water> seen;
  void frame(std::uint32_t ticks, const std::vector<DropSite>& input = {}) {
    view = loop.tick(ticks);
    loop.drop(input);
    seen.push_back(water);
    loop.step();
  }
};

TEST(FrameLoop, FrameTicksDropsThenStepsAfterTheDrawing) {
  Rig rig;
  rig.loop.start(5000);
  Random expected = rig.random;
  Water model = rig.water;
  float frame_clock = 0;  // drawn before it advances: 0 in the first frame
  for (int frame = 1; frame <= 100; ++frame) {
    const std::uint32_t ticks = 5000 + 16 * frame;
    if (expected.next(10) == 1) drop_ripple(model, expected);  // one frame in ten
    // A person's drops after the random one (frame 21's, at 45, 30, overlaps), from no generator.
    const auto input = frame == 21 || frame == 40 ? std::vector<DropSite>{{47, 33}, {8, 93}} : std::vector<DropSite>{};
    for (const DropSite& site : input) drop_at(model, site);
    model.build_normals();
    rig.frame(ticks, input);
    // The dent is already in the picture of the frame that made it, normals and all.
    ASSERT_TRUE(same_field(rig.seen.back(), model)) << "frame " << frame;
    const float seconds = to_single(Extended(16 * frame) / 1000);
    const float previous = to_single(Extended(16 * (frame - 1)) / 1000);
    model.update(to_single((Extended(seconds) - previous) * 100));
    ASSERT_TRUE(same_field(rig.water, model)) << "frame " << frame;
    ASSERT_EQ(rig.view.number, static_cast<std::uint64_t>(frame));
    ASSERT_EQ(rig.view.seconds, seconds);
    ASSERT_EQ(rig.view.frame_clock, frame_clock);
    frame_clock = to_single(Extended(frame_clock) + 0.1f);
    ASSERT_EQ(rig.random.state(), expected.state());
  }
}

TEST(FrameLoop, FrameClockKeepsItsPaceAndWrapsWithoutAJump) {
  // Unchanged until it reaches the wrap point, then taken back by it.
  float clock = 0, before = 0;
  while (clock >= before) {
    before = clock;
    clock = advance_frame_clock(clock);
    if (clock >= before) {
      ASSERT_EQ(clock, to_single(Extended(before) + 0.1f));
    }
  }
  EXPECT_EQ(clock, to_single(to_single(Extended(before) + 0.1f) - 20 * kPi * 256));  // 256 sway periods
  // The sway angle does not jump at the wrap.
  EXPECT_NEAR(std::sin(Extended(before) / 10 + 0.01L), std::sin(Extended(clock) / 10), 1e-3);
}

TEST(FrameLoop, InjectedFrameLengthsAtTheSplitThresholds) {
  // One frame of `ms` after the start, from a counter about to wrap; the
  // plain steps it must come to, worked out by hand, and the frame's step before splitting.
  struct Case { std::uint32_t ms; int plain_steps; float frame_step; } cases[] = {
      // Step 2 exactly: one plain step; just over: two halves.
      {20, 1, to_single(Extended(0.02f) * 100)}, {21, 2, to_single(Extended(0.021f) * 100)},
      // One second: 50 sub-steps; more is clamped to one second, an hour's stall as well.
      {1000, 50, 100.0f}, {1001, 50, 100.0f}, {3'600'000, 50, 100.0f},
      {0, 0, 0.0f},  // a counter that did not move
  };
  for (const Case& c : cases) {
    Rig rig;
    const std::uint32_t start = 0xFFFFFFF0u;
    rig.loop.start(start);
    Water model = rig.water;
    Random expected = rig.random;
    if (expected.next(10) == 1) drop_ripple(model, expected);  // one frame in ten
    model.build_normals();
    for (int k = 0; k < c.plain_steps; ++k) model.plain_step(to_single(Extended(c.frame_step) / c.plain_steps));
    rig.frame(start + c.ms);
    EXPECT_TRUE(same_field(rig.water, model)) << c.ms << " ms";
  }

  // Past 2^32 ms in all the seconds keep growing and the step stays >= 0:
  // with a 32-bit elapsed count they would fall back to 0 here.
  Rig rig;
  rig.loop.start(0);
  float last = 0;
  for (std::uint32_t ticks : {0x80000000u, 0u, 16u, 0x80000000u, 0u}) {
    rig.frame(ticks);
    EXPECT_GE(rig.loop.seconds(), last) << ticks;
    EXPECT_GE(step_between(rig.loop.previous_seconds(), rig.loop.seconds()), 0.0f);
    last = rig.loop.seconds();
  }
  EXPECT_EQ(last, to_single(Extended(8589934592.0L) / 1000));
  for (const Cell& cell : rig.water.cells()) ASSERT_TRUE(std::isfinite(cell.height) && std::isfinite(cell.velocity));
}

TEST(FramePacing, FramesStartOnTheScheduleAndAnOverrunStartsItAgain) {
  // Frames ending (after the origin) and the waits after them.
  const struct Case { int max_fps; std::vector<std::pair<std::int64_t, std::int64_t>> end_wait; } cases[] = {
      {60, {{0, 16666}, {16666, 16667}, {33333, 16667}}},         // each due time from the origin: no drift
      {30, {{10000, 23333}, {73333, 0}, {83333, 16667}}},         // a late frame only shortens the next wait
      {30, {{70000, 0}, {80000, 23333}, {103333, 33333}}},        // more than an interval late: again from 70000
      {1000, {{400, 600}, {2500, 0}, {2600, 400}}},
      {0, {{10, 0}, {5000000, 0}}},
  };
  for (const Case& c : cases) {
    constexpr std::int64_t kOrigin = 7000000;
    FramePacing pacing(c.max_fps);
    pacing.start(kOrigin);
    for (const auto& [end, wait] : c.end_wait)
      EXPECT_EQ(pacing.wait_after_frame(kOrigin + end), wait) << c.max_fps << " fps, frame ending at " << end;
  }
}

// The screensaver's stored rate for the pacing: the ends of the range and a value that cannot be read, which the
// Windows end-to-end rows cannot store. Unsigned: all ones is far too fast, not -1.
TEST(ScreensaverSettings, StoredRateIsUnsignedAndClampedAndAnUnreadableOneIsTheDefault) {
  const auto rate = [](bool read, std::uint8_t low, std::uint8_t high) { return StoredValue{read, true, {low, 0, 0, high}}; };
  for (const auto& [fps, expected] : {std::pair{rate(1, 4, 0), 5}, {rate(1, 119, 0), 119}, {rate(1, 255, 255), 120}, {rate(0, 60, 0), 30}})
    EXPECT_EQ(decode_settings(fps, {}, {}).max_fps, expected) << expected;
}

}  // namespace
}  // namespace ovu
