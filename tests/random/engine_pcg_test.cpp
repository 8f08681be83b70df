// The PCG methods against the published generators of the same kind
// (RXS M XS output over a settable-stream LCG): from equal state and
// increment the published sequence leads by one value, since it permutes
// the state before each step and these methods after it.
#include "random/engine_pcg.h"

#include <gtest/gtest.h>

#include <pcg_random.hpp>
#include <sstream>

#include "random/method_descriptors.h"
#include "random/status_codes.h"
#include "random_support.h"

namespace {

using rt::Method;

// The published engine with the given state and increment.
template <class Engine, class Word>
Engine published(Word state, Word inc) {
  Engine engine;
  std::stringstream printed;
  printed << engine;  // "multiplier increment state"
  Word multiplier;
  printed >> multiplier;
  std::stringstream text;
  text << multiplier << ' ' << inc << ' ' << state;
  text >> engine;
  EXPECT_FALSE(text.fail());
  return engine;
}

template <class Engine, class Word>
void expect_published_sequence_one_ahead(ZrngFill fill, Word seed, Word key) {
  Method ours(fill, seed);
  if (key) ours.rng.zrng_key_64(ours.area, key);
  const auto& s = ours.state<typename PcgTraits<Word>::State>();
  Engine reference = published<Engine>(s.state, s.inc);
  reference();
  for (int i = 0; i < 1000; ++i) {
    const Word expected = reference();
    if constexpr (sizeof(Word) == 4)
      ASSERT_EQ(ours.u32(), expected) << seed << ' ' << key << ' ' << i;
    else
      ASSERT_EQ(ours.u64(), expected) << seed << ' ' << key << ' ' << i;
  }
}

using Pcg = RandomTest;

TEST_F(Pcg, SequencesArePublishedOnesWithoutTheirFirstValue) {
  using E32 = pcg_engines::setseq_rxs_m_xs_32_32;
  using E64 = pcg_engines::setseq_rxs_m_xs_64_64;
  for (std::uint32_t seed : {1u, 42u, 0xFFFFFFFEu})
    for (std::uint32_t key : {0u, 5u, 0x7FFFFFFFu})
      expect_published_sequence_one_ahead<E32, std::uint32_t>(&zrnfPCG32I, seed, key);
  for (std::uint64_t seed : {1ull, 0x123456789ABCDEFull})
    for (std::uint64_t key : {0ull, 9ull, 0x7FFFFFFFFFFFFFFFull})
      expect_published_sequence_one_ahead<E64, std::uint64_t>(&zrnfPCG64I, seed, key);
}

TEST_F(Pcg, SeedAndKeySetStateAndIncrement) {
  Method m(&zrnfPCG32I, 1);
  const auto& s = m.state<pcg32i_random_t>();
  EXPECT_EQ(s.state, 2u);
  EXPECT_EQ(s.inc, 1u);
  EXPECT_EQ(m.rng.zrng_key_32(m.area, 5), 2);
  EXPECT_EQ(s.state, 12u);
  EXPECT_EQ(s.inc, 11u);
  // Seeded with 2^32 - 1 the state starts at 0.
  Method wrap(&zrnfPCG32I, 0xFFFFFFFFu);
  EXPECT_EQ(wrap.state<pcg32i_random_t>().state, 0u);
}

TEST_F(Pcg, KeysOneBitShortOfTheWordAndNoThreads) {
  Method a(&zrnfPCG32I, 7), b(&zrnfPCG32I, 7), d(&zrnfPCG32I, 7), plain(&zrnfPCG32I, 7);
  a.rng.zrng_key_32(a.area, 5);
  b.rng.zrng_key_32(b.area, 5u + 0x80000000u);
  EXPECT_EQ(d.rng.zrng_thread_32(d.area, 3), 0);
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(a.u32(), b.u32());
    ASSERT_EQ(d.u32(), plain.u32());
  }
}

// A stream folds its key and thread number into one key word.
TEST_F(Pcg, StreamKeysArriveCombinedWithTheThread) {
  auto parent = rt::new_stream(99, "PCG32I");
  EXPECT_EQ(parent->Status, 0);
  ZRAND_S child{};
  alignas(8) unsigned char area[16] = {};
  child.Blob = area;
  EXPECT_EQ(zrand_clone(&child, 3, parent.get()), 0);
  Method expected(&zrnfPCG32I, 99);
  expected.rng.zrng_key_32(expected.area, 3u << 21);
  for (int i = 0; i < 20; ++i)
    ASSERT_EQ(child.rangen(child.Blob), expected.rng.zrng_double_open(expected.area));
  EXPECT_EQ(zrand_clone(&child, 1024, parent.get()), zrand_status::kBadKey);
  EXPECT_EQ(zrand_clone(&child, 3, parent.get()), 0);  // a new clone has its own status
}

}  // namespace
