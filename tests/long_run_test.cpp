// Long runs of the core frame loop, driven the way the program drives it
// (drop, wave step, frame clock), with the virtual
// clocks of --fixed-step. The real binary runs the same loop: its dumped
// field equals this one bit for bit (program_test), so what holds here
// holds for it, without an hour of software rendering.
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

// Frame lengths mix step sizes; mixed sizes are what blew the field up
// (alternating 33/67 ms, 60 ms between one step and two, random lengths).
TEST(LongRun, FieldStaysFiniteAndBoundedUnderAnyFrameTiming) {
  // Each frame's length in turn from the cycle, or when it is empty uniformly random in [low, high].
  struct Case { std::vector<std::uint32_t> cycle_ms; std::uint32_t low, high; } cases[] = {
      {{16}, 0, 0}, {{20}, 0, 0},  // single-precision seconds put Steps on both sides of 2
      {{25}, 0, 0}, {{60}, 0, 0}, {{33, 67}, 0, 0}, {{7, 30}, 0, 0}, {{10, 100}, 0, 0}, {{16, 60}, 0, 0},
      {{}, 30, 90}, {{}, 1, 200},
  };
  for (const Case& c : cases) {
#if defined(__SANITIZE_ADDRESS__)
    const int frames = 1000;  // the sanitizers see the same arithmetic in fewer frames
#else
    const int frames = 5000;
#endif
    Random random;
    Water water(random);
    FrameLoop loop(water, random);
    struct { void render(const FrameView&) {} void flush() {} void swap() {} } out;
    float height = 0, velocity = 0;
    bool finite = true;
    std::mt19937 engine(c.low);
    std::uniform_int_distribution<std::uint32_t> random_ms(c.low, c.high);
    std::uint64_t ticks = 0;
    loop.start(0);
    for (int n = 0; n < frames && finite; ++n) {
      ticks += c.cycle_ms.empty() ? random_ms(engine) : c.cycle_ms[n % c.cycle_ms.size()];
      loop.frame(static_cast<std::uint32_t>(ticks), out);
      for (const Cell& cell : water.cells()) {
        finite &= std::isfinite(cell.height) && std::isfinite(cell.velocity);
        height = std::fmax(height, std::fabs(cell.height));
        velocity = std::fmax(velocity, std::fabs(cell.velocity));
      }
    }
    const std::string label = "case " + std::to_string(&c - cases) + ", " + std::to_string(frames) + " frames";
    ASSERT_TRUE(finite) << label;
    EXPECT_LE(height, 40) << label;
    EXPECT_LT(velocity, 3) << label;
    EXPECT_EQ(loop.seconds(), to_single(Extended(ticks) / 1000)) << label;
    std::printf("%s: largest |height| %.3f, |velocity| %.3f\n", label.c_str(), height, velocity);
  }
}

}  // namespace
}  // namespace ovu
