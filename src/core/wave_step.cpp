#include "core/wave_step.h"

namespace ovu {

namespace wave_detail {

float wave_laplacian_x87(float h, float n0, float n1, float n2, float n3) {
  Extended sum = round_x87(Extended(4) * h - n0);
  sum = round_x87(sum - n1);
  sum = round_x87(sum - n2);
  return to_single(round_x87(sum - n3));
}

float wave_acceleration_x87(float laplacian, float stiffness, float damping, float velocity, float step) {
  const Extended force = round_x87(round_x87(Extended(laplacian) * stiffness) + round_x87(Extended(damping) * velocity));
  return to_single(round_x87(-force * step));
}

float wave_height_x87(float velocity, float step, float height) {
  return to_single(round_x87(round_x87(Extended(velocity) * step) + height));
}

}  // namespace wave_detail

}  // namespace ovu
