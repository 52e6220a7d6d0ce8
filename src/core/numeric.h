#pragma once

#include <limits>

namespace ovu {

// Formulas run in extended precision and are rounded to single where the
// result is stored; keeping both steps visible keeps the results bit-exact.
using Extended = long double;

// True where long double is the x87 80-bit format (64-bit significand). On
// other targets the same code runs in whatever long double is (often double).
inline constexpr bool kExtendedIsX87 = std::numeric_limits<Extended>::digits == 64;

inline float to_single(Extended value) { return static_cast<float>(value); }

}  // namespace ovu
