#pragma once

#include <cstdint>

#include "core/intro.h"

namespace ovu {

// The title overlay's GL calls for a fade and grid worked out beforehand.
void send_intro(std::uint32_t texture, const IntroFade& fade, const IntroGrid& grid);

}  // namespace ovu
