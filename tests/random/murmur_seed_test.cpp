// MurmurHash3 against its published test vectors, the finalisers, the
// automatic seeds under a fixed clock, and the mapping of user seeds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "host/globals.h"
#include "host/kernel_handle.h"
#include "host/kernel_requests.h"
#include "host/missing.h"
#include "random/hash_murmur3.h"
#include "random/seed_automatic.h"
#include "random_support.h"

namespace {

std::uint32_t hash(const std::string& text, std::uint32_t seed) {
  return zmurmur32(reinterpret_cast<const std::uint8_t*>(text.data()),
                   static_cast<int>(text.size()), seed);
}

TEST(Murmur, X86ThirtyTwoBitHashMatchesPublishedVectors) {
  EXPECT_EQ(hash("", 0), 0u);
  EXPECT_EQ(hash("", 1), 0x514E28B7u);
  EXPECT_EQ(hash("", 0xFFFFFFFFu), 0x81F16F39u);
  EXPECT_EQ(hash(std::string(4, '\xFF'), 0), 0x76293B50u);
  EXPECT_EQ(hash("!Ce\x87", 0), 0xF55B516Bu);
  EXPECT_EQ(hash("!Ce\x87", 0x5082EDEEu), 0x2362F9DEu);
  EXPECT_EQ(hash("!Ce", 0), 0x7E4A8634u);
  EXPECT_EQ(hash("!C", 0), 0xA0F7B07Au);
  EXPECT_EQ(hash("!", 0), 0x72661CF4u);
  EXPECT_EQ(hash(std::string(4, '\0'), 0), 0x2362F9DEu);
  EXPECT_EQ(hash(std::string(3, '\0'), 0), 0x85F0B427u);
  EXPECT_EQ(hash(std::string(2, '\0'), 0), 0x30F4C306u);
  EXPECT_EQ(hash(std::string(1, '\0'), 0), 0x514E28B7u);
  const std::uint32_t seed = 0x9747B28Cu;
  EXPECT_EQ(hash("aaaa", seed), 0x5A97808Au);
  EXPECT_EQ(hash("aaa", seed), 0x283E0130u);
  EXPECT_EQ(hash("aa", seed), 0x5D211726u);
  EXPECT_EQ(hash("a", seed), 0x7FA09EA6u);
  EXPECT_EQ(hash("abcd", seed), 0xF0478627u);
  EXPECT_EQ(hash("abc", seed), 0xC84A62DDu);
  EXPECT_EQ(hash("ab", seed), 0x74875592u);
  EXPECT_EQ(hash("Hello, world!", seed), 0x24884CBAu);
  EXPECT_EQ(hash("The quick brown fox jumps over the lazy dog", seed), 0x2FA826CDu);
}

TEST(Murmur, FinalisersFixZeroAndWordHashPadsAnOddWord) {
  EXPECT_EQ(zmh3x32(0), 0u);
  EXPECT_EQ(zmh3x64(0), 0u);
  // The finaliser is the last step of the byte hash: the empty input with
  // seed s hashes to zmh3x32(s).
  for (std::uint32_t s : {1u, 77u, 0xFFFFFFFFu}) EXPECT_EQ(zmh3x32(s), hash("", s));
  for (std::uint64_t seed : {0ull, 5ull, ~0ull}) {
    const std::uint64_t word = 0x0123456789ABCDEFull;
    const std::uint64_t padded[2] = {word, zmh3x64(seed)};
    EXPECT_EQ(zmurmur64(&word, 1, seed), zmurmur64(padded, 2, seed));
    std::uint64_t out[2];
    EXPECT_EQ(zmurmur128(padded, 2, seed, out), out[0]);
    EXPECT_EQ(zmurmur64(padded, 2, seed), out[0] ^ out[1]);
  }
}

// A kernel whose clock reads from a script (t0 until it ticks, then t) and
// whose statistics are zero.
double g_clock[2];
long g_clock_reads = 0, g_tick_at = 1;
QXStatus scripted_kernel(int code, void* block, std::uint32_t, QX_HNDL_S*) {
  if (code == 16) {
    auto* pair = static_cast<double*>(block);
    pair[0] = g_clock[g_clock_reads++ < g_tick_at ? 0 : 1];
    pair[1] = 0;
    return 0;
  }
  if (code == 8) std::memset(block, 0, sizeof(QXZ_Stats_Info));
  return 0;
}

class AutomaticSeeds : public RandomTest {
 protected:
  AutomaticSeeds() : saved_(Exported_QXHandle->ConfigureSystem) {}
  ~AutomaticSeeds() override { Exported_QXHandle->ConfigureSystem = saved_; }
  void use_clock(double t0, double t, long tick_at = 1) {
    g_clock[0] = t0, g_clock[1] = t, g_clock_reads = 0, g_tick_at = tick_at;
    Exported_QXHandle->ConfigureSystem = &scripted_kernel;
  }
  decltype(QX_HNDL_S::ConfigureSystem) saved_;
};

TEST_F(AutomaticSeeds, ClockSeedsStayInTheirRanges) {
  for (int i = 0; i < 20; ++i) {
    const std::int32_t s31 = zrngi31();
    EXPECT_GE(s31, 1);
    EXPECT_LE(s31, 2147483646);
    EXPECT_LT(zrngi64(), 1ull << 53);
  }
}

TEST_F(AutomaticSeeds, ThirtyOneBitSeedIsNeverZero) {
  // t / d lands on 2^31, whose low 31 bits are all 0.
  use_clock(2147483647.0, 2147483648.0);
  EXPECT_EQ(zrngi31(), 1);
  use_clock(0.5, 1000.5);  // t / d = 1.0005 (times 1 + 4 ulps): 1
  EXPECT_EQ(zrngi31(), 1);
  use_clock(100.0, 100.5);  // 201
  EXPECT_EQ(zrngi31(), 201);
}

// The seed comes from the reading at which the clock ticked, however many
// readings that took; a clock that never ticks is given up after 10^7.
TEST_F(AutomaticSeeds, TheClockIsReadUntilItTicks) {
  for (long tick_at : {1, 2, 3, 4, 7}) {
    use_clock(100.0, 100.5, tick_at);
    EXPECT_EQ(zrngi31(), 201) << tick_at;
    EXPECT_EQ(g_clock_reads, tick_at + 1) << tick_at;
  }
  use_clock(100.0, 100.0, 1L << 40);
  EXPECT_EQ(zrngi31(), 100);  // no tick: the reading itself
  EXPECT_EQ(g_clock_reads, 10000001);
}

// The plain clock seeds take no named-value override and keep their full
// range: all 32 bits, and the 64-bit hash before zrngi64 reduces it.
TEST_F(AutomaticSeeds, PlainClockSeedsIgnoreTheOverride) {
  use_clock(100.0, 100.5);
  const std::uint64_t hash = zrngt64();
  use_clock(100.0, 100.5);
  EXPECT_EQ(zrngi64(), hash < 2049 ? hash : hash >> 11);
  rt::fix_automatic_seed(12345);
  EXPECT_EQ(zrngi64(), 12345u);
  use_clock(100.0, 100.5);
  EXPECT_EQ(zrngt64(), hash);
  use_clock(100.0, 100.5);
  EXPECT_EQ(zrngt32(), 201u);
  use_clock(2147483647.0, 2147483648.0);
  EXPECT_EQ(zrngt32(), 0x80000000u);  // where zrngi31 gives 1
  use_clock(-1.0, 0.0);
  EXPECT_EQ(zrngt32(), 1u);  // 0 is replaced
}

TEST_F(AutomaticSeeds, UserSeedsMapIntoTheMethodsRange) {
  EXPECT_EQ(zrngd2i(3, 100), 3);
  EXPECT_EQ(zrngd2i(3.5, 100), 74);  // mantissa 0.875
  EXPECT_EQ(zrngd2i(200, 100), 56);  // mantissa 0.78125
  EXPECT_EQ(zrngd2i(0.75, 0xFFFFFFFFull), std::floor(4294967293.0 * 0.5 + 1));
  int exponent = 0;
  const double mantissa = std::frexp(1e300, &exponent);
  EXPECT_EQ(zrngd2i(1e300, ~0ull), std::floor((0x1p53 - 2) * ((mantissa - 0.5) * 2) + 1));
  for (double bad : {0.0, -1.0, missing_value()}) EXPECT_EQ(zrngd2i(bad, 100), 0);
  EXPECT_EQ(log_text(), "");
  // A seed that is not finite is an error, and 0 asks for an automatic seed.
  EXPECT_EQ(zrngd2i(INFINITY, 100), 0);
  EXPECT_EQ(zrngd2i(-HUGE_VAL, 100), 0);
  EXPECT_EQ(zrngd2i(NAN, 100), 0);
  EXPECT_EQ(rt::count(log_text(), "ERROR: A seed from 1 to 100 cannot be made"), 3);
  // A range of one seed has room for no mapped seed but itself.
  EXPECT_EQ(zrngd2i(3.5, 1), 0);
  EXPECT_EQ(rt::count(log_text(), "ERROR: A seed from 1 to 1 cannot be made from the seed 3.5."), 1);
}

}  // namespace
