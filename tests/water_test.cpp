#include "core/water.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "core/fpu.h"
#include "core/numeric.h"

namespace ovu {
namespace {

constexpr int N = Water::kSize;

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool same_field(const Water& a, const Water& b) {
  return std::memcmp(a.cells().data(), b.cells().data(), sizeof(Cell) * Water::kCellCount) == 0;
}

bool is_border(int i, int j) { return i == 0 || j == 0 || i == N + 1 || j == N + 1; }

Water flat_water(float height = 0) {
  Random random;
  Water water(random);
  for (Cell& c : water.cells()) c = Cell{height, 0};
  return water;
}

TEST(Water, ConstructionDrawsTheHeightsRowMajorWithTheBorder) {
  Random random;
  Water water(random, 7);
  EXPECT_EQ(water.texture(), 7u);
  EXPECT_EQ(random.state(), [] {
    Random r;
    for (int i = 0; i < Water::kCellCount; ++i) r.next(1000);
    return r.state();
  }());
  const auto& cells = water.cells();
  ASSERT_EQ(cells.size(), 10404u);
  ASSERT_EQ(water.normals().size(), 10000u);
  EXPECT_EQ(cells[0].height, -0.5f);
  EXPECT_EQ(cells[1].height, -0.469f);
  EXPECT_EQ(cells[2].height, 0.361f);
  EXPECT_EQ(cells[3].height, -0.298f);
  EXPECT_EQ(cells[4].height, -0.228f);
  EXPECT_EQ(water.height(1, 1), -0.441f);
  EXPECT_EQ(water.height(101, 101), -0.214f);
  for (const Cell& c : cells) {
    ASSERT_EQ(c.velocity, 0.0f);
    ASSERT_GE(c.height, -0.5f);
    ASSERT_LE(c.height, 0.499f);
  }
  for (const Normal& n : water.normals()) ASSERT_TRUE(n.x == 0 && n.y == 0 && n.z == 0);
}

TEST(Water, ExtendedPrecisionIsInEffect) {
  set_fpu_control();
  EXPECT_TRUE(fpu_control_is_set());
#if defined(__i386__) || defined(__x86_64__)
  // With the precision field at double, 1 + 2^-63 would round back to 1.
  volatile long double one = 1, tiny = std::ldexp(1.0L, -63);
  EXPECT_NE(one + tiny, one);
#endif
}

TEST(Water, StillFieldsStayStill) {
  for (float step : {0.5f, 1.6f, 6.0f, 50.0f}) {
    Water water = flat_water(0.25f);
    const Water before = water;
    water.update(step);
    EXPECT_TRUE(same_field(water, before)) << "step " << step;
  }
  // A rough, moving field does not move with a zero step.
  Random random;
  Water water(random);
  drop_ripple(water, random);
  water.update(1.6f);
  const Water before = water;
  water.update(0);
  EXPECT_TRUE(same_field(water, before));
}

TEST(Water, OneRaisedCellSpreadsToItsFourNeighboursOnly) {
  Water water = flat_water();
  const int i = 40, j = 60;
  water.cells()[Water::index(i, j)].height = 1;
  water.update(1);
  const Cell centre = water.cells()[Water::index(i, j)];
  EXPECT_TRUE(same_bits(centre.velocity, -0.04f));
  EXPECT_TRUE(same_bits(centre.height, 0.96f));
  const int neighbours[4][2] = {{i + 1, j}, {i, j + 1}, {i - 1, j}, {i, j - 1}};
  for (const auto& n : neighbours) {
    const Cell c = water.cells()[Water::index(n[0], n[1])];
    EXPECT_TRUE(same_bits(c.velocity, 0.01f)) << n[0] << "," << n[1];
    EXPECT_TRUE(same_bits(c.height, 0.01f)) << n[0] << "," << n[1];
  }
  for (int di : {-1, 1})
    for (int dj : {-1, 1}) {
      const Cell c = water.cells()[Water::index(i + di, j + dj)];
      EXPECT_EQ(c.height, 0.0f);
      EXPECT_EQ(c.velocity, 0.0f);
    }
}

TEST(Water, BorderRingIsNeverWritten) {
  Random random;
  Water water(random);
  const Water initial = water;
  // Dents on the outermost interior rows and columns pull hard on the rim.
  for (int k = 0; k < 40; ++k) {
    drop_ripple(water, random);
    water.update(5.0f);
  }
  for (int i = 0; i <= N + 1; ++i)
    for (int j = 0; j <= N + 1; ++j) {
      if (!is_border(i, j)) continue;
      const int k = Water::index(i, j);
      ASSERT_TRUE(same_bits(water.cells()[k].height, initial.cells()[k].height)) << i << "," << j;
      ASSERT_EQ(water.cells()[k].velocity, 0.0f);
    }
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
  Random random;
  Water water(random);
  std::vector<Cell> reference = water.cells();
  Random drops;
  for (int frame = 0; frame < 60; ++frame) {
    if (frame % 7 == 0) {
      Random copy = drops;
      drop_ripple(water, drops);
      Water scratch = flat_water();
      scratch.cells() = reference;
      drop_ripple(scratch, copy);
      reference = scratch.cells();
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
  const struct Case {
    float step;
    int count;
    float sub_step;
  } cases[] = {
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
  Random random;
  Water water(random);
  struct Seen { int frame, row, column; };
  std::vector<Seen> seen;
  for (int frame = 1; seen.size() < 3; ++frame) {
    if (random.next(10) != 1) continue;
    const DropSite site = drop_ripple(water, random);
    seen.push_back({frame, site.row, site.column});
  }
  EXPECT_EQ(seen[0].frame, 21);
  EXPECT_EQ(seen[0].row, 45);
  EXPECT_EQ(seen[0].column, 30);
  EXPECT_EQ(Water::index(seen[0].row, seen[0].column), 4620);
  EXPECT_EQ(seen[1].frame, 56);
  EXPECT_EQ(seen[1].row, 60);
  EXPECT_EQ(seen[1].column, 58);
  EXPECT_EQ(seen[2].frame, 65);
  EXPECT_EQ(seen[2].row, 10);
  EXPECT_EQ(seen[2].column, 38);
}

TEST(Water, DropDentsOnlyItsSquareAndTakesTwoDraws) {
  Random random;
  Water water(random);
  const Water before = water;
  Random expected_state = random;
  expected_state.next(86);
  expected_state.next(86);
  const DropSite site = drop_ripple(water, random);
  EXPECT_EQ(random.state(), expected_state.state());
  for (int i = 0; i <= N + 1; ++i)
    for (int j = 0; j <= N + 1; ++j) {
      const int k = Water::index(i, j);
      const Cell now = water.cells()[k], was = before.cells()[k];
      ASSERT_EQ(now.velocity, was.velocity);
      const bool inside = std::abs(i - site.row) <= 7 && std::abs(j - site.column) <= 7;
      if (!inside) {
        ASSERT_TRUE(same_bits(now.height, was.height)) << i << "," << j;
      }
    }
  auto expect_dent = [&](int di, int dj, long double amount) {
    const int k = Water::index(site.row + di, site.column + dj);
    EXPECT_TRUE(same_bits(water.cells()[k].height,
                          static_cast<float>(before.cells()[k].height - amount)))
        << di << "," << dj;
  };
  expect_dent(0, 0, 10);
  for (auto [di, dj] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) expect_dent(di, dj, 10 * std::exp(-0.2L));
  expect_dent(7, 7, 10 * std::exp(-98.0L / 5));
}

// A generator whose next two draws of 86 are (row_draw, column_draw).
Random generator_giving(std::uint32_t row_draw) {
  Random random;
  for (;;) {
    Random probe = random;
    if (probe.next(86) == row_draw) return random;
    random.next(86);
  }
}

TEST(Water, DropsAtTheExtremesReachTheOuterRowsButNotTheBorder) {
  for (std::uint32_t draw : {0u, 85u}) {
    Random random = generator_giving(draw);
    Water water = flat_water();
    const DropSite site = drop_ripple(water, random);
    const int edge_row = draw == 0 ? 1 : N;
    const int border_row = draw == 0 ? 0 : N + 1;
    EXPECT_EQ(site.row, draw == 0 ? 8 : 93);
    EXPECT_LT(water.height(edge_row, site.column), 0.0f);
    for (int j = 0; j <= N + 1; ++j) EXPECT_EQ(water.height(border_row, j), 0.0f);
  }
}

}  // namespace
}  // namespace ovu
