#include "core/extended.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "core/water.h"

namespace ovu {
namespace {

bool same(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Singles of any sign over a wide range of magnitudes, some zero.
float wide_single(std::mt19937& rng) {
  const auto bits = static_cast<std::uint32_t>(rng());
  if (bits % 16 == 0) return 0;
  return std::ldexp(static_cast<float>(bits >> 8) / (1 << 24) + 0.5f, static_cast<int>(bits % 90) - 70) *
         (bits & 0x80 ? -1.0f : 1.0f);
}

// The double route must give what x87 gives for every input: ties, double
// rounding in x87 itself, far-apart magnitudes, infinities and NaN.
TEST(Extended, WaveFormulasEqualTheX87Evaluation) {
  if (!kExtendedIsX87) GTEST_SKIP() << "long double is not the x87 format here";
  auto laplacian = [](float h, float a, float b, float c, float d) {
    return to_single(Extended(4) * h - a - b - c - d);
  };
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const float rows[][5] = {
      {0.25f, -0x1p-24f, 0, 0, 0},                 // 1 + 2^-24: a tie, to even
      {0.25f, -0x1p-24f, -0x1p-80f, 0, 0},         // just above the tie, but x87 rounds onto it first
      {1, 0x1p-100f, 0x1p-60f, -0x1p-30f, 0},      // far apart
      {0.1f, 0.2f, inf, 0.3f, 0}, {0.1f, nan, 0, 0, 0}, {3e38f, -3e38f, -3e38f, 0, 0},
  };
  for (const auto& r : rows) {
    const float expected = laplacian(r[0], r[1], r[2], r[3], r[4]);
    const float got = wave_laplacian(r[0], r[1], r[2], r[3], r[4]);
    EXPECT_TRUE(same(got, expected) || (std::isnan(expected) && std::isnan(got))) << r[0] << " " << r[1] << " " << r[2];
  }
  std::mt19937 rng(7);
  for (int i = 0; i < 200000; ++i) {
    float v[5];
    for (float& x : v) x = wide_single(rng);
    ASSERT_TRUE(same(wave_laplacian(v[0], v[1], v[2], v[3], v[4]), laplacian(v[0], v[1], v[2], v[3], v[4])));
    ASSERT_TRUE(same(wave_acceleration(v[0], v[1], v[2], v[3], v[4]),
                     to_single(-(Extended(v[0]) * v[1] + Extended(v[2]) * v[3]) * v[4])));
    ASSERT_TRUE(same(wave_velocity(v[0], v[1]), to_single(Extended(v[0]) + v[1])));
    ASSERT_TRUE(same(wave_height(v[0], v[1], v[2]), to_single(Extended(v[0]) * v[1] + v[2])));
  }
}

TEST(Extended, DropAmountsAreTheX87Exponentials) {
  if (!kExtendedIsX87) GTEST_SKIP() << "long double is not the x87 format here";
  for (int k = 0; k <= 98; ++k) {
    const Extended x87 = 10 * std::exp(Extended(-k) / 5);
#if defined(__GLIBC__)
    EXPECT_EQ(drop_amount(k), x87) << k;  // the desktop's own expl, to the last bit
#else
    EXPECT_LE(std::fabs(drop_amount(k) - x87), std::ldexp(x87, -61)) << k;  // another expl: a few last bits off
#endif
  }
}

#if defined(__SIZEOF_FLOAT128__) && LDBL_MANT_DIG == 64
// binary128 as WebAssembly's long double, rounded by us and by the compiler's
// own conversion to the x87 format.
TEST(Extended, Binary128RoundsToX87AsTheConversionDoes) {
  auto ours = [](__float128 q) {
    std::uint64_t w[2];
    std::memcpy(w, &q, sizeof w);
    round_binary128_to_x87(w[1], w[0]);
    std::memcpy(&q, w, sizeof w);
    return static_cast<long double>(q);  // exact now
  };
  const __float128 one = 1;
  const __float128 rows[] = {
      one + one / (std::uint64_t{1} << 63) / 2,           // tie, even: down
      one + 3 * (one / (std::uint64_t{1} << 63) / 2),      // tie, odd: up
      2 - one / (std::uint64_t{1} << 63) / 4,              // carries into the exponent
      -(one / 3), one / 0x1p100, 0};
  for (const __float128 q : rows) EXPECT_EQ(ours(q), static_cast<long double>(q));
  volatile int zero = 0;
  EXPECT_TRUE(std::isinf(ours(one / zero)));
  EXPECT_TRUE(std::isnan(ours(__builtin_nanq(""))));
  std::mt19937_64 rng(11);
  for (int i = 0; i < 100000; ++i) {
    std::uint64_t w[2] = {rng(), (rng() & 0x8000FFFFFFFFFFFF) | ((std::uint64_t{16383} + rng() % 200 - 100) << 48)};
    __float128 q;
    std::memcpy(&q, w, sizeof q);
    ASSERT_EQ(ours(q), static_cast<long double>(q));
  }
}
#endif

}  // namespace
}  // namespace ovu
