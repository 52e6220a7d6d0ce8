#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/camera.h"
#include "core/frame_loop.h"
#include "core/intro.h"
#include "core/water.h"

namespace ovu {
namespace {

TEST(Sway, SwingsThirtyDegreesEachWayOnTheFrameClock) {
  EXPECT_EQ(sway_angle(0), 0.0f);
  EXPECT_NEAR(sway_angle(static_cast<float>(5 * kPi)), 30.0f, 1e-4f);
  EXPECT_NEAR(sway_angle(static_cast<float>(15 * kPi)), -30.0f, 1e-4f);
  EXPECT_NEAR(sway_angle(static_cast<float>(20 * kPi + 1)), sway_angle(1), 1e-4f);
  // The sine takes radians of frame clock / 10, not degrees or the clock itself.
  EXPECT_NEAR(sway_angle(1), 30 * std::sin(0.1), 1e-5);
}

TEST(Intro, ScheduleFadesInHoldsAndDissolves) {
  struct Case {
    float seconds, alpha, wobble;
  } cases[] = {
      {0, 0, 0}, {1, 0.5f, 0}, {2, 1, 0}, {4.9f, 1, 0}, {5, 1, 0}, {7.5f, 0.5f, 0.02f},
  };
  for (const Case& c : cases) {
    const IntroFade fade = intro_fade(c.seconds);
    EXPECT_EQ(fade.alpha, c.alpha) << c.seconds;
    EXPECT_EQ(fade.wobble, c.wobble) << c.seconds;
  }
  const IntroFade late = intro_fade(9.999f);
  EXPECT_NEAR(late.alpha, 0.0002f, 1e-5f);
  EXPECT_NEAR(late.wobble, 0.04f, 1e-5f);
  EXPECT_TRUE(intro_visible(0));
  EXPECT_TRUE(intro_visible(9.999f));
  EXPECT_FALSE(intro_visible(10));
  EXPECT_FALSE(intro_visible(1e6f));
}

TEST(Intro, VertexPhaseIsColumnOrRowPlusSeconds) {
  const float seconds = 6;
  const float wobble = 0.03f;
  const IntroVertex a = intro_vertex(5, 3, seconds, wobble);  // 5 | 3 = 7
  EXPECT_FLOAT_EQ(a.s, static_cast<float>(5.0L / 30 + wobble * std::sin(7.0L + seconds)));
  EXPECT_FLOAT_EQ(a.t, static_cast<float>(3.0L / 30 + wobble * std::cos(7.0L + seconds)));
  const IntroVertex b = intro_vertex(4, 8, seconds, wobble);  // 4 | 8 = 12
  EXPECT_FLOAT_EQ(b.s, static_cast<float>(4.0L / 30 + wobble * std::sin(12.0L + seconds)));
  EXPECT_FLOAT_EQ(b.x, static_cast<float>(4.0L / 30 - 0.5L));
  EXPECT_FLOAT_EQ(b.y, static_cast<float>(8.0L / 30 - 0.5L));
  // Without wobble the coordinates are exactly the grid's.
  const IntroVertex still = intro_vertex(7, 11, 3, 0);
  EXPECT_EQ(still.s, static_cast<float>(7.0L / 30));
  EXPECT_EQ(still.t, static_cast<float>(11.0L / 30));
}

TEST(Intro, GridIsThirtyStripsClimbingTwoColumnsEach) {
  IntroGrid grid;
  intro_grid(7.25f, 0.025f, grid);
  for (int i = 0; i < kIntroGrid; ++i) {
    for (int row = 0; row < kIntroGrid; ++row) {
      for (int k = 0; k < 2; ++k) {
        const IntroVertex expected = intro_vertex(i + k, row, 7.25f, 0.025f);
        const IntroVertex& got = grid[i][2 * row + k];
        ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << i << "," << row << "," << k;
      }
    }
  }
  // Shared columns meet without cracks; the top row stops at 29/30.
  EXPECT_EQ(std::memcmp(&grid[3][1], &grid[4][0], sizeof(IntroVertex)), 0);
  EXPECT_EQ(grid[0][0].x, -0.5f);
  EXPECT_EQ(grid[29][59].x, 0.5f);
  EXPECT_EQ(grid[29][59].y, static_cast<float>(29.0L / 30 - 0.5L));
}

Water flat_water() {
  Random random;
  Water water(random);
  for (Cell& c : water.cells()) c = Cell{0, 0};
  return water;
}

TEST(Normals, FlatSurfacePointsStraightUp) {
  Water water = flat_water();
  water.build_normals();
  for (const Normal& n : water.normals()) {
    ASSERT_EQ(n.x, 0.0f);
    ASSERT_EQ(n.y, 10.0f);
    ASSERT_EQ(n.z, 0.0f);
  }
}

TEST(Normals, ARaisedCellTiltsOnlyItsFourNeighbours) {
  Water water = flat_water();
  const int i = 30, j = 70;
  const float h = 10;
  water.cells()[Water::index(i, j)].height = h;
  water.build_normals();
  auto normal = [&](int row, int column) { return water.normals()[(row - 1) * Water::kSize + (column - 1)]; };
  EXPECT_EQ(normal(i, j - 1).x, -h);  // left: left minus right
  EXPECT_EQ(normal(i, j + 1).x, h);
  EXPECT_EQ(normal(i - 1, j).z, -h);  // previous row: previous minus next
  EXPECT_EQ(normal(i + 1, j).z, h);
  EXPECT_EQ(normal(i, j - 1).z, 0.0f);
  EXPECT_EQ(normal(i - 1, j).x, 0.0f);
  for (auto [di, dj] : {std::pair{0, 0}, {1, 1}, {-1, -1}, {1, -1}, {-1, 1}}) {
    const Normal n = normal(i + di, j + dj);
    EXPECT_TRUE(n.x == 0 && n.y == 10 && n.z == 0) << di << "," << dj;
  }
}

TEST(Normals, OuterCellsTakeTheBorderHeights) {
  Random random;
  Water water(random);  // rough everywhere, border included
  water.build_normals();
  const int n = Water::kSize;
  auto normal = [&](int row, int column) { return water.normals()[(row - 1) * n + (column - 1)]; };
  EXPECT_EQ(normal(1, 1).x, static_cast<float>(static_cast<long double>(water.height(1, 0)) - water.height(1, 2)));
  EXPECT_EQ(normal(1, 1).z, static_cast<float>(static_cast<long double>(water.height(0, 1)) - water.height(2, 1)));
  EXPECT_EQ(normal(n, n).x, static_cast<float>(static_cast<long double>(water.height(n, n - 1)) - water.height(n, n + 1)));
  EXPECT_EQ(normal(n, n).z, static_cast<float>(static_cast<long double>(water.height(n - 1, n)) - water.height(n + 1, n)));
}

}  // namespace
}  // namespace ovu
