#pragma once

#include "core/water.h"

namespace ovu {

// World position of the one light; the ball floats relative to it.
inline constexpr float kLightPosition[4] = {0, 30, -70, 1};

// Normals from the current heights, then the lit, sphere-mapped strips and
// the unlit ball. Leaves lighting, normalisation and texture generation off.
void draw_water(Water& water);

// The same GL calls from the normals as they were last built; the frame-rate
// floor sends a frozen field with it.
void send_water(const Water& water);

}  // namespace ovu
