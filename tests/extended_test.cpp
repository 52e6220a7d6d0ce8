#include "core/extended.h"
#include "core/wave_step.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace ovu {
namespace {

bool same(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); }

// The double route must give what x87 gives for every input: ties, double
// rounding in x87 itself, far-apart magnitudes, infinities and NaN, then
// singles of any sign over a wide range of magnitudes, some zero.
TEST(Extended, WaveFormulasEqualTheX87Evaluation) {
  if (!kExtendedIsX87) GTEST_SKIP() << "long double is not the x87 format here";
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  std::vector<std::array<float, 5>> rows = {
      {0.25f, -0x1p-24f, 0, 0, 0},          // 1 + 2^-24: a tie, to even
      {0.25f, -0x1p-24f, -0x1p-80f, 0, 0},  // just above the tie, but x87 rounds onto it first
      {1, 0x1p-100f, 0x1p-60f, -0x1p-30f, 0},  // far apart
      {0.1f, 0.2f, inf, 0.3f, 0}, {0.1f, nan, 0, 0, 0}, {3e38f, -3e38f, -3e38f, 0, 0}};
  std::mt19937 rng(7);
  while (rows.size() < 200000) {
    for (float& x : rows.emplace_back()) {
      const auto bits = static_cast<std::uint32_t>(rng());
      x = (bits & 0x80 ? -1.0f : 1.0f) * (bits % 16 ? std::ldexp(float(bits >> 8) / (1 << 24) + 0.5f, int(bits % 90) - 70) : 0);
    }
  }
  for (const auto& v : rows) {
    ASSERT_TRUE(same(wave_laplacian(v[0], v[1], v[2], v[3], v[4]), to_single(Extended(4) * v[0] - v[1] - v[2] - v[3] - v[4])))
        << "row " << &v - rows.data();
    ASSERT_TRUE(same(wave_acceleration(v[0], v[1], v[2], v[3], v[4]), to_single(-(Extended(v[0]) * v[1] + Extended(v[2]) * v[3]) * v[4])));
    ASSERT_TRUE(same(wave_velocity(v[0], v[1]), to_single(Extended(v[0]) + v[1])));
    ASSERT_TRUE(same(wave_height(v[0], v[1], v[2]), to_single(Extended(v[0]) * v[1] + v[2])));
  }
}

#if defined(__SIZEOF_FLOAT128__) && LDBL_MANT_DIG == 64
// binary128 as WebAssembly's long double, rounded by us and by the compiler's
// own conversion: ties both ways, a carry into the exponent, infinity, NaN, then any.
TEST(Extended, Binary128RoundsToX87AsTheConversionDoes) {
  const __float128 one = 1, half_ulp = one / (std::uint64_t{1} << 63) / 2;
  volatile int zero = 0;
  std::vector<__float128> rows = {one + half_ulp, one + 3 * half_ulp, 2 - half_ulp / 2, -(one / 3), one / 0x1p100, 0,
                                  one / zero, __builtin_nanq("")};
  std::mt19937_64 rng(11);
  while (rows.size() < 100000) {
    std::uint64_t w[2] = {rng(), (rng() & 0x8000FFFFFFFFFFFF) | ((std::uint64_t{16383} + rng() % 200 - 100) << 48)};
    std::memcpy(&rows.emplace_back(), w, sizeof w);
  }
  for (__float128 q : rows) {
    const long double expected = static_cast<long double>(q);
    std::uint64_t w[2];
    std::memcpy(w, &q, sizeof w);
    round_binary128_to_x87(w[1], w[0]);
    std::memcpy(&q, w, sizeof w);
    ASSERT_TRUE(static_cast<long double>(q) == expected || (std::isnan(expected) && std::isnan(static_cast<long double>(q))));
  }
}
#endif

}  // namespace
}  // namespace ovu
