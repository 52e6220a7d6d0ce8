// Long runs of the core frame loop, driven the way the program drives it
// (drop, normals for drawing, wave step, frame clock), with the virtual
// clocks of --fixed-step. The real binary runs the same loop: its dumped
// field equals this one bit for bit (program_test), so what holds here for
// 200,000 frames holds for it, without 40 minutes of software rendering.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "core/frame_loop.h"
#include "core/random.h"
#include "core/water.h"

namespace ovu {
namespace {

// What the renderer would see, checked every frame.
struct Watch {
  Water& water;
  float frame_clock_low = 1e9f, frame_clock_high = -1;
  int frame_clock_wraps = 0;
  float last_frame_clock = 0;
  bool normals_finite = true;

  void render(const FrameView& view) {
    water.build_normals();
    for (const Normal& n : water.normals()) normals_finite &= std::isfinite(n.x) && std::isfinite(n.z);
    if (view.frame_clock < last_frame_clock) ++frame_clock_wraps;
    last_frame_clock = view.frame_clock;
    frame_clock_low = std::fmin(frame_clock_low, view.frame_clock);
    frame_clock_high = std::fmax(frame_clock_high, view.frame_clock);
  }
  void flush() {}
  void swap() {}
};

struct Extremes {
  float height = 0, velocity = 0;
  bool finite = true;
  void take(const Water& water) {
    for (const Cell& c : water.cells()) {
      finite &= std::isfinite(c.height) && std::isfinite(c.velocity);
      height = std::fmax(height, std::fabs(c.height));
      velocity = std::fmax(velocity, std::fabs(c.velocity));
    }
  }
};

TEST(LongRun, FieldStaysFiniteAndBoundedOverLongAndStallingRuns) {
#if defined(__SANITIZE_ADDRESS__)
  // Fixed-size arithmetic that the shorter tests already run under the
  // sanitizers; here they would only multiply its half minute.
  GTEST_SKIP() << "runs in the release build";
#endif
  struct Case {
    std::uint32_t step_ms;
    int frames;
    float height_bound, velocity_bound;
    int frame_clock_wraps;
  } cases[] = {
      // About 53 virtual minutes; the frame clock passes its wrap at frame 160,850.
      {16, 200'000, 40, 3, 1},
      // Every frame a 200 ms stall: four sub-steps each.
      {200, 20'000, 40, 3, 0},
  };
  for (const Case& c : cases) {
    Random random;
    Water water(random);
    FrameLoop loop(water, random);
    Watch watch{water};
    Extremes extremes;
    loop.start(0);
    for (int n = 1; n <= c.frames; ++n) {
      loop.frame(static_cast<std::uint32_t>(n) * c.step_ms, watch);
      extremes.take(water);
      if (!extremes.finite) break;
    }
    const std::string label = std::to_string(c.frames) + " frames of " + std::to_string(c.step_ms) + " ms";
    ASSERT_TRUE(extremes.finite && watch.normals_finite) << label;
    EXPECT_LT(extremes.height, c.height_bound) << label;
    EXPECT_LT(extremes.velocity, c.velocity_bound) << label;
    EXPECT_EQ(loop.frames(), static_cast<std::uint64_t>(c.frames));
    EXPECT_EQ(loop.seconds(), to_single(Extended(std::uint64_t{c.step_ms} * c.frames) / 1000)) << label;
    EXPECT_EQ(watch.frame_clock_wraps, c.frame_clock_wraps) << label;
    EXPECT_GE(watch.frame_clock_low, 0.0f) << label;
    EXPECT_LT(watch.frame_clock_high, kFrameClockWrap) << label;
    RecordProperty("max_height_" + std::to_string(c.step_ms), std::to_string(extremes.height));
    RecordProperty("max_velocity_" + std::to_string(c.step_ms), std::to_string(extremes.velocity));
    std::printf("%s: largest |height| %.3f, |velocity| %.3f\n", label.c_str(), extremes.height, extremes.velocity);
  }
}

}  // namespace
}  // namespace ovu
