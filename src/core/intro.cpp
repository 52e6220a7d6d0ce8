#include "core/intro.h"

#include <cmath>

#include "core/numeric.h"

namespace ovu {

namespace {

constexpr float kFadeInEnd = 2.0f;
constexpr float kDissolveStart = 5.0f;
constexpr float kDissolveLength = 5.0f;
constexpr Extended kMaxWobble = 0.04L;  // just over 20 texels of the 512-texel image

// The phase depends on column OR row only, so a grid has 32 distinct phases
// (columns 0..30, rows 0..29); their sines are worked out once per frame.
constexpr int kPhaseCount = 32;

struct Swing {
  Extended sin, cos;
};

// Where long double is not the x87 format no sine matches the desktop's to
// the last bit anyway, and binary128's runs in software: there double's
// serves, which rounds to the same singles unless within a hair of a tie.
Swing swing(int phase_index, float seconds) {
  const Extended phase = Extended(phase_index) + seconds;
  if (kExtendedIsX87) return {std::sin(phase), std::cos(phase)};
  return {std::sin(static_cast<double>(phase)), std::cos(static_cast<double>(phase))};
}

}  // namespace

IntroFade intro_fade(float seconds) {
  if (seconds < kFadeInEnd) return {to_single(Extended(seconds) / 2), 0.0f};
  if (seconds < kDissolveStart) return {1.0f, 0.0f};
  const float f = to_single((Extended(seconds) - kDissolveStart) / kDissolveLength);
  return {to_single(1 - Extended(f)), to_single(kMaxWobble * f)};
}

void intro_grid(float seconds, float wobble, IntroGrid& grid) {
  // Each vertex is (column / 30 + W sin, row / 30 + W cos) at its phase
  // (column | row) + seconds; the terms are worked out once per column, row
  // and phase.
  Extended across[kIntroGrid + 1], up[kIntroGrid], shift_s[kPhaseCount], shift_t[kPhaseCount];
  float x[kIntroGrid + 1], y[kIntroGrid];
  for (int column = 0; column <= kIntroGrid; ++column) {
    across[column] = Extended(column) / kIntroGrid;
    x[column] = to_single(across[column] - 0.5L);
  }
  for (int row = 0; row < kIntroGrid; ++row) {
    up[row] = Extended(row) / kIntroGrid;
    y[row] = to_single(up[row] - 0.5L);
  }
  for (int p = 0; p < kPhaseCount; ++p) {
    const Swing sw = swing(p, seconds);
    shift_s[p] = wobble * sw.sin;
    shift_t[p] = wobble * sw.cos;
  }
  for (int i = 0; i < kIntroGrid; ++i) {
    for (int row = 0; row < kIntroGrid; ++row) {
      for (int k = 0; k < 2; ++k) {
        const int column = i + k, phase = column | row;
        grid[i][2 * row + k] = IntroVertex{to_single(across[column] + shift_s[phase]),
                                           to_single(up[row] + shift_t[phase]), x[column], y[row]};
      }
    }
  }
}

void intro_frame(float seconds, IntroFrame& frame) {
  frame.visible = intro_visible(seconds);
  if (!frame.visible) return;
  frame.fade = intro_fade(seconds);
  intro_grid(seconds, frame.fade.wobble, frame.grid);
}

}  // namespace ovu
