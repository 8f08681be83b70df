// The congruential generator modulo 2^31 - 1 against plain modular
// arithmetic, and the normal deviate drawn from it.
#include "random/zranuni.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr std::uint64_t kPrime = 2147483647;
constexpr std::uint64_t kMultiplier = 397204094;

TEST(Congruential, StepsAreTheProductModuloThePrime) {
  long seed = 1;
  EXPECT_EQ(zranuni(&seed), 397204094 / 2147483647.0);
  EXPECT_EQ(seed, 397204094);
  seed = 2147483646;
  zranuni(&seed);
  EXPECT_EQ(seed, 2147483647 - 397204094);
  std::uint64_t reference = 123;
  seed = 123;
  for (int i = 0; i < 200000; ++i) {
    reference = reference * kMultiplier % kPrime;
    const double u = zranuni(&seed);
    ASSERT_EQ(static_cast<std::uint64_t>(seed), reference) << i;
    ASSERT_EQ(u, static_cast<double>(reference) / 2147483647.0);
  }
  // Only the low 32 bits of a seed count; 0 stays 0.
  long big = (7L << 32) + 5, small = 5;
  EXPECT_EQ(zranuni(&big), zranuni(&small));
  seed = 0;
  EXPECT_EQ(zranuni(&seed), 0.0);
  EXPECT_EQ(seed, 0);
  // A seed above the prime but below 2^32 is reduced too.
  seed = 4294967295L;
  zranuni(&seed);
  EXPECT_EQ(static_cast<std::uint64_t>(seed), 4294967295ull % kPrime * kMultiplier % kPrime);
}

TEST(Congruential, NormalDeviateIsTheBoxMullerCosineOfTwoSteps) {
  long seed = 123;
  std::uint64_t s = 123;
  for (int i = 0; i < 1000; ++i) {
    s = s * kMultiplier % kPrime;
    const double u1 = static_cast<double>(s) / 2147483647.0;
    s = s * kMultiplier % kPrime;
    const double u2 = static_cast<double>(s) / 2147483647.0;
    ASSERT_EQ(zrannor(&seed), std::sqrt(-2 * std::log(u1)) * std::cos(2 * M_PI * u2));
  }
  EXPECT_EQ(static_cast<std::uint64_t>(seed), s);
}

}  // namespace
