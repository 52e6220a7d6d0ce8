#pragma once

// The damped wave step of one cell, as the desktop's x87 evaluation gives
// it. The formulas go faster in double where double provably yields the same
// single, and fall back to the exact extended route otherwise.

#include <cfloat>
#include <cstdint>
#include <cstring>

#include "core/extended.h"

namespace ovu {

// The water's constants: how strongly a cell follows its neighbours, and how
// much of its velocity it loses per hundredth of a second.
inline constexpr float kWaveStiffness = 0.01f;
inline constexpr float kWaveDamping = 0.01f;

// One cell of the damped wave step, each value as the x87 evaluation of its
// formula rounded once to single:
//   laplacian  4 h - next row - next column - previous row - previous column
//   acceleration  -(laplacian stiffness + damping velocity) step
//   velocity  velocity + acceleration
//   height  velocity step + height
float wave_laplacian(float h, float next_row, float next_column, float previous_row, float previous_column);
float wave_acceleration(float laplacian, float stiffness, float damping, float velocity, float step);
float wave_velocity(float velocity, float acceleration);
float wave_height(float velocity, float step, float height);

namespace wave_detail {

// Double gives the x87 result when every operation but the last is exact,
// and the last one is exact too or its double result does not lie exactly
// halfway between two singles: only then could rounding it once more go the
// other way. Anything else, or a value outside the normal single range,
// takes the exact route.
#if FLT_EVAL_METHOD == 0
inline constexpr bool kDoubleIsDouble = true;
#else
inline constexpr bool kDoubleIsDouble = false;  // x87 "doubles": no fast route
#endif

// a - b in double, and whether that was exact: Knuth's two-sum error is 0.
inline bool exact_difference(double a, double b, double& difference) {
  difference = a - b;
  const double b_virtual = a - difference;
  const double a_virtual = difference + b_virtual;
  return (a - a_virtual) + (b_virtual - b) == 0;
}

inline bool rounds_to_single_as_x87(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const unsigned exponent = static_cast<unsigned>(bits >> 52) & 0x7FF;
  if (exponent < 1023 - 126 || exponent > 1023 + 127) return value == 0;
  return (bits & 0x1FFFFFFF) != 0x10000000;  // the 29 bits below a single's last
}

float wave_laplacian_x87(float h, float n0, float n1, float n2, float n3);
float wave_acceleration_x87(float laplacian, float stiffness, float damping, float velocity, float step);
float wave_height_x87(float velocity, float step, float height);

}  // namespace wave_detail

inline float wave_laplacian(float h, float next_row, float next_column, float previous_row, float previous_column) {
  using namespace wave_detail;
  double t1, t2, t3, sum;
  if (kDoubleIsDouble && exact_difference(4.0 * h, next_row, t1) && exact_difference(t1, next_column, t2) &&
      exact_difference(t2, previous_row, t3)) {
    // Sums of singles are mostly exact, and an exact tie rounds alike everywhere.
    if (exact_difference(t3, previous_column, sum) || rounds_to_single_as_x87(sum)) return static_cast<float>(sum);
  }
  return wave_laplacian_x87(h, next_row, next_column, previous_row, previous_column);
}

inline float wave_acceleration(float laplacian, float stiffness, float damping, float velocity, float step) {
  using namespace wave_detail;
  double force;
  // Both products of singles are exact in double.
  if (kDoubleIsDouble &&
      exact_difference(double(laplacian) * stiffness, -(double(damping) * velocity), force)) {
    const double acceleration = -force * step;
    if (rounds_to_single_as_x87(acceleration)) return static_cast<float>(acceleration);
  }
  return wave_acceleration_x87(laplacian, stiffness, damping, velocity, step);
}

// A sum of two singles rounds the same from double as from x87, always:
// both carry more than twice a single's bits plus two.
inline float wave_velocity(float velocity, float acceleration) {
  if (wave_detail::kDoubleIsDouble) return static_cast<float>(double(velocity) + acceleration);
  return to_single(Extended(velocity) + acceleration);
}

inline float wave_height(float velocity, float step, float height) {
  using namespace wave_detail;
  if (kDoubleIsDouble) {
    const double sum = double(velocity) * step + height;
    if (rounds_to_single_as_x87(sum)) return static_cast<float>(sum);
  }
  return wave_height_x87(velocity, step, height);
}

}  // namespace ovu
