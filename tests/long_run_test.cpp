// Long runs of the core frame loop, driven the way the program drives it
// (drop, normals for drawing, wave step, frame clock), with the virtual
// clocks of --fixed-step. The real binary runs the same loop: its dumped
// field equals this one bit for bit (program_test), so what holds here for
// 200,000 frames holds for it, without 40 minutes of software rendering.
// bench/water_families runs the whole set of frame-time families.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

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

// Frame lengths mix step sizes; mixed sizes are what blew the field up
// (alternating 33/67 ms, 60 ms between one step and two, random lengths).
TEST(LongRun, FieldStaysFiniteAndBoundedUnderAnyFrameTiming) {
  struct Case {
    std::vector<std::uint32_t> cycle_ms;  // empty: uniformly random in [low, high]
    std::uint32_t low, high;
    int frames;
    int frame_clock_wraps;
  } cases[] = {
      // About 53 virtual minutes; the frame clock passes its wrap at frame 160,850.
      {{16}, 0, 0, 200'000, 1},
      {{20}, 0, 0, 5000, 0},  // single-precision seconds put Steps on both sides of 2
      {{25}, 0, 0, 5000, 0},      {{60}, 0, 0, 5000, 0},
      {{33, 67}, 0, 0, 5000, 0},  {{7, 30}, 0, 0, 5000, 0},  {{10, 100}, 0, 0, 5000, 0},
      {{16, 60}, 0, 0, 5000, 0},  {{}, 30, 90, 5000, 0},     {{}, 1, 200, 5000, 0},
  };
  for (const Case& c : cases) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers see the same arithmetic in a thousand frames of the short rows.
    if (c.frames > 5000) continue;
    const int frames = 1000;
#else
    const int frames = c.frames;
#endif
    Random random;
    Water water(random);
    FrameLoop loop(water, random);
    Watch watch{water};
    Extremes extremes;
    std::mt19937 engine(c.low);
    std::uniform_int_distribution<std::uint32_t> random_ms(c.low, c.high);
    std::uint64_t ticks = 0;
    loop.start(0);
    for (int n = 0; n < frames && extremes.finite; ++n) {
      ticks += c.cycle_ms.empty() ? random_ms(engine) : c.cycle_ms[n % c.cycle_ms.size()];
      loop.frame(static_cast<std::uint32_t>(ticks), watch);
      extremes.take(water);
    }
    std::string label = std::to_string(frames) + " frames of";
    for (std::uint32_t ms : c.cycle_ms) label += " " + std::to_string(ms);
    if (c.cycle_ms.empty()) label += " " + std::to_string(c.low) + ".." + std::to_string(c.high);
    label += " ms";
    ASSERT_TRUE(extremes.finite && watch.normals_finite) << label;
    EXPECT_LE(extremes.height, 40) << label;
    EXPECT_LT(extremes.velocity, 3) << label;
    EXPECT_EQ(loop.frames(), static_cast<std::uint64_t>(frames));
    EXPECT_EQ(loop.seconds(), to_single(Extended(ticks) / 1000)) << label;
    EXPECT_EQ(watch.frame_clock_wraps, c.frame_clock_wraps) << label;
    EXPECT_GE(watch.frame_clock_low, 0.0f) << label;
    EXPECT_LT(watch.frame_clock_high, kFrameClockWrap) << label;
    std::printf("%s: largest |height| %.3f, |velocity| %.3f\n", label.c_str(), extremes.height, extremes.velocity);
  }
}

}  // namespace
}  // namespace ovu
