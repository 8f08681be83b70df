// The xorshift methods against the published recurrences (xorshift64*,
// xorshift128+, xorshift1024*, xorshift4096* and the 64-bit xorgens with
// 64 words), each started from the words the method's seeding writes.
#include "random/engine_xorshift.h"

#include <gtest/gtest.h>

#include "random/hash_murmur3.h"
#include "random/method_descriptors.h"
#include "random_support.h"

namespace {

using rt::Method;

// The published generators, as printed with them.
struct Xorshift64Star {
  std::uint64_t x;
  std::uint64_t next() {
    x ^= x >> 12;
    x ^= x << 25;
    x ^= x >> 27;
    return x * 2685821657736338717ull;
  }
};

struct Xorshift128Plus {
  std::uint64_t s[2];
  std::uint64_t next() {
    std::uint64_t s1 = s[0];
    const std::uint64_t s0 = s[1];
    s[0] = s0;
    s1 ^= s1 << 23;
    return (s[1] = (s1 ^ s0 ^ (s1 >> 17) ^ (s0 >> 26))) + s0;
  }
};

template <int N, int A, int B, int C, std::uint64_t M>
struct XorshiftStar {
  std::uint64_t s[N];
  int p = 0;
  std::uint64_t next() {
    const std::uint64_t s0 = s[p];
    std::uint64_t s1 = s[p = (p + 1) & (N - 1)];
    s1 ^= s1 << A;
    return (s[p] = s1 ^ s0 ^ (s1 >> B) ^ (s0 >> C)) * M;
  }
};
using Xorshift1024Star = XorshiftStar<16, 31, 11, 30, 1181783497276652981ull>;

// xorshift4096*: s1 ^= s1 << 25, s1 ^= s1 >> 3, s0 ^= s0 >> 49.
struct Xorshift4096Star {
  std::uint64_t s[64];
  int p = 0;
  std::uint64_t next() {
    std::uint64_t s0 = s[p];
    std::uint64_t s1 = s[p = (p + 1) & 63];
    s1 ^= s1 << 25;
    s1 ^= s1 >> 3;
    s0 ^= s0 >> 49;
    return (s[p] = s0 ^ s1) * 8372773778140471301ull;
  }
};

// The 64-bit xorgens with r = 64, s = 53, shifts 33, 26, 27, 29.
struct Xorgens {
  std::uint64_t x[64], w, v;
  int i;
  explicit Xorgens(std::uint64_t seed) {
    v = seed;
    for (int k = 64; k > 0; --k) v ^= v << 10, v ^= v >> 15, v ^= v << 4, v ^= v >> 13;
    w = v;
    for (int k = 0; k < 64; ++k) {
      v ^= v << 10, v ^= v >> 15, v ^= v << 4, v ^= v >> 13;
      x[k] = v + (w += 0x61c8864680b583ebull);
    }
    i = 63;
    for (int k = 0; k < 256; ++k) step();
  }
  std::uint64_t step() {
    std::uint64_t t = x[i = (i + 1) & 63];
    t ^= t << 33;
    t ^= t >> 26;
    std::uint64_t u = x[(i + 64 - 53) & 63];
    u ^= u << 27;
    u ^= u >> 29;
    return x[i] = t ^ u;
  }
  std::uint64_t next() {
    const std::uint64_t r = step();
    w += 0x61c8864680b583ebull;
    return r + (w ^ (w >> 27));
  }
};

template <class Reference>
void expect_sequence(Method& ours, Reference& reference, int n) {
  for (int i = 0; i < n; ++i) ASSERT_EQ(ours.u64(), reference.next()) << i;
}

using Xorshift = RandomTest;

TEST_F(Xorshift, WordMethodsFollowThePublishedRecurrences) {
  for (std::uint64_t seed : {1ull, 0xDEADBEEFCAFEull, ~0ull}) {
    Method x64(&zrnfXOR64, seed);
    Xorshift64Star r64{seed};
    expect_sequence(x64, r64, 5000);

    Method x1024(&zrnfXOR1024, seed);
    Xorshift1024Star r1024;
    for (int k = 0; k < 16; ++k) r1024.s[k] = k == 0 ? seed : zmh3x64(seed + k);
    expect_sequence(x1024, r1024, 5000);

    Method x4096(&zrnfXOR4096, seed);
    Xorshift4096Star r4096;
    for (int k = 0; k < 64; ++k) r4096.s[k] = k == 0 ? seed : zmh3x64(seed + k);
    expect_sequence(x4096, r4096, 5000);

    Method gens(&zrnfXORGENS, seed);
    Xorgens rgens(seed);
    expect_sequence(gens, rgens, 5000);
  }
}

TEST_F(Xorshift, Xor64StoresTheUnmultipliedWord) {
  Method m(&zrnfXOR64, 1);
  const std::uint64_t word = 1 ^ (1ull << 25);
  EXPECT_EQ(m.u64(), word * 0x2545F4914F6CDD1Dull);
  EXPECT_EQ(m.state<std::uint64_t>(), word);
}

// The second word keeps the output: only the first value is the published one.
TEST_F(Xorshift, Xor128SharesOnlyItsFirstValue) {
  Method m(&zrnfXOR128, 1);
  const auto& s = m.state<Xor128State>();
  EXPECT_EQ(s.s0, 1u);
  EXPECT_EQ(s.s1, zmh3x64(2));
  Xorshift128Plus reference{{1, zmh3x64(2)}};
  const std::uint64_t first = m.u64();
  EXPECT_EQ(first, reference.next());
  EXPECT_EQ(s.s1, first);
  const std::uint64_t second = m.u64();
  EXPECT_NE(second, reference.next());
  EXPECT_EQ(s.s1, second);
  EXPECT_EQ(m.rng.zrng_seed_64(nullptr, 5), 2);  // no blob: nothing written
}

TEST_F(Xorshift, KeysAndThreadsChangeNothing) {
  for (ZrngFill fill : {&zrnfXOR64, &zrnfXOR128, &zrnfXOR1024, &zrnfXOR4096, &zrnfXORGENS}) {
    Method keyed(fill, 11), plain(fill, 11);
    EXPECT_EQ(keyed.rng.zrng_key_64(keyed.area, 5), 0);
    EXPECT_EQ(keyed.rng.zrng_thread_64(keyed.area, 5), 0);
    for (int i = 0; i < 20; ++i) ASSERT_EQ(keyed.u64(), plain.u64());
  }
}

TEST_F(Xorshift, RecordsReportTheEnginesBlobSizesAndXorgensLoadsNoState) {
  const struct {
    ZrngFill fill;
    QXMemSize engine, expected;
  } sizes[] = {{&zrnfXOR64, zrng_XOR64_size(), 8},
               {&zrnfXOR128, zrng_XOR128_size(), 16},
               {&zrnfXOR1024, zrng_XOR1024_size(), 136},
               {&zrnfXOR4096, zrng_XOR4096_size(), 520},
               {&zrnfXORGENS, zrng_XORGENS_size(), 528}};
  for (const auto& c : sizes) {
    ZRNG_S r{};
    c.fill(&r, 0);
    EXPECT_EQ(c.engine, c.expected) << r.zrng_name;
    EXPECT_EQ(r.zrng_blob_size(), c.expected) << r.zrng_name;
  }
  Method gens(&zrnfXORGENS, 3), copy(&zrnfXORGENS, 3);
  std::uint8_t bytes[16] = {1, 2, 3};
  EXPECT_EQ(gens.rng.zrng_state(gens.area, bytes, 16, 0), -1);
  EXPECT_EQ(gens.rng.zrng_state(gens.area, bytes, 0, 0), 0);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(gens.u64(), copy.u64());
}

}  // namespace
