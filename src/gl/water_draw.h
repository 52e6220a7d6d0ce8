#pragma once

#include <cstdint>

#include "core/water.h"

namespace ovu {

// World position of the one light; the ball floats relative to it.
inline constexpr float kLightPosition[4] = {0, 30, -70, 1};

// The lit strips, sphere-mapped with the environment map, from the heights
// and the normals as they were last built, then the unlit ball. Leaves
// lighting, normalisation and texture generation off.
void send_water(const Water& water, std::uint32_t environment_texture);

}  // namespace ovu
