// The generic operations of the method template over a scripted engine:
// every uniform double form against exact values, with the open bounds
// never reached, and the word-to-double conversion rounding once; seed,
// key and thread forms; state loads and dumps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "host/missing.h"
#include "random/hash_murmur3.h"
#include "random/method_template.h"
#include "random_support.h"

namespace {

// An engine whose words come from a script and which records what it is
// asked to do.
template <class W, bool Keys = true>
struct Scripted {
  using Word = W;
  static constexpr const char* kName = "SCRIPT";
  static constexpr QXMemSize kBlobSize = 136;
  static constexpr QXMemSize kStateSize = 128;
  static constexpr bool kKeys = Keys;
  static constexpr bool kThreads = true;
  static constexpr bool kCrude = false;
  static inline std::vector<W> words;
  static inline std::size_t drawn = 0;
  static inline std::vector<std::pair<char, W>> calls;

  static void script(std::vector<W> w) { words = std::move(w), drawn = 0, calls.clear(); }
  static void seed(void*, W s) { calls.push_back({'s', s}); }
  static W next(void*) {
    return words[drawn < words.size() ? drawn++ : (drawn++, words.size() - 1)];
  }
  static void key(void*, W k) { calls.push_back({'k', k}); }
  static void thread(void*, W t) { calls.push_back({'t', t}); }
};
using Narrow = Scripted<std::uint32_t>;
using Wide = Scripted<std::uint64_t>;
using WideNoKeys = Scripted<std::uint64_t, false>;

template <class E>
ZRNG_S record() {
  ZRNG_S q{};
  zrng_fill_operations<E>(&q);
  return q;
}

template <class E>
double one(double (*form)(void*), typename E::Word w) {
  E::script({w});
  return form(nullptr);
}

// x * 2^-n exactly, rounded once to double.
double scaled(long double x, int n) {
  return static_cast<double>(std::ldexp(x, -n));
}

using UniformForms = RandomTest;

TEST_F(UniformForms, ThirtyTwoBitFormsAtTheirEdges) {
  const ZRNG_S q = record<Narrow>();
  EXPECT_EQ(one<Narrow>(q.zrng_double_32_closed_open, 0), 0.0);
  EXPECT_EQ(one<Narrow>(q.zrng_double_32_open_open, 0), 0x1p-33);
  EXPECT_EQ(one<Narrow>(q.zrng_double_32_open_closed, 0), 0x1p-32);
  EXPECT_EQ(one<Narrow>(q.zrng_double_32_closed_closed, 0), 0.0);
  EXPECT_EQ(one<Narrow>(q.zrng_double_32_closed_closed, 0xFFFFFFFFu), 1.0);
  EXPECT_EQ(one<Narrow>(q.zrng_double_32_closed_open, 0xFFFFFFFFu), 1 - 0x1p-32);
  EXPECT_EQ(one<Narrow>(q.zrng_double_32_open_open, 0xFFFFFFFFu), 1 - 0x1p-33);
  EXPECT_EQ(one<Narrow>(q.zrng_double_32_open_closed, 0xFFFFFFFFu), 1.0);
}

TEST_F(UniformForms, FiftyThreeBitFormsAtTheirEdges) {
  const ZRNG_S q = record<Wide>();
  const std::uint64_t ones = ~0ull;
  EXPECT_EQ(one<Wide>(q.zrng_double_53_closed_open, 0), 0.0);
  EXPECT_EQ(one<Wide>(q.zrng_double_53_open_open, 0), 0x1p-53);
  EXPECT_EQ(one<Wide>(q.zrng_double_53_open_closed, 0), 0x1p-53);
  EXPECT_EQ(one<Wide>(q.zrng_double_53_closed_closed, ones), 1.0);
  EXPECT_EQ(one<Wide>(q.zrng_double_53_closed_closed, ones ^ (1ull << 11)), 1 - 0x1p-52);
  EXPECT_EQ(one<Wide>(q.zrng_double_53_closed_open, ones), 1 - 0x1p-53);
  EXPECT_EQ(one<Wide>(q.zrng_double_53_open_closed, ones), 1.0);
}

TEST_F(UniformForms, SixtyFourBitFormsAtTheirEdges) {
  const ZRNG_S q = record<Wide>();
  const std::uint64_t ones = ~0ull;
  EXPECT_EQ(one<Wide>(q.zrng_double_64_closed_closed, ones), 1.0);
  EXPECT_EQ(one<Wide>(q.zrng_double_64_open_closed, ones), 1.0);
  EXPECT_EQ(one<Wide>(q.zrng_double_64_open_closed, 0), 0x1p-64);
  EXPECT_EQ(one<Wide>(q.zrng_double_64_open_open, 0), 0x1p-64);
  // The words that would round to 1.0 take their low bits to the top.
  for (std::uint64_t x : {ones, ones - 1023, ones - 1022}) {
    EXPECT_LT(one<Wide>(q.zrng_double_64_closed_open, x), 1.0);
    EXPECT_EQ(one<Wide>(q.zrng_double_64_closed_open, x), scaled(x << 54, 64));
    EXPECT_LT(one<Wide>(q.zrng_double_64_open_open, x), 1.0);
  }
  EXPECT_EQ(one<Wide>(q.zrng_double_64_closed_open, ones - 1024), 1 - 0x1p-53);
  // The halves of a word convert apart and their sum rounds once, as the
  // direct conversion rounds, ties to even included.
  const std::uint64_t top = 1ull << 63;
  for (std::uint64_t x : {top, top + 1024, top + 3 * 1024, top + 1025, top / 1024 + 1,
                          top / 1024 + 3, top / 1024 - 1, std::uint64_t{0xFFFFFFFF}})
    EXPECT_EQ(one<Wide>(q.zrng_double_64_closed_closed, x), scaled(x, 64)) << x;
  std::mt19937_64 gen(3);
  for (int i = 0; i < 100000; ++i) {
    const std::uint64_t x = gen() >> (i % 64);
    const long double lx = static_cast<long double>(x);
    ASSERT_EQ(one<Wide>(q.zrng_double_64_closed_closed, x), scaled(lx, 64));
    ASSERT_EQ(one<Wide>(q.zrng_double_64_open_closed, x),
              static_cast<double>(static_cast<double>(x) + 1.0) * 0x1p-64);
    if (x < ones - 1023) {
      ASSERT_EQ(one<Wide>(q.zrng_double_64_closed_open, x), scaled(lx, 64));
    }
  }
}

// The 32- and 53-bit forms are exact in double arithmetic: their edges
// above bound them.
TEST_F(UniformForms, SixtyFourBitOpenBoundsAreNeverReached) {
  const ZRNG_S w = record<Wide>();
  std::vector<std::uint64_t> words = {0, 1, 2, 1023, 1024, 2047, 2048, ~0ull, ~0ull - 1};
  for (int shift = 0; shift < 64; ++shift)
    words.push_back(~0ull << shift), words.push_back(~0ull >> shift);
  std::mt19937_64 gen(4);
  for (int i = 0; i < 20000; ++i) words.push_back(gen());
  auto inside = [](double u) { return u > 0.0 && u < 1.0; };
  for (std::uint64_t x : words) {
    ASSERT_TRUE(inside(one<Wide>(w.zrng_double_64_open_open, x))) << x;
    ASSERT_LT(one<Wide>(w.zrng_double_64_closed_open, x), 1.0) << x;
    ASSERT_GT(one<Wide>(w.zrng_double_64_open_closed, x), 0.0) << x;
    Wide::script({x, gen()});
    ASSERT_TRUE(inside(w.zrng_double_infinite(nullptr))) << x;
  }
}

TEST_F(UniformForms, RejectingFormsRedrawWithinTheirBounds) {
  const ZRNG_S n = record<Narrow>();
  const ZRNG_S w = record<Wide>();
  Narrow::script({0, 0, 5});
  EXPECT_EQ(n.zrng_double_32_reject_zero(nullptr), 5 * 0x1p-32);
  EXPECT_EQ(Narrow::drawn, 3u);
  Narrow::script({0});
  EXPECT_EQ(n.zrng_double_32_reject_zero(nullptr), 0.0);
  EXPECT_EQ(Narrow::drawn, 99u);
  Wide::script({1, 2047, 1ull << 11});  // the first two have no bits above bit 10
  EXPECT_EQ(w.zrng_double_53_reject_zero(nullptr), 0x1p-53);
  EXPECT_EQ(Wide::drawn, 3u);
  Wide::script({0});
  EXPECT_EQ(w.zrng_double_53_reject_zero(nullptr), 0.0);
  EXPECT_EQ(Wide::drawn, 99u);
  Wide::script({0, ~0ull, ~0ull - 1023, 5});  // 0, then two words that round to 1.0
  EXPECT_EQ(w.zrng_double_64_reject_zero_one(nullptr), 5 * 0x1p-64);
  EXPECT_EQ(Wide::drawn, 4u);
  Wide::script({0});  // an engine stuck at 0 does not hang the caller
  EXPECT_EQ(w.zrng_double_64_reject_zero_one(nullptr), 0.0);
  EXPECT_EQ(Wide::drawn, 1000000u);
}

TEST_F(UniformForms, InfinitePrecisionFormStaysBelowOne) {
  const ZRNG_S w = record<Wide>();
  Wide::script({~0ull});
  EXPECT_EQ(w.zrng_double_infinite(nullptr), 1 - 0x1p-53);
  Wide::script({1ull << 63});
  EXPECT_EQ(w.zrng_double_infinite(nullptr), 0.5);
  // A zero word moves the exponent down by 64; leading zeros take bits of
  // the next word.
  Wide::script({0, 1, 0x5555555555555555ull});
  const std::uint64_t x = (1ull << 63) | (0x5555555555555555ull >> 1);
  EXPECT_EQ(w.zrng_double_infinite(nullptr), scaled(static_cast<long double>(x | 1), 128 + 63));
  EXPECT_EQ(Wide::drawn, 3u);
  Wide::script({0});
  EXPECT_EQ(w.zrng_double_infinite(nullptr), 0.0);
  EXPECT_EQ(Wide::drawn, 16u);  // the 16th zero word puts the exponent below -1074
}

TEST_F(UniformForms, SeedFormsTakeZeroAsAskingForAnAutomaticSeed) {
  rt::fix_automatic_seed(12345);
  const ZRNG_S n = record<Narrow>();
  Narrow::script({1});
  EXPECT_EQ(n.zrng_seed_32(nullptr, 7), 2);
  EXPECT_EQ(n.zrng_seed_32(nullptr, 0), 2);
  EXPECT_EQ(n.zrng_seed_64(nullptr, 0x0000000500000003ull), 1);
  EXPECT_EQ(n.zrng_seed_64(nullptr, 0x0000000700000007ull), 1);  // folds to 0
  EXPECT_EQ(n.zrng_seed_double(nullptr, 42.0), 1);
  EXPECT_EQ(n.zrng_seed_double(nullptr, 0.75), 1);
  EXPECT_EQ(n.zrng_seed_double(nullptr, -1.0), 1);
  EXPECT_EQ(n.zrng_seed_double(nullptr, missing_value()), 1);
  EXPECT_EQ(n.zrng_seed_double(nullptr, INFINITY), 1);
  const std::vector<std::pair<char, std::uint32_t>> expected = {
      {'s', 7},          {'s', 12345}, {'s', 6},     {'s', 12345}, {'s', 42},
      {'s', 2147483647}, {'s', 12345}, {'s', 12345}, {'s', 12345}};
  EXPECT_EQ(Narrow::calls, expected);
  EXPECT_EQ(
      rt::count(log_text(), "ERROR: A seed from 1 to 4294967295 cannot be made from the seed inf."),
      1);

  const ZRNG_S w = record<Wide>();
  Wide::script({1});
  EXPECT_EQ(w.zrng_seed_32(nullptr, 5), 1);
  EXPECT_EQ(w.zrng_seed_64(nullptr, 0), 2);
  EXPECT_EQ(w.zrng_seed_double(nullptr, 0x1p63), 1);
  const std::vector<std::pair<char, std::uint64_t>> wide = {
      {'s', 5}, {'s', 12345}, {'s', 1ull << 63}};
  EXPECT_EQ(Wide::calls, wide);
}

TEST_F(UniformForms, KeyAndThreadFormsConvertAndIgnoreAsTheirWidthsSay) {
  const ZRNG_S n = record<Narrow>();
  Narrow::script({1});
  EXPECT_EQ(n.zrng_key_32(nullptr, 0), 0);
  EXPECT_EQ(n.zrng_key_32(nullptr, 9), 2);
  EXPECT_EQ(n.zrng_key_64(nullptr, 1ull << 32), 1);  // low half 0: no change
  EXPECT_EQ(n.zrng_key_64(nullptr, (1ull << 32) + 5), 1);
  EXPECT_EQ(n.zrng_key_double(nullptr, -3.0), 1);
  EXPECT_EQ(n.zrng_key_double(nullptr, 4294967296.0), 1);  // wraps to 0: no change
  EXPECT_EQ(n.zrng_key_double(nullptr, NAN), 0);
  EXPECT_EQ(n.zrng_key_double(nullptr, -INFINITY), 0);
  EXPECT_EQ(n.zrng_key_double(nullptr, missing_value()), 0);
  EXPECT_EQ(n.zrng_thread_64(nullptr, (1ull << 32) + 3), 1);
  EXPECT_EQ(n.zrng_thread_32(nullptr, 4), 2);
  const std::vector<std::pair<char, std::uint32_t>> narrow = {
      {'k', 9}, {'k', 5}, {'k', 0xFFFFFFFDu}, {'t', 3}, {'t', 4}};
  EXPECT_EQ(Narrow::calls, narrow);

  const ZRNG_S w = record<Wide>();
  Wide::script({1});
  EXPECT_EQ(w.zrng_key_32(nullptr, 9), 1);
  EXPECT_EQ(w.zrng_key_64(nullptr, 9), 2);
  EXPECT_EQ(w.zrng_key_double(nullptr, -1.0), 1);
  EXPECT_EQ(w.zrng_key_double(nullptr, 0x1p63), 1);
  EXPECT_EQ(w.zrng_thread_32(nullptr, 3), 1);
  const std::vector<std::pair<char, std::uint64_t>> wide = {
      {'k', 9}, {'k', 9}, {'k', ~0ull}, {'k', 1ull << 63}, {'t', 3}};
  EXPECT_EQ(Wide::calls, wide);

  const ZRNG_S none = record<WideNoKeys>();
  EXPECT_EQ(none.zrng_key_32(nullptr, 9), 0);
  EXPECT_EQ(none.zrng_key_64(nullptr, 9), 0);
  EXPECT_EQ(none.zrng_key_double(nullptr, 9.0), 0);
}

TEST_F(UniformForms, PartialStatesAreCompletedByMixing) {
  const ZRNG_S q = record<Wide>();
  std::uint64_t blob[17] = {};
  std::uint8_t given[20];
  for (int i = 0; i < 20; ++i) given[i] = static_cast<std::uint8_t>(i + 1);
  auto* bytes = reinterpret_cast<std::uint8_t*>(given);
  std::fill(std::begin(blob), std::end(blob), 0xAAAAAAAAAAAAAAAAull);
  EXPECT_EQ(q.zrng_state(blob, bytes, 20, 0), 4);
  std::uint64_t w0, w1;
  std::memcpy(&w0, given, 8);
  std::memcpy(&w1, given + 8, 8);
  EXPECT_EQ(blob[0], w0);
  EXPECT_EQ(blob[1], w1);
  for (int i = 2; i < 16; ++i) EXPECT_EQ(blob[i], zmh3x64(blob[i - 2])) << i;
  EXPECT_EQ(blob[16], 0xAAAAAAAAAAAAAAAAull);  // beyond the state: untouched

  std::fill(std::begin(blob), std::end(blob), 7);
  EXPECT_EQ(q.zrng_state(blob, bytes, 20, 1), 1);
  EXPECT_EQ(blob[0], w0);
  EXPECT_EQ(blob[3], 7u);
  EXPECT_EQ(q.zrng_state(blob, bytes, 16, 2), 3);
  EXPECT_EQ(blob[14], w0);
  EXPECT_EQ(blob[15], w1);
  EXPECT_EQ(q.zrng_state(blob, bytes, 0, 0), 0);
}

TEST_F(UniformForms, DumpsJournalFourWordsToALine) {
  const ZRNG_S q = record<Wide>();
  std::uint32_t blob[34];
  for (int i = 0; i < 34; ++i) blob[i] = static_cast<std::uint32_t>(i + 10);
  q.zrng_dump_blob_32(blob, 6);
  EXPECT_NE(log_text().find("     0:        a    1:        b    2:        c    3:        d\n"),
            std::string::npos);
  EXPECT_NE(log_text().find("     4:        e    5:        f\n"), std::string::npos);
  EXPECT_EQ(rt::count(log_text(), "Further elements omitted."), 1);
}

// The last line of a dump holds what is left of the four words a line takes.
TEST_F(UniformForms, DumpsEndWithTheWordsLeftOver) {
  const ZRNG_S q = record<Wide>();
  std::uint32_t words32[34] = {};
  std::uint64_t words64[17] = {};
  for (int i = 0; i < 17; ++i) words32[i] = static_cast<std::uint32_t>(0xA0 + i), words64[i] = 0xB0ull + i;
  const char* last32[] = {"     4:       a4\n", "     4:       a4    5:       a5\n",
                          "     4:       a4    5:       a5    6:       a6\n"};
  const char* last64[] = {"     4:               b4\n", "     4:               b4    5:               b5\n",
                          "     4:               b4    5:               b5    6:               b6\n"};
  for (int left = 1; left <= 3; ++left) {
    log_.str("");
    q.zrng_dump_blob_32(words32, 4 + left);
    EXPECT_NE(log_text().find(last32[left - 1]), std::string::npos) << log_text();
    log_.str("");
    q.zrng_dump_blob_64(words64, 4 + left);
    EXPECT_NE(log_text().find(last64[left - 1]), std::string::npos) << log_text();
    EXPECT_EQ(rt::count(log_text(), "Further elements omitted."), 1);
  }
  log_.str("");
  q.zrng_dump_blob_64(words64, 100);  // no more than the blob's 17 words
  EXPECT_NE(log_text().find("    16:               c0\n"), std::string::npos) << log_text();
  EXPECT_EQ(rt::count(log_text(), "Further elements omitted."), 0);
}

}  // namespace
