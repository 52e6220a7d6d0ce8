#include "core/camera.h"

#include <cmath>

#include "core/frame_loop.h"
#include "core/numeric.h"

namespace ovu {

namespace {
constexpr Extended kSwayDivisor = 10;
constexpr Extended kSwayDegrees = 30;

double radians(double degrees) { return degrees * static_cast<double>(kPi) / 180; }
}  // namespace

float sway_angle(float frame_clock) {
  return to_single(std::sin(Extended(frame_clock) / kSwayDivisor) * kSwayDegrees);
}

// Undoes the camera: the direction through the point in eye space, then the
// tilt and the sway turned back, from the eye's place in the world. Where
// the hit lies needs no more than double precision: it only picks a cell.
std::optional<DropSite> drop_site_under(float sway_degrees, int width, int height, double x, double y) {
  if (width <= 0) return std::nullopt;
  if (height <= 0) height = 1;  // as the projection takes it
  const double half_height = std::tan(radians(kFieldOfView) / 2);
  const double eye_x = (2 * x / width - 1) * half_height * width / height;
  const double eye_y = (1 - 2 * y / height) * half_height;
  const double tilt = radians(kCameraTilt), sway = radians(sway_degrees);
  // Turned back by the tilt (about x); the eye sits at +kCameraDistance on the eye-space z axis.
  const double dy = eye_y * std::cos(tilt) - std::sin(tilt);
  const double dz = -eye_y * std::sin(tilt) - std::cos(tilt);
  const double oy = kCameraDistance * std::sin(tilt), oz = kCameraDistance * std::cos(tilt);
  if (!(dy < 0)) return std::nullopt;  // at or above the horizon
  const double along = -oy / dy;
  // Where the ray meets the plane before the sway is undone, then turned back about y.
  const double px = eye_x * along, pz = oz + dz * along;
  const double wx = px * std::cos(sway) - pz * std::sin(sway);
  const double wz = px * std::sin(sway) + pz * std::cos(sway);
  // Cell j lies at x = (j - N/2) spacing, the drawn surface from cell 1 to N.
  const double half = Water::kSize / 2.0;
  const double column = wx / Water::kSpacing + half, row = wz / Water::kSpacing + half;
  if (!(column >= 1 && column <= Water::kSize && row >= 1 && row <= Water::kSize)) return std::nullopt;
  return nearest_drop_site(static_cast<int>(std::lround(row)), static_cast<int>(std::lround(column)));
}

}  // namespace ovu
