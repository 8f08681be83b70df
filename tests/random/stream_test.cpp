// Random streams: seeds and keys settled by initialisation, rewinds,
// clones, and the procedure's record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "host/missing.h"
#include "random/hash_murmur3.h"
#include "random/method_descriptors.h"
#include "random/status_codes.h"
#include "random_support.h"

namespace {

using namespace zrand_status;

using rt::new_stream;

using Streams = RandomTest;

TEST_F(Streams, UserSeedsAreTakenOrMappedWithAWarning) {
  rt::set_text("OSENV.KOV_RNG_MESSAGES", "WARNING");
  auto q = new_stream(12345);
  EXPECT_EQ(q->Seed, 12345u);
  EXPECT_EQ(q->InitialSeed, 12345u);
  EXPECT_EQ(q->finalSeed, zmh3x32(12345));
  EXPECT_EQ(q->Status, 0);
  EXPECT_EQ(log_text(), "");
  auto half = new_stream(0.5);
  EXPECT_EQ(half->Seed, 1u);  // mantissa 1/2: floor((M - 2) * 0 + 1)
  EXPECT_EQ(rt::count(log_text(),
                      "WARNING: The seed was mapped to a whole number from 1 to 4294967295 "
                      "for the random-number method MTHYBRID."),
            1);
}

TEST_F(Streams, MissingZeroAndNonFiniteSeedsDrawAnAutomaticSeed) {
  rt::fix_automatic_seed(777);
  EXPECT_EQ(new_stream(0)->Seed, 777u);
  EXPECT_EQ(new_stream(missing_value())->Seed, 777u);
  EXPECT_EQ(new_stream(-5)->Seed, 777u);
  EXPECT_EQ(new_stream(INFINITY)->Seed, 777u);
  EXPECT_EQ(
      rt::count(log_text(), "ERROR: A seed from 1 to 4294967295 cannot be made from the seed inf."),
      1);
  EXPECT_EQ(zmrsrnd(nullptr), 1);
}

TEST_F(Streams, ReinitialisationKeepsMethodAndSeedAndSendsOneNote) {
  rt::set_text("OSENV.KOV_RNG_MESSAGES", "NOTE");
  char name[] = "mt64";
  auto q = new_stream(5, name);
  EXPECT_EQ(rt::count(log_text(), "drawn with the 64-bit Mersenne Twister method from the seed 5."),
            1);
  q->UserSeed = 0;
  EXPECT_EQ(zrand_init(q.get()), 0);
  EXPECT_EQ(q->Seed, 5u);
  EXPECT_STREQ(q->rng.zrng_name, "MT64");
  EXPECT_EQ(rt::count(log_text(), "Random numbers are drawn"), 1);
  auto quiet = new_stream(5);  // no name given: no note
  EXPECT_EQ(rt::count(log_text(), "Random numbers are drawn"), 1);
}

TEST_F(Streams, SelectionByMethodCallIsKeptByLaterInitialisation) {
  auto q = std::make_unique<MERSENNE_RAND>();
  char unknown[] = "ZZZ";
  EXPECT_EQ(zrand_method(unknown, 3, q.get()), kUnknownMethod);
  EXPECT_STREQ(q->rng.zrng_name, "MTHYBRID");
  q->UserSeed = 9;
  EXPECT_EQ(zmrsrnd(q.get()), 0);
  EXPECT_EQ(q->Status, 0);
  char other[] = "MT64";
  EXPECT_EQ(zrand_method(other, 4, q.get()), 0);  // already selected: nothing changes
  EXPECT_STREQ(q->rng.zrng_name, "MTHYBRID");
  EXPECT_EQ(zrand_method(other, 4, nullptr), kNullArgument);
}

TEST_F(Streams, CrudeDoubleStaysThroughReinitialisation) {
  auto q = new_stream(3);
  EXPECT_EQ(zrand_crude(q.get()), 0);
  EXPECT_EQ(q->rangen, q->rng.zrng_double_crude);
  zrand_init(q.get());
  EXPECT_EQ(q->rangen, q->rng.zrng_double_crude);
}

TEST_F(Streams, KeysAreCheckedAgainstTheMethodsLimit) {
  rt::set_text("OSENV.KOV_RNG_MESSAGES", "WARNING");
  auto q = std::make_unique<MERSENNE_RAND>();
  q->UserSeed = 1;
  q->UserKey = 0.5;
  zmrsrnd(q.get());
  EXPECT_EQ(q->Status, kBadKey);
  EXPECT_EQ(q->IsUsable, 1);
  EXPECT_EQ(rt::count(log_text(),
                      "ERROR: The random-stream key must be a whole number from 0 to 4294967295 "
                      "for the method MTHYBRID."),
            1);
  q->UserKey = NAN;
  EXPECT_EQ(zrand_init(q.get()), kBadKey);
  q->UserKey = 7;
  EXPECT_EQ(zrand_init(q.get()), 0);
}

TEST_F(Streams, SeedsWithZeroLowHalfAreFoldedNotReplaced) {
  rt::set_text("OSENV.KOV_RNG_MESSAGES", "WARNING");
  auto a = std::make_unique<MERSENNE_RAND>(), b = std::make_unique<MERSENNE_RAND>();
  zmrsrnd(a.get());
  zmrsrnd(b.get());
  EXPECT_EQ(zrand_seed(1ull << 32, a.get()), 0);
  EXPECT_EQ(zrand_seed(1ull << 32, b.get()), 0);
  EXPECT_EQ(a->Seed, 1u);  // the mantissa of 2^32 is 1/2
  EXPECT_EQ(a->InitialSeed, a->Seed);
  EXPECT_EQ(rt::uniforms(a.get(), 100), rt::uniforms(b.get(), 100));
  EXPECT_EQ(rt::count(log_text(), "WARNING: The seed was mapped"), 2);
  zmrsReset32(3ull << 32, a.get());
  EXPECT_NE(static_cast<std::uint32_t>(a->Seed), 0u);
}

// As for every BY group: clear, set the seed and initialise again.
TEST_F(Streams, StreamMadeAgainFromItsSeedRepeats) {
  auto a = new_stream(20240601);
  const auto ua = rt::uniforms(a.get(), 5000);
  rt::make_stream(a.get(), 20240601);
  EXPECT_EQ(ua, rt::uniforms(a.get(), 5000));
}

TEST_F(Streams, ResetAndStateCopyRestartTheSequence) {
  auto a = new_stream(11);
  const auto first = rt::uniforms(a.get(), 700);
  zmrsReset32(11, a.get());
  EXPECT_EQ(first, rt::uniforms(a.get(), 700));
  auto b = new_stream(99);
  zmrsReset32(11, a.get());
  rt::uniforms(a.get(), 300);
  zmrsCloneState32(a.get(), b.get());
  EXPECT_EQ(b->Seed, 11u);
  const auto rest = rt::uniforms(b.get(), 400);
  EXPECT_EQ(rest, std::vector<double>(first.begin() + 300, first.end()));
  auto c = new_stream(11);
  EXPECT_EQ(zmrsetp(2, c.get()), 0);  // no effect
  EXPECT_EQ(first, rt::uniforms(c.get(), 700));
}

// A kernel pool over malloc that can be told to fail.
struct Pool {
  QXPOOL_S pool{};
  int allocations = 0, frees = 0, fail_at = -1;
  std::vector<void*> blocks;
  ~Pool() {
    for (void* b : blocks) std::free(b);
  }
};
Pool* g_pool = nullptr;
void* pool_alloc(QXPOOL_S*, QXMemSize size, std::uint32_t flags) {
  EXPECT_EQ(flags, 0x80000000u);
  if (g_pool->allocations++ == g_pool->fail_at) return nullptr;
  void* b = std::calloc(1, size ? size : 1);
  g_pool->blocks.push_back(b);
  return b;
}
void pool_free(QXPOOL_S*, void*) {
  ++g_pool->frees;
}

TEST_F(Streams, ClonesHaveTheirOwnStateFromThePool) {
  Pool pool;
  g_pool = &pool;
  pool.pool.memAlloc = &pool_alloc;
  pool.pool.memFree = &pool_free;
  ZRANSTR* q = zrand_alloc_qx(&pool.pool);
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q->Status, kNotInitialised);
  EXPECT_EQ(q->Blob, &q->mt);
  EXPECT_EQ(zrand_alloc_qx(nullptr), nullptr);
  EXPECT_EQ(zrand_seed(42, q), 0);

  ZRAND_S* one = zrand_clone_qx(&pool.pool, 1, q);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->Status, 0);
  EXPECT_NE(one->rangen(one->Blob), q->rangen(q->Blob));

  pool.fail_at = pool.allocations + 1;  // the state area cannot be had
  EXPECT_EQ(zrand_clone_qx(&pool.pool, 3, q), nullptr);
  EXPECT_EQ(pool.frees, 1);

  ZRAND_S bare{};  // no state area: an error, nothing written
  EXPECT_EQ(zrand_clone(&bare, 1, q), kNullArgument);
  EXPECT_EQ(bare.IsUsable, 0);
  EXPECT_EQ(zrand_clone(nullptr, 1, q), kNullArgument);
  bare.Functions = q->Functions;  // a method but no state area: nothing to restart
  EXPECT_EQ(zrand_rewind(&bare), kNullArgument);
  EXPECT_EQ(bare.IsUsable, 0);
}

// What a method cannot take is reported and left out, and the stream still
// draws.
TEST_F(Streams, SeedsAndKeysAMethodCannotTakeAreIgnoredWithAWarning) {
  rt::set_text("OSENV.KOV_RNG_MESSAGES", "NOTE");
  auto keyed = new_stream(42, "XOR64");
  keyed->UserKey = 5;
  EXPECT_EQ(zrand_init(keyed.get()), kTakesNoKey);
  EXPECT_EQ(rt::count(log_text(), "WARNING: The random-number method XOR64 takes no key; the key 5 is ignored."), 1);
  EXPECT_EQ(rt::uniforms(keyed.get(), 20), rt::uniforms(new_stream(42, "XOR64").get(), 20));

  // No method in use takes no seed; the hardware method's record, which
  // selection never keeps, is put in place as selection would leave it.
  auto seedless = std::make_unique<MERSENNE_RAND>();
  zrnfRDRAND(&seedless->rng, 0);
  std::memcpy(seedless->Method, seedless->rng.zrng_qxname, sizeof seedless->Method);
  seedless->UserMethod = seedless->rng.zrng_name;
  seedless->Flags = zrand_flags::kMethodNamed;
  seedless->UserSeed = 9;
  EXPECT_EQ(zmrsrnd(seedless.get()), 0);
  EXPECT_EQ(seedless->Status, kTakesNoSeed);
  EXPECT_EQ(seedless->Seed, 0u);
  EXPECT_EQ(rt::count(log_text(), "WARNING: The random-number method RDRAND takes no seed; the seed 9 is ignored."),
            1);
  EXPECT_EQ(rt::count(log_text(), "NOTE: Random numbers are drawn with the Intel RDRAND method.\n"), 1);
}

// A key that a state copy brought along is named in the note, or refused
// when the method's keys do not reach it.
TEST_F(Streams, AKeyCarriedIntoInitialisationIsNotedOrRefused) {
  rt::set_text("OSENV.KOV_RNG_MESSAGES", "NOTE");
  char pcg[] = "PCG32I";
  auto q = std::make_unique<MERSENNE_RAND>();
  q->UserMethod = pcg;
  q->UserSeed = 11;
  q->Key = 3;
  zmrsrnd(q.get());
  EXPECT_EQ(q->Status, 0);
  EXPECT_EQ(rt::count(log_text(),
                      "NOTE: Random numbers are drawn with the 32-bit PCG32i method from the seed 11 with the key 3."),
            1);
  q->Key = 1ull << 31;
  EXPECT_EQ(zrand_init(q.get()), kBadKey);
  EXPECT_EQ(rt::count(log_text(),
                      "ERROR: The random-stream key 2147483648 is larger than 2147483647, the largest the "
                      "method PCG32I takes."),
            1);
}

}  // namespace
