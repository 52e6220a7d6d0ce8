// Colour and noise helpers for the generated bitmaps. Only +, -, *, /, sqrt and floor are
// used (all exactly rounded in IEEE arithmetic), so the pictures come out byte-identical on
// every compiler, optimisation level and C library, not just on the machine that made them.
#pragma once

#include <cmath>
#include <cstdint>

namespace shading {

struct Rgb {
  double r, g, b;
};

inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator*(Rgb a, double k) { return {a.r * k, a.g * k, a.b * k}; }
inline Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }

inline double clamp01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }
inline double mix(double a, double b, double t) { return a + (b - a) * t; }
inline Rgb mix(Rgb a, Rgb b, double t) { return {mix(a.r, b.r, t), mix(a.g, b.g, t), mix(a.b, b.b, t)}; }

inline double smoothstep(double edge0, double edge1, double x) {
  const double t = clamp01((x - edge0) / (edge1 - edge0));
  return t * t * (3.0 - 2.0 * t);
}

// e^x for x <= 0 without libm: halve the argument ten times (exact), sum a short series,
// square back. Relative error under 1e-7 down to x = -20, far below one grey level.
inline double exp_neg(double x) {
  if (x < -60.0) return 0.0;
  const double y = x / 1024.0;
  double e = 1.0 + y * (1.0 + y * (0.5 + y * (1.0 / 6.0 + y * (1.0 / 24.0))));
  for (int i = 0; i < 10; ++i) e *= e;
  return e;
}

inline std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  std::uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

inline double hash01(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  return static_cast<double>(hash(x, y, seed) >> 8) / 16777216.0;
}

// Smoothly interpolated lattice noise in [0, 1).
inline double value_noise(double x, double y, std::uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  // Offset keeps the lattice indices positive for any coordinate the pictures use.
  const auto ix = static_cast<std::uint32_t>(static_cast<std::int64_t>(fx) + 4096);
  const auto iy = static_cast<std::uint32_t>(static_cast<std::int64_t>(fy) + 4096);
  const double tx = smoothstep(0.0, 1.0, x - fx), ty = smoothstep(0.0, 1.0, y - fy);
  const double bottom = mix(hash01(ix, iy, seed), hash01(ix + 1, iy, seed), tx);
  const double top = mix(hash01(ix, iy + 1, seed), hash01(ix + 1, iy + 1, seed), tx);
  return mix(bottom, top, ty);
}

inline double fractal_noise(double x, double y, std::uint32_t seed) {
  double sum = 0.0, weight = 0.5;
  for (int octave = 0; octave < 4; ++octave) {
    sum += weight * value_noise(x, y, seed + static_cast<std::uint32_t>(octave));
    x = x * 2.03 + 17.0;
    y = y * 2.03 + 31.0;
    weight *= 0.5;
  }
  return sum / 0.9375;
}

// Rounds a 0..1 channel to a byte after adding triangular dither of +-1 level, which hides
// the steps of slow gradients without visible grain.
inline std::uint8_t to_byte(double v, int x, int y, std::uint32_t channel_seed) {
  const auto ux = static_cast<std::uint32_t>(x), uy = static_cast<std::uint32_t>(y);
  const double dither = hash01(ux, uy, channel_seed) + hash01(ux, uy, channel_seed + 101u) - 1.0;
  const double level = std::floor(clamp01(v) * 255.0 + 0.5 + dither);
  return static_cast<std::uint8_t>(level < 0.0 ? 0.0 : (level > 255.0 ? 255.0 : level));
}

}  // namespace shading
