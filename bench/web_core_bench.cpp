// The core's per-frame work timed in a web page: the water step, the
// normals, a drop and the title's grid, as the page runs them; and the
// drawing of the bitmaps, which the page does before its first frame.
// bench/web.sh opens it in headless Chromium and reads the console.

#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/intro.h"
#include "core/random.h"
#include "core/water.h"
#include "pictures.h"

namespace {

using namespace ovu;

// Median over rounds of the mean microseconds of one call.
template <class Work>
double microseconds(Work work, int calls) {
  std::vector<double> rounds;
  for (int r = 0; r < 7; ++r) {
    const double start = emscripten_get_now();
    for (int i = 0; i < calls; ++i) work();
    rounds.push_back((emscripten_get_now() - start) * 1000 / calls);
  }
  std::nth_element(rounds.begin(), rounds.begin() + 3, rounds.end());
  return rounds[3];
}

}  // namespace

int main() {
  Random random;
  Water water(random);
  // A field that has lived: 300 frames of 16 ms with the drops of the run.
  for (int frame = 0; frame < 300; ++frame) {
    if (random.next(10) == 1) drop_ripple(water, random);
    water.update(1.6f);
  }
  Water scratch = water;
  // Enough calls per round for the page's coarse clock (0.1 ms steps).
  const double update = microseconds([&] { scratch.update(1.6f); }, 100);
  const double sub_stepped = microseconds([&] { scratch.update(50); }, 20);
  const double normals = microseconds([&] { water.build_normals(); }, 1000);
  Random drops;
  const double drop = microseconds([&] { drop_ripple(scratch, drops); }, 1000);
  static IntroGrid grid;
  float seconds = 6;
  const double title = microseconds([&] { intro_grid(seconds += 0.016f, 0.02f, grid); }, 100);
  std::printf("core: water update, Step 1.6: %.1f µs\n", update);
  std::printf("core: water update, Step 50 (9 sub-steps): %.1f µs\n", sub_stepped);
  std::printf("core: normals pass: %.1f µs\n", normals);
  std::printf("core: drop (15 x 15 cells): %.1f µs\n", drop);
  std::printf("core: title grid (1,800 vertices): %.1f µs\n", title);
  std::printf("core: our own work per frame after the title (drop / 10 + update + normals): %.1f µs\n",
              drop / 10 + update + normals);
  std::printf("core: our own work per frame with the title: %.1f µs\n", drop / 10 + update + normals + title);
  std::vector<double> drawings;
  for (int r = 0; r < 3; ++r) {
    const double start = emscripten_get_now();
    pictures::demo_bitmaps();
    drawings.push_back(emscripten_get_now() - start);
  }
  std::sort(drawings.begin(), drawings.end());
  std::printf("core: the three bitmaps drawn (before the first frame): %.0f ms\n", drawings[1]);
  std::printf("core: done\n");
}
