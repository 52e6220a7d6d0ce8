#pragma once

#include <cstdint>

namespace ovu {

// x87 control word for the whole run: all six exceptions masked, 64-bit
// significand, round to nearest. Divisions by zero and overflows then yield
// infinities instead of traps, and long double is truly extended.
inline constexpr std::uint16_t kFpuControlWord = 0x133F;

// Loads kFpuControlWord; does nothing where there is no x87.
void set_fpu_control();

// The current control word, or kFpuControlWord where there is no x87.
std::uint16_t fpu_control();

}  // namespace ovu
