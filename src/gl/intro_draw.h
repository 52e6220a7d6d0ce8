#pragma once

#include <cstdint>

#include "core/intro.h"

namespace ovu {

// The title overlay for this moment; from ten seconds on it makes no GL
// call at all.
void draw_intro(std::uint32_t texture, float seconds);

// The overlay's GL calls for a fade and grid worked out beforehand.
void send_intro(std::uint32_t texture, const IntroFade& fade, const IntroGrid& grid);

}  // namespace ovu
