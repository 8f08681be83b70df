// The Mersenne Twister methods against the standard library's engines, the
// 1998 initialisation through a state loaded into the standard engine, and
// the hybrid method's equivalences.
#include "random/engine_mersenne_twister.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

#include "random/method_descriptors.h"
#include "random_support.h"

namespace {

using rt::Method;

// The standard engine with the given words and position, read from its
// text form.
std::mt19937 engine_with_state(const std::uint32_t* words, int position) {
  std::stringstream text;
  for (int i = 0; i < 624; ++i) text << words[i] << ' ';
  text << position;
  std::mt19937 engine;
  text >> engine;
  return engine;
}

using MersenneTwister = RandomTest;

TEST_F(MersenneTwister, ThirtyTwoBitMethodIsThePublished2002Generator) {
  Method mt(&zrnfMT32, 5489);
  std::uint32_t last = 0;
  for (int i = 0; i < 10000; ++i) last = mt.u32();
  EXPECT_EQ(last, 4123659995u);
  for (std::uint32_t seed : {1u, 42u, 8192u, 0xFFFFFFFFu, 123456789u}) {
    Method ours(&zrnfMT32, seed);
    std::mt19937 reference(seed);
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(ours.u32(), reference()) << seed << " draw " << i;
  }
}

TEST_F(MersenneTwister, SixtyFourBitMethodIsThePublishedGenerator) {
  Method mt(&zrnfMT64, 5489);
  std::uint64_t last = 0;
  for (int i = 0; i < 10000; ++i) last = mt.u64();
  EXPECT_EQ(last, 9981545732273789042ull);
  for (std::uint64_t seed : {1ull, 42ull, 0xFFFFFFFFFFFFFFFFull, 0x123456789ABCDEFull}) {
    Method ours(&zrnfMT64, seed);
    std::mt19937_64 reference(seed);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(ours.u64(), reference()) << seed << " draw " << i;
  }
  // Its 32-bit output is the top half of a whole 64-bit word.
  Method half(&zrnfMT64, 7);
  std::mt19937_64 reference(7);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(half.u32(), reference() >> 32);
}

TEST_F(MersenneTwister, The1998InitialisationFollowsItsRecurrence) {
  for (std::uint32_t seed : {1u, 4357u, 0xDEADBEEFu}) {
    std::uint32_t words[624];
    words[0] = seed;
    for (int i = 1; i < 624; ++i) words[i] = static_cast<std::uint32_t>(69069ull * words[i - 1]);
    std::mt19937 reference = engine_with_state(words, 624);
    Method ours(&zrnfMT1998, seed);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(ours.u32(), reference()) << seed << " draw " << i;
  }
}

TEST_F(MersenneTwister, LoadingAFullStateKeepsThePosition) {
  std::uint32_t words[624];
  std::mt19937 source(99);
  for (auto& w : words) w = source();
  Method ours(&zrnfMT32, 1);
  for (int i = 0; i < 5; ++i) ours.u32();
  EXPECT_EQ(ours.rng.zrng_state(ours.area, reinterpret_cast<std::uint8_t*>(words), 2496, 0), 2);
  std::mt19937 reference = engine_with_state(words, 5);
  for (int i = 0; i < 1500; ++i) ASSERT_EQ(ours.u32(), reference()) << i;
}

TEST_F(MersenneTwister, HybridMethodTakesThe1998InitialisationWhenLowBitsAreSet) {
  for (std::uint32_t seed : {8192u, 8193u, 1u, 0x40000000u, 0x12346000u, 0x12345FFFu}) {
    Method hybrid(&zrnfMTHYBRID, seed);
    Method expected((seed & 0x1FFF) ? &zrnfMT1998 : &zrnfMT32, seed);
    for (int i = 0; i < 700; ++i) ASSERT_EQ(hybrid.u32(), expected.u32()) << seed;
  }
  // A 64-bit seed is folded before the test: 2^32 + 8192 folds to 8193.
  Method folded(&zrnfMTHYBRID, 1);
  EXPECT_EQ(folded.rng.zrng_seed_64(folded.area, (1ull << 32) + 8192), 1);
  Method expected(&zrnfMT1998, 8193);
  for (int i = 0; i < 10; ++i) ASSERT_EQ(folded.u32(), expected.u32());
}

TEST_F(MersenneTwister, ThirtyTwoBitOutputSkipsZeroAndNeverHangs) {
  Method ours(&zrnfMT32, 1);
  MT32State& s = ours.state32();
  std::uint32_t words[624];
  std::memcpy(words, s.mt, sizeof words);
  words[0] = 0;  // tempers to 0
  std::memcpy(s.mt, words, sizeof words);
  s.p = 0;
  std::mt19937 reference = engine_with_state(words, 0);
  EXPECT_EQ(reference(), 0u);
  EXPECT_EQ(ours.u32(), reference());  // the zero is skipped
  // An all-zero state stays all zero: the draw gives 1 instead of looping.
  std::memset(ours.area, 0, sizeof ours.area);
  EXPECT_EQ(ours.u32(), 1u);
  EXPECT_GT(ours.rng.zrng_double_32_closed_open(ours.area), 0.0);
  EXPECT_EQ(ours.rng.zrng_double_crude(ours.area), 0x1p-32);
  EXPECT_EQ(ours.rng.zrng_blob_size(), zrng_MT32_size());
  EXPECT_EQ(zrng_MT32_size(), 2500u);
  Method wide(&zrnfMT64, 1);
  EXPECT_EQ(wide.rng.zrng_blob_size(), zrng_MT64_size());
  EXPECT_EQ(zrng_MT64_size(), 2504u);
}

TEST_F(MersenneTwister, WideOutputOfANarrowMethodTakesTwoWordsFirstHigh) {
  Method a(&zrnfMT32, 77), b(&zrnfMT32, 77);
  for (int i = 0; i < 50; ++i) {
    const std::uint64_t hi = b.u32();
    ASSERT_EQ(a.u64(), (hi << 32) | b.u32());
  }
}

TEST_F(MersenneTwister, KeysAndThreadsSelectReproducibleDistinctSequences) {
  auto first = [](ZrngFill fill, int key, int thread) {
    Method m(fill, 2024);
    if (thread) m.rng.zrng_thread_32(m.area, thread);
    if (key) m.rng.zrng_key_32(m.area, key);
    return std::vector<std::uint64_t>{m.u64(), m.u64(), m.u64()};
  };
  for (ZrngFill fill : {&zrnfMT32, &zrnfMT64}) {
    EXPECT_EQ(first(fill, 1, 0), first(fill, 1, 0));
    EXPECT_NE(first(fill, 1, 0), first(fill, 2, 0));
    EXPECT_NE(first(fill, 1, 0), first(fill, 0, 0));
    EXPECT_NE(first(fill, 5, 0), first(fill, 0, 5));  // key and thread differ by their tags
  }
}

}  // namespace
