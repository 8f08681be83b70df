// The Threefry methods: the block functions against the Random123 headers
// and their published known-answer blocks, then seeding, keys, thread
// numbers, the counter carry and positioning of the counter-based engines.
#include "random/engine_threefry.h"

#include <gtest/gtest.h>

#include <random>

#include "random/hash_murmur3.h"
#include "random/method_descriptors.h"
#include "random_support.h"

// After our own: the reference defines its 20-round forms as macros.
#include <Random123/threefry.h>

namespace {

using rt::Method;

template <class Ours, class Theirs, int W>
void expect_same_block(const Ours& ours, const Theirs& theirs) {
  for (int i = 0; i < W; ++i) ASSERT_EQ(ours.v[i], theirs.v[i]) << "word " << i;
}

// The reference blocks of 20 rounds.
threefry2x32_ctr_t reference2x32(threefry2x32_ctr_t in, threefry2x32_key_t k) {
  return threefry2x32_R(20, in, k);
}
threefry2x64_ctr_t reference2x64(threefry2x64_ctr_t in, threefry2x64_key_t k) {
  return threefry2x64_R(20, in, k);
}
threefry4x64_ctr_t reference4x64(threefry4x64_ctr_t in, threefry4x64_key_t k) {
  return threefry4x64_R(20, in, k);
}

using Threefry = RandomTest;

TEST_F(Threefry, BlockFunctionsGiveThePublishedKnownAnswers) {
  // 20 rounds with counter and key all zero, all ones, and the digits of pi.
  const auto a = (zrng_fry::threefry2x32)({{0, 0}}, {{0, 0}});
  EXPECT_EQ(a.v[0], 0x6b200159u);
  EXPECT_EQ(a.v[1], 0x99ba4efeu);
  const auto b =
      (zrng_fry::threefry2x32)({{0xffffffffu, 0xffffffffu}}, {{0xffffffffu, 0xffffffffu}});
  EXPECT_EQ(b.v[0], 0x1cb996fcu);
  EXPECT_EQ(b.v[1], 0xbb002be7u);
  const auto c =
      (zrng_fry::threefry2x32)({{0x243f6a88u, 0x85a308d3u}}, {{0x13198a2eu, 0x03707344u}});
  EXPECT_EQ(c.v[0], 0xc4923a9cu);
  EXPECT_EQ(c.v[1], 0x483df7a0u);
  const auto d = (zrng_fry::threefry2x64)({{0, 0}}, {{0, 0}});
  EXPECT_EQ(d.v[0], 0xc2b6e3a8c2c69865ull);
  EXPECT_EQ(d.v[1], 0x6f81ed42f350084dull);
  const auto e = (zrng_fry::threefry4x64)({{0, 0, 0, 0}}, {{0, 0, 0, 0}});
  EXPECT_EQ(e.v[0], 0x09218ebde6c85537ull);
  EXPECT_EQ(e.v[1], 0x55941f5266d86105ull);
  EXPECT_EQ(e.v[2], 0x4bd25e16282434dcull);
  EXPECT_EQ(e.v[3], 0xee29ec846bd2e40bull);
}

TEST_F(Threefry, BlockFunctionsMatchTheReferenceAtEveryRoundCount) {
  std::mt19937_64 words(123);
  for (int trial = 0; trial < 20; ++trial) {
    const std::uint64_t w[8] = {words(), words(), words(), words(),
                                words(), words(), words(), words()};
    const auto lo = [](std::uint64_t x) { return static_cast<std::uint32_t>(x); };
    for (unsigned rounds = 0; rounds <= 32; ++rounds) {
      expect_same_block<zrng_fry::r123array2x32, threefry2x32_ctr_t, 2>(
          zrng_fry::threefry2x32_R(rounds, {{lo(w[0]), lo(w[1])}}, {{lo(w[2]), lo(w[3])}}),
          threefry2x32_R(rounds, {{lo(w[0]), lo(w[1])}}, {{lo(w[2]), lo(w[3])}}));
      expect_same_block<zrng_fry::r123array2x64, threefry2x64_ctr_t, 2>(
          zrng_fry::threefry2x64_R(rounds, {{w[0], w[1]}}, {{w[2], w[3]}}),
          threefry2x64_R(rounds, {{w[0], w[1]}}, {{w[2], w[3]}}));
    }
    for (unsigned rounds = 0; rounds <= 72; ++rounds)
      expect_same_block<zrng_fry::r123array4x64, threefry4x64_ctr_t, 4>(
          zrng_fry::threefry4x64_R(rounds, {{w[0], w[1], w[2], w[3]}}, {{w[4], w[5], w[6], w[7]}}),
          threefry4x64_R(rounds, {{w[0], w[1], w[2], w[3]}}, {{w[4], w[5], w[6], w[7]}}));
  }
}

TEST_F(Threefry, SeedingMakesTheKeyAndStartsAtBlockOne) {
  Method two(&zrnfFRY2X32, 1);
  const threefry2x32_ctr_t first = reference2x32({{1, 0}}, {{1, zmh3x32(2)}});
  const threefry2x32_ctr_t second = reference2x32({{2, 0}}, {{1, zmh3x32(2)}});
  EXPECT_EQ(two.u32(), first.v[0]);
  EXPECT_EQ(two.u32(), first.v[1]);
  EXPECT_EQ(two.u32(), second.v[0]);

  Method four(&zrnfFRY4X64, 1);
  const threefry4x64_key_t key = {{1, zmh3x64(2), zmh3x64(3), zmh3x64(4)}};
  const threefry4x64_ctr_t block = reference4x64({{1, 0, 0, 0}}, key);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(four.u64(), block.v[i]);

  Method wide(&zrnfFRY2X64, 9);
  const threefry2x64_ctr_t w = reference2x64({{1, 0}}, {{9, zmh3x64(10)}});
  EXPECT_EQ(wide.u32(), w.v[0] >> 32);  // a whole word consumed for its top half
  EXPECT_EQ(wide.u64(), w.v[1]);
}

TEST_F(Threefry, KeysAndThreadsChangeOneWord) {
  Method two(&zrnfFRY2X32, 1);
  EXPECT_EQ(two.rng.zrng_thread_32(two.area, 3), 2);
  EXPECT_EQ(two.rng.zrng_key_32(two.area, 7), 2);
  const auto& s = two.state<Fry2x32State>();
  EXPECT_EQ(s.ctr[1], zmh3x32(3));
  EXPECT_EQ(s.key[1], zmh3x32(2) ^ zmh3x32(7));

  Method four(&zrnfFRY4X64, 1);
  EXPECT_EQ(four.rng.zrng_thread_64(four.area, 3), 2);
  const auto& f = four.state<Fry4x64State>();
  EXPECT_EQ(f.key[2], 0u);  // the thread's hash cancels the seeding's
  EXPECT_EQ(f.ctr[0], 1u);
  EXPECT_EQ(f.ctr[1] | f.ctr[2] | f.ctr[3], 0u);
  EXPECT_EQ(four.rng.zrng_thread_32(four.area, 0), 1);
  EXPECT_EQ(f.key[2], 0u);
}

TEST_F(Threefry, BlockNumberCarriesIntoTheHigherCounterWords) {
  Method two(&zrnfFRY2X32, 5);
  two.rng.zrng_thread_32(two.area, 4);
  auto& s = two.state<Fry2x32State>();
  s.ctr[0] = 0xFFFFFFFFu;
  const std::uint32_t thread_word = s.ctr[1];
  two.u32();
  two.u32();
  EXPECT_EQ(s.ctr[0], 0u);
  EXPECT_EQ(s.ctr[1], thread_word + 1);

  Method four(&zrnfFRY4X64, 5);
  auto& f = four.state<Fry4x64State>();
  f.ctr[0] = f.ctr[1] = ~0ull;
  for (int i = 0; i < 4; ++i) four.u64();
  EXPECT_EQ(f.ctr[0] | f.ctr[1], 0u);
  EXPECT_EQ(f.ctr[2], 1u);
}

// Count c is word c mod W of block c / W; a fresh stream starts at block 1.
TEST_F(Threefry, CountPositionsTheStreamAtAnyWord) {
  for (std::uint32_t c : {2u, 3u, 5u, 6u, 11u}) {
    Method fresh(&zrnfFRY2X32, 1), placed(&zrnfFRY2X32, 1);
    placed.rng.zrng_count_32(placed.area, c);
    for (std::uint32_t i = 2; i < c; ++i) fresh.u32();
    for (int i = 0; i < 5; ++i) ASSERT_EQ(placed.u32(), fresh.u32()) << c;
  }
  Method five(&zrnfFRY2X32, 1);
  five.rng.zrng_count_32(five.area, 5);
  EXPECT_EQ(five.state<Fry2x32State>().ctr[0], 2u);
  EXPECT_EQ(five.state<Fry2x32State>().which, 1u);
  for (const auto& [fill, words] : {std::pair{&zrnfFRY2X64, 2ull}, std::pair{&zrnfFRY4X64, 4ull}}) {
    for (std::uint64_t c : {4ull, 6ull, 9ull}) {
      Method fresh(fill, 1), placed(fill, 1);
      placed.rng.zrng_count_64(placed.area, c);
      for (std::uint64_t i = words; i < c; ++i) fresh.u64();
      for (int i = 0; i < 5; ++i) ASSERT_EQ(placed.u64(), fresh.u64()) << c;
    }
  }
  // The thread selector in the higher counter word stays in force.
  Method threaded(&zrnfFRY2X64, 3), moved(&zrnfFRY2X64, 3);
  threaded.rng.zrng_thread_64(threaded.area, 8);
  moved.rng.zrng_thread_64(moved.area, 8);
  moved.rng.zrng_count_64(moved.area, 4);
  for (int i = 0; i < 2; ++i) threaded.u64();
  EXPECT_EQ(moved.u64(), threaded.u64());
}

TEST_F(Threefry, LoadingAStateSetsTheCounterOnly) {
  Method m(&zrnfFRY4X64, 2), reference(&zrnfFRY4X64, 2);
  m.u64();  // words 1 to 3 of block 1 are still to come
  std::uint64_t ctr[4] = {7, 0, 0, 0};
  EXPECT_EQ(m.rng.zrng_state(m.area, reinterpret_cast<std::uint8_t*>(ctr), 32, 0), 2);
  reference.u64();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(m.u64(), reference.u64());
  reference.rng.zrng_count_64(reference.area, 32);  // the block after the loaded one
  EXPECT_EQ(m.u64(), reference.u64());
}

}  // namespace
