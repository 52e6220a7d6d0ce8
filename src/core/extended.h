#pragma once

// The desktop's extended-precision arithmetic wherever we run. On x86 every
// operation on `Extended` rounds to the x87 format's 64-bit significand.
// Where long double is IEEE binary128 instead (WebAssembly), round_x87()
// after each operation repeats that rounding: the operations of the water
// step, on operands that the x87 format holds, are exact in binary128, or
// so far from a tie that rounding twice cannot matter.

#include <cfloat>
#include <cstdint>
#include <cstring>

#include "core/numeric.h"

namespace ovu {

// binary128's 112-bit fraction, as two little-endian words, rounded to the
// x87 format's 63 bits, ties to even; a carry goes on into the exponent.
// NaN and infinity stay as they are.
void round_binary128_to_x87(std::uint64_t& high, std::uint64_t& low);

inline Extended round_x87(Extended value) {
#if LDBL_MANT_DIG == 113
  std::uint64_t words[2];
  std::memcpy(words, &value, sizeof words);
  round_binary128_to_x87(words[1], words[0]);
  std::memcpy(&value, words, sizeof words);
#endif
  return value;
}

}  // namespace ovu
