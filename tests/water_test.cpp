#include "core/water.h"

#include "core/camera.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/fpu.h"
#include "core/numeric.h"
#include "core/random.h"

namespace ovu {
namespace {

constexpr int N = Water::kSize;

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool same_field(const Water& a, const Water& b) {
  return std::memcmp(a.cells().data(), b.cells().data(), sizeof(Cell) * Water::kCellCount) == 0;
}

// A second, differently organised step: velocities from a frozen copy of
// the heights, one cell at a time. Any height written too early, a swapped
// neighbour or a missed rounding makes the fields part.
void reference_step(std::vector<Cell>& cells, float step) {
  const std::vector<Cell> frozen = cells;
  const float stiffness = 0.01f, damping = 0.01f;
  auto h = [&](int i, int j) -> long double { return frozen[i * (N + 2) + j].height; };
  for (int i = N; i >= 1; --i)
    for (int j = N; j >= 1; --j) {
      long double sum = 4 * h(i, j);
      sum -= h(i + 1, j);
      sum -= h(i, j + 1);
      sum -= h(i - 1, j);
      sum -= h(i, j - 1);
      const float l = static_cast<float>(sum);
      long double force = static_cast<long double>(l) * stiffness;
      force += static_cast<long double>(damping) * cells[i * (N + 2) + j].velocity;
      const float a = static_cast<float>(-force * step);
      Cell& c = cells[i * (N + 2) + j];
      c.velocity = static_cast<float>(static_cast<long double>(c.velocity) + a);
    }
  for (int i = 1; i <= N; ++i)
    for (int j = 1; j <= N; ++j) {
      Cell& c = cells[i * (N + 2) + j];
      c.height = static_cast<float>(static_cast<long double>(c.velocity) * step + c.height);
    }
}

TEST(Water, StepMatchesAnIndependentComputationBitForBit) {
  set_fpu_control();
  Random random, draws;
  Water water(random);
  // The generator's first draws, row-major with the border, in extended precision.
  for (const Cell& cell : water.cells())
    ASSERT_TRUE(same_bits(cell.height, static_cast<float>((static_cast<long double>(draws.next(1000)) / 100 - 5) * 0.1L)));
  std::vector<Cell> reference = water.cells();
  Random drops;
  for (int frame = 0; frame < 60; ++frame) {
    // The fields are equal here; the dents themselves are checked on their own below.
    if (frame % 7 == 0) {
      drop_ripple(water, drops);
      reference = water.cells();
    }
    const float step = 0.9f + 0.1f * static_cast<float>(frame % 5);
    water.update(step);
    reference_step(reference, step);
    ASSERT_EQ(std::memcmp(water.cells().data(), reference.data(), sizeof(Cell) * reference.size()), 0)
        << "frame " << frame;
  }
}

TEST(Water, StepsUpToTwoArePlainLongerOnesEqualSubStepsBadOnesNothing) {
  Random random;
  Water start(random);
  drop_ripple(start, random);
  const float inf = std::numeric_limits<float>::infinity();
  const float above_two = std::nextafter(2.0f, inf), above_one = std::nextafter(1.0f, inf);
  const struct Case { float step; int count; float sub_step; } cases[] = {
      {0.0f, 1, 0.0f}, {0.5f, 1, 0.5f}, {1.6f, 1, 1.6f}, {std::nextafter(2.0f, 0.0f), 1, std::nextafter(2.0f, 0.0f)},
      {2.0f, 1, 2.0f}, {above_two, 2, above_one}, {2.5f, 2, 1.25f}, {4.0f, 2, 2.0f},
      {std::nextafter(4.0f, inf), 3, to_single(Extended(std::nextafter(4.0f, inf)) / 3)},
      {50.0f, 25, 2.0f}, {100.0f, 50, 2.0f}, {100.5f, 50, 2.0f}, {1e9f, 50, 2.0f}, {inf, 50, 2.0f},
      {-0.01f, 0, 0.0f}, {-1e9f, 0, 0.0f}, {std::numeric_limits<float>::quiet_NaN(), 0, 0.0f},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sub_step_count(c.step), c.count) << c.step;
    Water updated = start, expected = start;
    updated.update(c.step);
    for (int k = 0; k < c.count; ++k) expected.plain_step(c.sub_step);
    EXPECT_TRUE(same_field(updated, expected)) << c.step;
  }
}

TEST(Water, DropsFollowTheFixedSequence) {
  // The first three drops of a run: frame, row, column.
  Random random;
  Water water(random);
  const std::array<int, 3> expected[3] = {{21, 45, 30}, {56, 60, 58}, {65, 10, 38}};
  int seen = 0;
  for (int frame = 1; seen < 3 && frame < 1000; ++frame) {
    if (random.next(10) != 1) continue;
    const DropSite site = drop_ripple(water, random);
    EXPECT_EQ((std::array<int, 3>{frame, site.row, site.column}), expected[seen++]);
  }
  ASSERT_EQ(seen, 3) << "a generator that never draws a drop";

  // A dent: two draws, Gaussian amounts rounded to single, heights only, its 15 x 15 square only.
  const Water before = water;
  Random two_draws = random;
  two_draws.next(86);
  two_draws.next(86);
  const DropSite site = drop_ripple(water, random);
  EXPECT_EQ(random.state(), two_draws.state());
  for (int i = 0; i <= N + 1; ++i)
    for (int j = 0; j <= N + 1; ++j) {
      const int k = Water::index(i, j), di = i - site.row, dj = j - site.column;
      const bool inside = std::abs(di) <= 7 && std::abs(dj) <= 7;
      const long double amount = inside ? 10 * std::exp(-(di * di + dj * dj) / 5.0L) : 0;
      ASSERT_TRUE(same_bits(water.cells()[k].height, static_cast<float>(before.cells()[k].height - amount))) << i << "," << j;
      ASSERT_EQ(water.cells()[k].velocity, before.cells()[k].velocity);
    }
}

TEST(Water, APointOfThePictureDropsOnTheCellUnderIt) {
  // 640 x 480: the ray through the point, unprojected through gluPerspective(50, 4/3) and the camera
  // (back 160, tilted 10 degrees, swayed) by inverting the GL matrices, meets height 0 at (x, z); the
  // cell is (z / 2.5 + 50, x / 2.5 + 50), then moved into 8 to 93. Row 0: no drop.
  struct Row { float sway; double x, y; int row, column; } rows[] = {
      // The centre of the view is the origin, which the sway turns about; above the horizon; below it, beyond
      // the far edge (z = -128.05); at (-41.17, 64.66) and (-67.99, 35.41); the bottom left corner, at row
      // 97.13 and 96.27 in the margin, and at (-82.55, 88.39).
      {0, 320, 240, 50, 50},  {30, 320, 240, 50, 50},  {0, 320, 10, 0, 0},       {0, 320, 200, 0, 0},
      {0, 100, 300, 76, 34},  {30, 100, 300, 64, 23},  {0, 0.5, 479.5, 93, 39},  {-30, 0.5, 479.5, 93, 64},
      {30, 0.5, 479.5, 85, 17},
  };
  for (const Row& row : rows) {
    const DropSite site = drop_site_under(row.sway, 640, 480, row.x, row.y).value_or(DropSite{0, 0});
    EXPECT_EQ(std::make_pair(site.row, site.column), std::make_pair(row.row, row.column)) << row.x << " " << row.y;
  }
}

}  // namespace
}  // namespace ovu
