#pragma once

#include <cstdint>

namespace ovu {

// The title overlay for this moment; from ten seconds on it makes no GL
// call at all.
void draw_intro(std::uint32_t texture, float seconds);

}  // namespace ovu
