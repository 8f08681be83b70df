// The subtract-key counters, the MurmurHash3 iteration, the hardware
// method's stubs, and the congruential generator modulo 2^31 - 1 against
// plain modular arithmetic, with its normal deviate and its RANUNI instance.
#include <gtest/gtest.h>

#include <cmath>

#include "random/engine_congruential.h"
#include "random/engine_subkey_mh3.h"
#include "random/hash_murmur3.h"
#include "random/method_descriptors.h"
#include "random_support.h"

namespace {

using rt::Method;

constexpr std::uint64_t kPrime = 2147483647;
constexpr std::uint64_t kMultiplier = 397204094;

using SmallEngines = RandomTest;

TEST_F(SmallEngines, SubtractKeyCountsDownByItsKey) {
  Method m(&zrnfSUBKEY32, 10);
  EXPECT_EQ(m.rng.zrng_key_32(m.area, 3), 2);
  for (std::uint32_t expected : {7u, 4u, 1u, 0xFFFFFFFEu}) EXPECT_EQ(m.u32(), expected);
  // Seeding sets the counter only; the key stays.
  m.rng.zrng_seed_32(m.area, 100);
  EXPECT_EQ(m.u32(), 97u);

  Method wide(&zrnfSUBKEY64, 5);
  EXPECT_EQ(wide.rng.zrng_key_64(wide.area, 1), 2);
  for (std::uint64_t expected : {4ull, 3ull, 2ull}) EXPECT_EQ(wide.u64(), expected);
  Method top(&zrnfSUBKEY64, 1);
  top.rng.zrng_key_64(top.area, 2);  // the next word is 2^64 - 1
  EXPECT_LT(top.rng.zrng_double_64_closed_open(top.area), 1.0);
  top.rng.zrng_seed_64(top.area, 1);
  EXPECT_EQ(top.rng.zrng_double_64_closed_closed(top.area), 1.0);
  top.rng.zrng_seed_64(top.area, 1ull << 33);
  EXPECT_EQ(top.u32(), 1u);  // the high half of (2^33 - 2)
}

// A key-only stream shares its key word with the thread number; without
// either, the counter never moves and every draw is the seed.
TEST_F(SmallEngines, SubtractKeyStreamsTakeTheCombinedKeyWord) {
  auto q = rt::new_stream(1000, "SUBKEY32");
  EXPECT_EQ(q->Status, 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(q->rangen(q->Blob), 1000 * 0x1p-32);
  auto wide = rt::new_stream(1000, "SUBKEY64");
  ZRAND_S wide_child{};
  alignas(8) unsigned char wide_area[16] = {};
  wide_child.Blob = wide_area;
  zrand_clone(&wide_child, 2, wide.get());
  EXPECT_EQ(static_cast<SubkeyState<std::uint64_t>*>(wide_child.Blob)->key, 2ull << 43);
}

TEST_F(SmallEngines, HashIterationAppliesTheFinaliser) {
  for (std::uint64_t s : {1ull, 12345ull, ~0ull}) {
    Method m(&zrnfMH3, s);
    EXPECT_EQ(m.u64(), zmh3x64(s));
    EXPECT_EQ(m.u64(), zmh3x64(zmh3x64(s)));
    EXPECT_EQ(m.u32(), zmh3x64(zmh3x64(zmh3x64(s))) >> 32);
    EXPECT_EQ(m.rng.zrng_key_64(m.area, 9), 0);
  }
}

TEST_F(SmallEngines, HardwareMethodIsAStubThatNeverRuns) {
  ZRNG_S r{};
  zrnfRDRAND(&r, 0);
  EXPECT_EQ(r.zrng_state_size, 0u);
  EXPECT_EQ(r.zrng_blob_size(), 0u);
  unsigned char area[8] = {};
  EXPECT_EQ(r.zrng_seed_64(area, 5), 0);
  EXPECT_EQ(r.zrng_uint64(area), 0u);
  EXPECT_EQ(r.zrng_double_open(area), 0.0);
  // Every double form gives what its formula gives for a zero word.
  EXPECT_EQ(r.zrng_double_32_open_open(area), 0x1p-33);
  EXPECT_EQ(r.zrng_double_32_open_closed(area), 0x1p-32);
  EXPECT_EQ(r.zrng_double_53_open_open(area), 0x1p-53);
  EXPECT_EQ(r.zrng_double_53_open_closed(area), 0x1p-53);
  EXPECT_EQ(r.zrng_double_64_open_open(area), 0x1p-64);
  EXPECT_EQ(r.zrng_double_64_open_closed(area), 0x1p-64);
  EXPECT_EQ(r.zrng_double_64_closed_closed(area), 0.0);
  std::uint8_t state[4] = {1, 2, 3, 4};
  EXPECT_EQ(r.zrng_state(area, state, 4, 0), 0);
  r.zrng_dump_blob_32(area, 4);
  r.zrng_dump_blob_64(area, 4);
  EXPECT_EQ(log_text(), "");
  EXPECT_EQ(r.zrng_double_crude, nullptr);
}

TEST_F(SmallEngines, RanuniInstanceStepsTheCongruentialGenerator) {
  ZRNG_S r{};
  zrnfRANUNI(&r, 0);
  EXPECT_EQ(r.zrng_state_size, 0u);
  alignas(8) unsigned char area[8] = {};
  EXPECT_EQ(r.zrng_seed_32(area, 1), 2);
  EXPECT_EQ(r.zrng_uint32(area), 397204094u);
  long seed = 397204094;
  EXPECT_EQ(r.zrng_double_crude(area), zranuni(&seed));
  EXPECT_EQ(r.zrng_double_32_closed_open(area), zranuni(&seed) * 2147483647.0 * 0x1p-32);
  for (int i = 0; i < 1000; ++i) {
    const double u = r.zrng_double_open(area);
    ASSERT_TRUE(u > 0 && u <= 0.5);
  }
  EXPECT_EQ(r.zrng_state(area, area, 0, 0), 0);
  EXPECT_EQ(r.zrng_state(area, area, 4, 0), -1);
  EXPECT_EQ(r.zrng_key_32(area, 4), 0);
}

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
