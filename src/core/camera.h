#pragma once

#include <optional>

#include "core/water.h"

namespace ovu {

// The camera looks at the origin from kCameraDistance away, tilted down,
// through a perspective of kFieldOfView degrees from top to bottom.
inline constexpr float kCameraDistance = 160;
inline constexpr float kCameraTilt = 10;
inline constexpr double kFieldOfView = 50;

// The camera swings 30 degrees either way about the vertical axis, driven by
// the frame clock, so one full swing takes about 628 frames.
float sway_angle(float frame_clock);

// Where a drop falls for a point of the picture: the ray through it, seen
// through the camera at this sway in a drawable of width x height pixels,
// meets the water's rest plane (height 0) in some cell, moved to the
// nearest drop site. x and y are pixels from the top left corner, a pixel's
// centre at +0.5. None where the ray misses the drawn surface.
std::optional<DropSite> drop_site_under(float sway_degrees, int width, int height, double x, double y);

}  // namespace ovu
