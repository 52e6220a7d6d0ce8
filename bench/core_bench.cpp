// The program's own per-frame and start-up work, each beside a floor: one
// plain read and write of the bytes the operation reads and writes, so the
// ratio says how far the arithmetic is from what memory alone would allow.
// bench/run.sh pairs every benchmark with its floor by the names below.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/bitmap.h"
#include "core/frame_loop.h"
#include "core/intro.h"
#include "core/water.h"
#include "core/y4m.h"

namespace {

using ovu::Cell;
using ovu::Random;
using ovu::Water;

// A field as the program has it a few seconds in, ripples and dents and all.
struct Running {
  Random random;
  Water water{random};
  Running() {
    for (int frame = 0; frame < 300; ++frame) {
      if (random.next(ovu::kDropChance) == 1) ovu::drop_ripple(water, random);
      water.update(1.6f);
    }
  }
};

// Taken back to the running state now and then: left alone for millions of
// steps the field would calm down into subnormal velocities and time the
// processor's slow path instead of the program's.
constexpr int kRestoreEvery = 100;

void BM_WaterUpdate(benchmark::State& state) {
  Running running;
  const std::vector<Cell> start = running.water.cells();
  const float step = static_cast<float>(state.range(0)) / 10;
  int since = 0;
  for (auto _ : state) {
    if (++since == kRestoreEvery) {
      std::copy(start.begin(), start.end(), running.water.cells().begin());
      since = 0;
    }
    running.water.update(step);
    benchmark::DoNotOptimize(running.water.cells().data());
  }
  state.SetItemsProcessed(state.iterations() * Water::kSize * Water::kSize);
}
BENCHMARK(BM_WaterUpdate)->Arg(16)->Arg(500);  // Step 1.6 (a 16 ms frame) and 50 (25 sub-steps)

void BM_Drop(benchmark::State& state) {
  Running running;
  const std::vector<Cell> start = running.water.cells();
  int since = 0;
  for (auto _ : state) {
    if (++since == kRestoreEvery) {
      std::copy(start.begin(), start.end(), running.water.cells().begin());
      since = 0;
    }
    ovu::drop_ripple(running.water, running.random);
    benchmark::DoNotOptimize(running.water.cells().data());
  }
}
BENCHMARK(BM_Drop);

void BM_NormalsPass(benchmark::State& state) {
  Running running;
  for (auto _ : state) {
    running.water.build_normals();
    benchmark::DoNotOptimize(running.water.normals().data());
  }
}
BENCHMARK(BM_NormalsPass);

void BM_IntroGrid(benchmark::State& state) {
  ovu::IntroGrid grid;
  float seconds = 7.5f;  // dissolving: alpha and wobble both in play
  for (auto _ : state) {
    const ovu::IntroFade fade = ovu::intro_fade(seconds);
    ovu::intro_grid(seconds, fade.wobble, grid);
    benchmark::DoNotOptimize(grid.data());
    benchmark::ClobberMemory();
    seconds = seconds < 9.9f ? seconds + 0.016f : 5.0f;
  }
}
BENCHMARK(BM_IntroGrid);

void BM_Construction(benchmark::State& state) {
  for (auto _ : state) {
    Random random;
    Water water(random);
    benchmark::DoNotOptimize(water.cells().data());
  }
}
BENCHMARK(BM_Construction);

void BM_BgrToRgb(benchmark::State& state) {
  std::vector<std::uint8_t> pixels(ovu::kColourDataBytes, 0x5A);
  for (auto _ : state) {
    ovu::bgr_to_rgb(pixels.data(), ovu::kBitmapPixels);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(pixels.size()));
}
BENCHMARK(BM_BgrToRgb);

void BM_AssembleRgba(benchmark::State& state) {
  const std::vector<std::uint8_t> bgr(ovu::kColourDataBytes, 0x5A), mask(ovu::kMaskDataBytes, 0xA5);
  std::vector<std::uint8_t> rgba(ovu::kRgbaBytes);
  for (auto _ : state) {
    ovu::assemble_rgba(bgr.data(), mask.data(), rgba.data(), ovu::kBitmapPixels);
    benchmark::DoNotOptimize(rgba.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(rgba.size()));
}
BENCHMARK(BM_AssembleRgba);

// A recorded frame: width, height, 0 for 4:4:4 or 1 for 4:2:0. The
// arithmetic has no branches on the colours, so any picture times the same.
void BM_RgbToYcbcr(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  const auto layout = state.range(2) == 0 ? ovu::ChromaLayout::Full : ovu::ChromaLayout::Half;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 7 + i / 4093);
  std::vector<std::uint8_t> planes(ovu::y4m_planes_size(width, height, layout));
  for (auto _ : state) {
    ovu::rgb_to_ycbcr(rgb.data(), width, height, layout, planes.data());
    benchmark::DoNotOptimize(planes.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(rgb.size() + planes.size()));
}
BENCHMARK(BM_RgbToYcbcr)->Args({640, 480, 0})->Args({1920, 1080, 0})->Args({1920, 1080, 1})->Unit(benchmark::kMicrosecond);

// Floors: read `in` bytes once and write `out` bytes once, nothing else.
void read_write_pass(const std::uint8_t* in, std::size_t in_bytes, std::uint8_t* out, std::size_t out_bytes) {
  for (std::size_t done = 0; done < out_bytes;) {
    const std::size_t n = std::min(in_bytes, out_bytes - done);
    std::memcpy(out + done, in, n);
    done += n;
  }
  // An input larger than the output is still read to its end.
  for (std::size_t at = out_bytes; at < in_bytes; at += out_bytes)
    std::memcpy(out, in + at, std::min(out_bytes, in_bytes - at));
}

void floor_of(benchmark::State& state, std::size_t in_bytes, std::size_t out_bytes, int passes = 1) {
  std::vector<std::uint8_t> in(in_bytes, 1), out(out_bytes);
  for (auto _ : state) {
    for (int p = 0; p < passes; ++p) {
      read_write_pass(in.data(), in.size(), out.data(), out.size());
      benchmark::DoNotOptimize(out.data());
      benchmark::ClobberMemory();
    }
  }
  state.SetBytesProcessed(state.iterations() * passes * static_cast<std::int64_t>(in_bytes + out_bytes));
}

constexpr std::size_t kFieldBytes = sizeof(Cell) * Water::kCellCount;

// The whole field, once per plain step; the update of Step 50 takes 25.
void BM_FloorField(benchmark::State& state) { floor_of(state, kFieldBytes, kFieldBytes, static_cast<int>(state.range(0))); }
BENCHMARK(BM_FloorField)->Arg(1)->Arg(25);

// The drop's 15 x 15 cells, row by row as the drop touches them.
void BM_FloorDrop(benchmark::State& state) {
  std::vector<Cell> cells(Water::kCellCount, Cell{1, 0});
  std::vector<Cell> square(15 * 15);
  for (auto _ : state) {
    for (int row = 0; row < 15; ++row)
      std::memcpy(&square[static_cast<std::size_t>(row) * 15], &cells[Water::index(40 + row, 40)], 15 * sizeof(Cell));
    benchmark::DoNotOptimize(square.data());
    for (int row = 0; row < 15; ++row)
      std::memcpy(&cells[Water::index(40 + row, 40)], &square[static_cast<std::size_t>(row) * 15], 15 * sizeof(Cell));
    benchmark::DoNotOptimize(cells.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FloorDrop);

void BM_FloorNormals(benchmark::State& state) {
  floor_of(state, kFieldBytes, sizeof(ovu::Normal) * Water::kNormalCount);
}
BENCHMARK(BM_FloorNormals);

void BM_FloorIntroGrid(benchmark::State& state) { floor_of(state, sizeof(ovu::IntroGrid), sizeof(ovu::IntroGrid)); }
BENCHMARK(BM_FloorIntroGrid);

void BM_FloorBgrToRgb(benchmark::State& state) { floor_of(state, ovu::kColourDataBytes, ovu::kColourDataBytes); }
BENCHMARK(BM_FloorBgrToRgb);

void BM_FloorAssembleRgba(benchmark::State& state) {
  floor_of(state, ovu::kColourDataBytes + ovu::kMaskDataBytes, ovu::kRgbaBytes);
}
BENCHMARK(BM_FloorAssembleRgba);

void BM_FloorRgbToYcbcr(benchmark::State& state) {
  const auto pixels = static_cast<std::size_t>(state.range(0) * state.range(1));
  floor_of(state, pixels * 3, state.range(2) == 0 ? pixels * 3 : pixels * 3 / 2);
}
BENCHMARK(BM_FloorRgbToYcbcr)->Args({640, 480, 0})->Args({1920, 1080, 0})->Args({1920, 1080, 1})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
