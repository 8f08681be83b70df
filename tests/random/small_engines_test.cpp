// The subtract-key counters, the MurmurHash3 iteration, the hardware
// method's stubs and the RANUNI instance of the congruential generator.
#include <gtest/gtest.h>

#include "random/subkey_mh3.h"
#include "random/zmurmur.h"
#include "random/zranuni.h"
#include "random/zrng_methods.h"
#include "random_support.h"

namespace {

using rt::Method;

using SmallEngines = RandomTest;

TEST_F(SmallEngines, SubtractKeyCountsDownByItsKey) {
  Method m(&zrnfSUBKEY32, 10);
  EXPECT_EQ(m.rng.zrng_key_32(m.area, 3), 2);
  for (std::uint32_t expected : {7u, 4u, 1u, 0xFFFFFFFEu}) EXPECT_EQ(m.u32(), expected);
  Method pair(&zrnfSUBKEY32, 10);
  pair.rng.zrng_key_32(pair.area, 3);
  EXPECT_EQ(pair.u64(), (7ull << 32) | 4);
  // Seeding sets the counter only; the key stays.
  pair.rng.zrng_seed_32(pair.area, 100);
  EXPECT_EQ(pair.u32(), 97u);

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

TEST_F(SmallEngines, SubtractKeyLoadsItsCounter) {
  Method m(&zrnfSUBKEY32, 10);
  m.rng.zrng_key_32(m.area, 1);
  std::uint32_t counter = 500;
  EXPECT_EQ(m.rng.zrng_state(m.area, reinterpret_cast<std::uint8_t*>(&counter), 4, 0), 2);
  EXPECT_EQ(m.u32(), 499u);
}

// A key-only stream shares its key word with the thread number; without
// either, the counter never moves and every draw is the seed.
TEST_F(SmallEngines, SubtractKeyStreamsTakeTheCombinedKeyWord) {
  auto q = rt::new_stream(1000, "SUBKEY32");
  EXPECT_EQ(q->Status, 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(q->rangen(q->Blob), 1000 * 0x1p-32);
  ZRAND_S child{};
  alignas(8) unsigned char area[8] = {};
  child.Blob = area;
  zrand_clone(&child, 1, q.get());
  EXPECT_EQ(child.rangen(child.Blob), (1000u - (1u << 21)) * 0x1p-32);  // modulo 2^32
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
  EXPECT_EQ(r.zrng_key_32(area, 5), 0);
  EXPECT_EQ(r.zrng_state(area, area, 8, 0), 0);
  EXPECT_EQ(r.zrng_uint64(area), 0u);
  EXPECT_EQ(r.zrng_double_32_open_open(area), 0x1p-33);
  EXPECT_EQ(r.zrng_double_32_open_closed(area), 0x1p-32);
  EXPECT_EQ(r.zrng_double_53_open_closed(area), 0x1p-53);
  EXPECT_EQ(r.zrng_double_64_open_closed(area), 0x1p-64);
  EXPECT_EQ(r.zrng_double_open(area), 0.0);
  EXPECT_EQ(r.zrng_double_infinite(area), 0.0);
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

}  // namespace
