#pragma once

#include <array>

namespace ovu {

// The title overlay of the first ten seconds: fade in until 2 s, hold until
// 5 s, then fade out while its texture coordinates wobble, gone from 10 s.
inline constexpr float kIntroEnd = 10.0f;
inline constexpr int kIntroGrid = 30;

struct IntroFade {
  float alpha;
  float wobble;
};

inline bool intro_visible(float seconds) { return !(seconds >= kIntroEnd); }

IntroFade intro_fade(float seconds);

struct IntroVertex {
  float s, t;  // texture coordinate
  float x, y;  // position before the overlay's scale by 2
};

// Strip i holds columns i and i + 1 for rows 0 .. 29: 60 vertices, in the
// order they are sent.
using IntroStrip = std::array<IntroVertex, 2 * kIntroGrid>;
using IntroGrid = std::array<IntroStrip, kIntroGrid>;

void intro_grid(float seconds, float wobble, IntroGrid& grid);

// The title as one frame shows it. 1,800 vertices: the caller keeps it off
// the stack and fills it once a frame.
struct IntroFrame {
  bool visible = false;
  IntroFade fade{};
  IntroGrid grid{};
};

// Fade and grid at this moment. From kIntroEnd on it is not visible, and
// the rest is left as it was.
void intro_frame(float seconds, IntroFrame& frame);

}  // namespace ovu
