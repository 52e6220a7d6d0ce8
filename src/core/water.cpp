#include "core/water.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/extended.h"
#include "core/numeric.h"
#include "core/wave_step.h"

namespace ovu {

namespace {

constexpr int kDropRadius = 7;
constexpr Extended kTenth = 0xc.ccccccccccccccdp-7L;  // 0.1 as the x87 format holds it
constexpr float kNormalHeightFactor = 4;
constexpr int kHeightDrawRange = 1000;  // heights in steps of 0.001 from -0.5 to 0.499

// The dent 10 exp(-k / 5) at squared distance k from the centre, as the x87
// format computes it: the quotient, the exponential and the product each
// rounded to its 64-bit significand. A table, because where long double is
// not that format (WebAssembly) expl is only as precise as double.
constexpr Extended kDropAmounts[] = {
    0xap+0L, 0x8.2ff362e6fe6beb2p+0L, 0xd.6809e4078694996p-1L,
    0xa.f9ea633dc30e1e6p-1L, 0x8.fc9075b8949aa8cp-1L, 0xe.b715e1dc1582dc4p-2L,
    0xc.0c3a8e0c4bcaecbp-2L, 0x9.dd272528e2366bap-2L, 0x8.136b9bae8866d85p-2L,
    0xd.39523c2e2660056p-3L, 0xa.d3aaa657b11f43fp-3L, 0x8.dd3fa9b4c754ac8p-3L,
    0xe.83ceaf9617da1edp-4L, 0xb.e23eea5dfe72894p-4L, 0x9.bac7b8e6e239878p-4L,
    0xf.ee8e80012e6d3dcp-5L, 0xd.0b3d603ffd0cb96p-5L, 0xa.adf032ccdb85fccp-5L,
    0x8.be5bfde52720ad7p-5L, 0xe.513a2dc57206407p-6L, 0xb.b8d59314c618cafp-6L,
    0x9.98e014124f09cbcp-6L, 0xf.b709ead3e8fc40ep-7L, 0xc.ddc918f09862702p-7L,
    0xa.88b93826438346ep-7L, 0x8.9fe3f6042a14e8dp-7L, 0xe.1f55edbc04b81fbp-8L,
    0xb.8ffc8a61f0ef374p-8L, 0x9.776e95460a20c1p-8L, 0xf.8046cc5d61dec85p-9L,
    0xc.b0f336ac6505a7p-9L, 0xa.6403ec3f70ac1ecp-9L, 0x8.81d61af96916074p-9L,
    0xd.ee1f89458c90736p-10L, 0xb.67b1d96754ef82ep-10L, 0x9.5671a0cb74fc95ap-10L,
    0xf.4a4282736a91945p-11L, 0xc.84b9917dc5a618dp-11L, 0xa.3fce8b3068d3158p-11L,
    0x8.6430fac796208d4p-11L, 0xd.bd94a28a18cbf58p-12L, 0xb.3ff3901f212a96dp-12L,
    0x9.35e7a086a49db6ep-12L, 0xf.14fa7419192ce5bp-13L, 0xc.591a08f287f2bc6p-13L,
    0xa.1c175737f4b7faep-13L, 0x8.46f3287ab16db01p-13L, 0xd.8db2e3f0e8dc955p-14L,
    0xb.18bfc544035c56p-14L, 0x9.15cf03e2da02b1p-14L, 0xe.e06c115ecde0a1cp-15L,
    0xc.2e128401b60c88p-15L, 0x9.f8dc98a630720bp-15L, 0x8.2a1b3c167c9881bp-15L,
    0xd.5e780003af8901ep-16L, 0xa.f2149639a09e826p-16L, 0x8.f6263fbf3eb1eeep-16L,
    0xe.ac94d342a7e00a2p-17L, 0xc.03a0f0f1c335a32p-17L, 0x9.d61c9dc7668cc02p-17L,
    0x8.0da7d2852aeb6b8p-17L, 0xd.2fe1b1523a30cfcp-18L, 0xa.cbf026f560190dep-18L,
    0x8.d6ebce5be46429p-18L, 0xe.79723b916838caap-19L, 0xb.d9c3453f127f209p-19L,
    0x9.b3d5bacf34d2fe2p-19L, 0xf.e32f1b0c9c019fbp-20L, 0xd.01edba567ad82d3p-20L,
    0xa.a650a1e786922f8p-20L, 0x8.b81e2f4706e5a54p-20L, 0xe.4701d4c7c1164a9p-21L,
    0xb.b0777d82d63b989p-21L, 0x9.920649c3f9c7cb6p-21L, 0xf.abd2273bfbc94cap-22L,
    0xc.d499e558f3a3078p-22L, 0xa.813437e4a1c4635p-22L, 0x8.99bbe74a8f477dfp-22L,
    0xe.154131f40ff765ap-23L, 0xb.87bb9d5a47015b8p-23L, 0x9.70acaa6a89cf644p-23L,
    0xf.7536200877cf657p-24L, 0xc.a7e40455826bfep-24L, 0xa.5c99200f4264521p-24L,
    0x8.7bc38059d77d61ep-24L, 0xd.e42dee988161f68p-25L, 0xb.5f8daf4e310b17cp-25L,
    0x9.4fc742322b0ec69p-25L, 0xf.3f5865291eaf9c5p-26L, 0xc.7bc9f0e08b284f7p-26L,
    0xa.387d97c203c47d5p-26L, 0x8.5e33897fad87472p-26L, 0xd.b3c5ae8d9ca47aep-27L,
    0xb.37ebc4bad6c9f5dp-27L, 0x9.2f547c20d70b5adp-27L, 0xf.0a365f7bb6a708bp-28L,
    0xc.50498c0c7fce58cp-28L, 0xa.14dfe279e008254p-28L, 0x8.410a96cc9549a7ap-28L,
};

}  // namespace

Water::Water(Random& random)
    : cells_(kCellCount, Cell{0, 0}), normals_(kNormalCount, Normal{0, 0, 0}) {
  // Border ring included, row-major: the draw order fixes the surface.
  for (Cell& cell : cells_) {
    const Extended d = random.next(kHeightDrawRange);
    cell.height = to_single(round_x87(round_x87(round_x87(d / 100) - 5) * kTenth));
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
      const float laplacian =
          wave_laplacian(c[k].height, c[k + s].height, c[k + 1].height, c[k - s].height, c[k - 1].height);
      const float accel = wave_acceleration(laplacian, kWaveStiffness, kWaveDamping, c[k].velocity, step);
      c[k].velocity = wave_velocity(c[k].velocity, accel);
    }
  }
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      const int k = i * s + j;
      c[k].height = wave_height(c[k].velocity, step, c[k].height);
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
  const float sub_step = to_single(round_x87(Extended(clamped) / count));
  for (int i = 0; i < count; ++i) plain_step(sub_step);
}

void Water::build_normals() {
  constexpr int n = kSize;
  const Cell* c = cells_.data();
  const float up = to_single(Extended(kNormalHeightFactor) * kSpacing);
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

Extended drop_amount(int squared_distance) { return kDropAmounts[squared_distance]; }

DropSite nearest_drop_site(int row, int column) {
  return DropSite{std::clamp(row, kFirstDropCell, kLastDropCell), std::clamp(column, kFirstDropCell, kLastDropCell)};
}

DropSite drop_ripple(Water& water, Random& random) {
  const int range = kLastDropCell - kFirstDropCell + 1;
  const int row = static_cast<int>(random.next(range)) + kFirstDropCell;
  const int column = static_cast<int>(random.next(range)) + kFirstDropCell;
  drop_at(water, DropSite{row, column});
  return DropSite{row, column};
}

void drop_at(Water& water, DropSite site) {
  std::vector<Cell>& cells = water.cells();
  for (int dy = -kDropRadius; dy <= kDropRadius; ++dy) {
    for (int dx = -kDropRadius; dx <= kDropRadius; ++dx) {
      Cell& cell = cells[Water::index(site.row + dy, site.column + dx)];
      cell.height = to_single(round_x87(cell.height - drop_amount(dy * dy + dx * dx)));
    }
  }
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
