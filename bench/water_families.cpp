// Runs the water through many sequences of frame times and prints, per
// family, the largest |height| and |velocity| seen in any frame and whether
// every value stayed finite. Each sequence is 5,000 frames of the real frame
// loop (virtual clock, single-precision seconds, drops), as `--fixed-step`
// drives the program. The whole set takes about an hour and a half of one
// core; name families to run a part, e.g. `water_families steady=1-700` and
// `water_families alternation steady=701-1000` side by side, or a sample of
// the steady lengths, e.g. every tenth: `steady=1-1000/10`.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/frame_loop.h"
#include "core/random.h"
#include "core/water.h"

namespace {

using ovu::Cell;
using ovu::FrameLoop;
using ovu::Random;
using ovu::Water;

constexpr int kFrames = 5000;
constexpr float kHeightBound = 40;

struct Outcome {
  float height = 0, velocity = 0;
  int broke_at = 0;  // the first frame with a non-finite value; 0: none
};

// Frame n (from 1) lasts frame_ms(n) milliseconds.
Outcome run(const std::function<std::uint32_t(int)>& frame_ms) {
  Random random;
  Water water(random);
  FrameLoop loop(water, random);
  Outcome outcome;
  std::uint32_t ticks = 0;
  loop.start(ticks);
  for (int n = 1; n <= kFrames; ++n) {
    ticks += frame_ms(n);
    loop.tick(ticks);
    loop.drop();
    loop.step();
    for (const Cell& c : water.cells()) {
      if (!std::isfinite(c.height) || !std::isfinite(c.velocity)) {
        outcome.broke_at = n;
        return outcome;
      }
      outcome.height = std::max(outcome.height, std::fabs(c.height));
      outcome.velocity = std::max(outcome.velocity, std::fabs(c.velocity));
    }
  }
  return outcome;
}

Outcome run_cycle(const std::vector<std::uint32_t>& cycle) {
  return run([&](int n) { return cycle[static_cast<std::size_t>(n - 1) % cycle.size()]; });
}

Outcome run_uniform(std::uint32_t low, std::uint32_t high) {
  std::mt19937 engine(low * 1000 + high);
  std::uniform_int_distribution<std::uint32_t> ms(low, high);
  return run([&](int) { return ms(engine); });
}

// One row: the worst of its sequences.
struct Row {
  explicit Row(std::string name) : family(std::move(name)) {}
  std::string family;
  int sequences = 0;
  std::string worst;
  Outcome outcome;

  void take(const std::string& name, const Outcome& o) {
    ++sequences;
    const bool worse = o.broke_at != 0 ? outcome.broke_at == 0 || o.broke_at < outcome.broke_at
                                       : outcome.broke_at == 0 && o.height > outcome.height;
    if (worse || sequences == 1) worst = name;
    if (o.broke_at != 0 && (outcome.broke_at == 0 || o.broke_at < outcome.broke_at)) outcome.broke_at = o.broke_at;
    outcome.height = std::max(outcome.height, o.height);
    outcome.velocity = std::max(outcome.velocity, o.velocity);
  }
  void print() const {
    const bool finite = outcome.broke_at == 0;
    std::printf("| %s | %d | %s | %.3f | %.3f | %s | %s |\n", family.c_str(), sequences, worst.c_str(),
                outcome.height, outcome.velocity, finite ? "yes" : ("no, frame " + std::to_string(outcome.broke_at)).c_str(),
                finite && outcome.height <= kHeightBound ? "yes" : "no");
    std::fflush(stdout);
  }
};

std::string ms_list(const std::vector<std::uint32_t>& cycle) {
  std::string text;
  for (std::uint32_t ms : cycle) text += (text.empty() ? "" : ",") + std::to_string(ms);
  return text;
}

// A row per 100 ms of frame length, so a long run shows its progress; every
// `stride`-th length from `first` on.
void steady(int first, int last, int stride) {
  for (int from = first; from <= last;) {
    const int to = std::min(last, (from - 1) / 100 * 100 + 100);
    Row row{"steady " + std::to_string(from) + ".." + std::to_string(to) + " ms" +
            (stride > 1 ? ", every " + std::to_string(stride) + " ms" : "")};
    for (; from <= to; from += stride) row.take(std::to_string(from) + " ms", run_cycle({std::uint32_t(from)}));
    row.print();
  }
}

void jitter() {
  for (std::uint32_t ms : {16u, 25u, 30u, 40u, 60u, 100u}) {
    const auto low = static_cast<std::uint32_t>(std::ceil(ms * 0.9)), high = static_cast<std::uint32_t>(ms * 1.1);
    Row row{"jitter " + std::to_string(ms) + " ms +-10%"};
    row.take(std::to_string(low) + ".." + std::to_string(high) + " ms", run_uniform(low, high));
    row.print();
  }
}

void uniform() {
  const std::pair<std::uint32_t, std::uint32_t> ranges[] = {{1, 30},  {5, 35},   {10, 60}, {30, 90},
                                                            {1, 200}, {50, 300}, {1, 1000}};
  for (const auto& [low, high] : ranges) {
    Row row{"random " + std::to_string(low) + ".." + std::to_string(high) + " ms"};
    row.take("uniform", run_uniform(low, high));
    row.print();
  }
}

void alternation() {
  const std::vector<std::uint32_t> set = {7, 8, 10, 16, 17, 20, 25, 30, 33, 40, 50, 60, 67, 70, 100, 250, 1000};
  Row row{"alternation of two of {7..1000} ms"};
  for (std::size_t i = 0; i < set.size(); ++i)
    for (std::size_t j = i + 1; j < set.size(); ++j) row.take(ms_list({set[i], set[j]}), run_cycle({set[i], set[j]}));
  row.print();
}

// Beyond the task's families: bursts of long frames between runs of short
// ones, the pattern that mixes step sizes in step with the finest ripple.
void burst() {
  const std::vector<std::vector<std::uint32_t>> cycles = {
      {20, 20, 20, 7, 7, 7, 7, 7, 7, 7},
      {40, 40, 40, 21, 21, 21, 21, 21},
      {16, 16, 16, 33, 33, 33, 33},
      {16, 16, 16, 16, 16, 16, 16, 16, 16, 50},
  };
  for (const auto& cycle : cycles) {
    Row row{"burst " + ms_list(cycle)};
    row.take("cycled", run_cycle(cycle));
    row.print();
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> families(argv + 1, argv + argc);
  if (families.empty()) families = {"steady", "jitter", "random", "alternation", "burst"};
  std::printf("%d frames per sequence; bound |height| <= %.0f\n\n", kFrames, kHeightBound);
  std::printf("| family | sequences | worst | max abs height | max abs velocity | finite | within bound |\n");
  std::printf("| --- | ---: | --- | ---: | ---: | --- | --- |\n");
  for (const std::string& family : families) {
    int first = 0, last = 0, stride = 1;
    if (family == "steady") {
      steady(1, 1000, 1);
    } else if (std::sscanf(family.c_str(), "steady=%d-%d/%d", &first, &last, &stride) >= 2 && first >= 1 &&
               last >= first && stride >= 1) {
      steady(first, last, stride);
    } else if (family == "jitter") {
      jitter();
    } else if (family == "random") {
      uniform();
    } else if (family == "alternation") {
      alternation();
    } else if (family == "burst") {
      burst();
    } else {
      std::fprintf(stderr, "water_families: unknown family '%s' (steady, steady=A-B[/S], jitter, random, alternation, burst)\n",
                   family.c_str());
      return 64;
    }
  }
  return 0;
}
