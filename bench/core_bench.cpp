#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/water.h"

namespace {

using ovu::Random;
using ovu::Water;

void BM_WaterUpdate(benchmark::State& state) {
  Random random;
  Water water(random);
  const float step = static_cast<float>(state.range(0)) / 10;
  for (auto _ : state) {
    water.update(step);
    benchmark::DoNotOptimize(water.cells().data());
  }
  state.SetItemsProcessed(state.iterations() * Water::kSize * Water::kSize);
}
BENCHMARK(BM_WaterUpdate)->Arg(16)->Arg(500);

void BM_Drop(benchmark::State& state) {
  Random random;
  Water water(random);
  for (auto _ : state) {
    ovu::drop_ripple(water, random);
    benchmark::DoNotOptimize(water.cells().data());
  }
}
BENCHMARK(BM_Drop);

void BM_Construction(benchmark::State& state) {
  for (auto _ : state) {
    Random random;
    Water water(random);
    benchmark::DoNotOptimize(water.cells().data());
  }
}
BENCHMARK(BM_Construction);

void BM_NormalsPass(benchmark::State& state) {
  Random random;
  Water water(random);
  for (auto _ : state) {
    water.build_normals();
    benchmark::DoNotOptimize(water.normals().data());
  }
}
BENCHMARK(BM_NormalsPass);

// The floor: one read and one write of every byte of the field.
void BM_FieldCopyFloor(benchmark::State& state) {
  std::vector<ovu::Cell> from(Water::kCellCount, ovu::Cell{1, 2}), to(Water::kCellCount);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), sizeof(ovu::Cell) * from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(sizeof(ovu::Cell) * from.size()));
}
BENCHMARK(BM_FieldCopyFloor);

}  // namespace

BENCHMARK_MAIN();
