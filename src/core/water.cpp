#include "core/water.h"

#include <cmath>
#include <cstring>

#include "core/numeric.h"

namespace ovu {

namespace {

constexpr int kDropRadius = 7;
constexpr int kDropMargin = 8;          // keeps the 15 x 15 square off the border ring
constexpr Extended kDropDepth = 10;
constexpr Extended kDropFalloff = 5;    // the Gaussian's divisor of the squared distance
constexpr float kNormalHeightFactor = 4;
constexpr int kHeightDrawRange = 1000;  // heights in steps of 0.001 from -0.5 to 0.499

}  // namespace

Water::Water(Random& random, std::uint32_t texture)
    : texture_(texture), cells_(kCellCount, Cell{0, 0}), normals_(kNormalCount, Normal{0, 0, 0}) {
  // Border ring included, row-major: the draw order fixes the surface.
  for (Cell& cell : cells_) {
    const Extended d = random.next(kHeightDrawRange);
    cell.height = to_single((d / 100 - 5) * 0.1L);
  }
}

void Water::plain_step(float step) {
  constexpr int n = kSize;
  constexpr int s = kStride;
  Cell* c = cells_.data();
  // Velocities first, all from the heights as they were on entry.
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      const int k = i * s + j;
      const float laplacian = to_single(Extended(4) * c[k].height - c[k + s].height -
                                        c[k + 1].height - c[k - s].height - c[k - 1].height);
      const float accel = to_single(
          -(Extended(laplacian) * stiffness_ + Extended(damping_) * c[k].velocity) * step);
      c[k].velocity = to_single(Extended(c[k].velocity) + accel);
    }
  }
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      const int k = i * s + j;
      c[k].height = to_single(Extended(c[k].velocity) * step + c[k].height);
    }
  }
}

int sub_step_count(float step) {
  if (!(step >= 0)) return 0;  // negative and NaN steps change nothing
  if (step > Water::kMaxFrameStep) step = Water::kMaxFrameStep;
  if (step <= Water::kMaxPlainStep) return 1;
  return static_cast<int>(std::ceil(Extended(step) / Water::kMaxPlainStep));
}

// Equal sub-steps, not full steps plus a remainder: within a frame one size
// repeats, which is stable on its own, and a long frame's sizes lie in (1, 2]
// rather than a sliver beside full steps. n and step / n are worked out in
// extended precision; the sub-step is rounded once, where it is kept.
void Water::update(float step) {
  const int count = sub_step_count(step);
  if (count == 0) return;
  if (count == 1) {
    plain_step(step);
    return;
  }
  const float clamped = step > kMaxFrameStep ? kMaxFrameStep : step;
  const float sub_step = to_single(Extended(clamped) / count);
  for (int i = 0; i < count; ++i) plain_step(sub_step);
}

void Water::build_normals() {
  constexpr int n = kSize;
  const Cell* c = cells_.data();
  const float up = to_single(Extended(kNormalHeightFactor) * spacing_);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      const int k = index(i, j);
      Normal& normal = normals_[(i - 1) * n + (j - 1)];
      normal.x = to_single(Extended(c[k - 1].height) - c[k + 1].height);
      normal.y = up;
      normal.z = to_single(Extended(c[k - kStride].height) - c[k + kStride].height);
    }
  }
}

DropSite drop_ripple(Water& water, Random& random) {
  const int range = Water::kSize - 2 * kDropRadius;
  const int row = static_cast<int>(random.next(range)) + kDropMargin;
  const int column = static_cast<int>(random.next(range)) + kDropMargin;
  std::vector<Cell>& cells = water.cells();
  for (int dy = -kDropRadius; dy <= kDropRadius; ++dy) {
    for (int dx = -kDropRadius; dx <= kDropRadius; ++dx) {
      const Extended exponent = Extended(-(dy * dy + dx * dx)) / kDropFalloff;
      const Extended amount = kDropDepth * std::exp(exponent);
      Cell& cell = cells[Water::index(row + dy, column + dx)];
      cell.height = to_single(cell.height - amount);
    }
  }
  return DropSite{row, column};
}

std::vector<std::uint8_t> field_bytes(const Water& water) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(sizeof(Cell) * Water::kCellCount);
  auto put = [&bytes](float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
  };
  for (const Cell& cell : water.cells()) {
    put(cell.height);
    put(cell.velocity);
  }
  return bytes;
}

}  // namespace ovu
