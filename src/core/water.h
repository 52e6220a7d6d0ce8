#pragma once

#include <cstdint>
#include <vector>

#include "core/numeric.h"
#include "core/random.h"

namespace ovu {

struct Cell {
  float height;
  float velocity;
};

struct Normal {
  float x, y, z;
};

// Square height field of kSize x kSize simulated cells inside a border ring.
// The ring is never written: it is the rough rim the interior couples to.
class Water {
public:
  static constexpr int kSize = 100;
  static constexpr int kStride = kSize + 2;
  static constexpr int kCellCount = kStride * kStride;
  static constexpr int kNormalCount = kSize * kSize;
  static constexpr float kSpacing = 2.5f;  // world distance between neighbouring cells

  // Largest step taken in one go: a frame of 20 ms or less stays the plain
  // step. One size repeated is stable up to about 7, but frames of different
  // lengths mix sizes, and mixtures pump the finest ripple (a step of 6 then
  // one of 3 multiply it by 1.88). The pumping grows with the step; up to 2
  // the damping wins for steady, jittered, random and alternating frame
  // times (bench/water_families), though not for every contrived pattern.
  static constexpr float kMaxPlainStep = 2.0f;
  // One second of simulated time is the most a single frame may advance.
  static constexpr float kMaxFrameStep = 100.0f;

  // Fills the heights with the first kCellCount draws of `random`.
  explicit Water(Random& random);

  static constexpr int index(int row, int column) { return row * kStride + column; }

  // Advances the field by `step` hundredths of a second: one plain step up
  // to kMaxPlainStep, else equal sub-steps no longer than that.
  void update(float step);

  // One damped wave step exactly as the model defines it, for any step.
  void plain_step(float step);

  // Recomputes the per-cell normals from the current heights.
  void build_normals();

  const std::vector<Cell>& cells() const { return cells_; }
  std::vector<Cell>& cells() { return cells_; }
  const std::vector<Normal>& normals() const { return normals_; }

  float height(int row, int column) const { return cells_[index(row, column)].height; }

private:
  std::vector<Cell> cells_;
  std::vector<Normal> normals_;
};

struct DropSite {
  int row;
  int column;
  bool operator==(const DropSite& other) const { return row == other.row && column == other.column; }
};

// Where a drop can be centred: its 15 x 15 square then stays off the border ring.
inline constexpr int kFirstDropCell = 8;
inline constexpr int kLastDropCell = Water::kSize - 7;

// The drop site nearest to any cell of the field.
DropSite nearest_drop_site(int row, int column);

// How deep a drop presses the cell at this squared distance (0 to 98) from
// its centre: 10 exp(-squared_distance / 5).
Extended drop_amount(int squared_distance);

// Presses a Gaussian dent into the field at a random place: two draws, the
// row first. Returns where the dent was centred.
DropSite drop_ripple(Water& water, Random& random);

// The same dent at a chosen site (one a random drop could have), drawing
// nothing from the generator.
void drop_at(Water& water, DropSite site);

// The field as stored for inspection: every cell in row-major order, border
// included, each as height then velocity in little-endian IEEE single.
std::vector<std::uint8_t> field_bytes(const Water& water);

// Number of equal sub-steps `Water::update` splits `step` into (0: none).
int sub_step_count(float step);

}  // namespace ovu
