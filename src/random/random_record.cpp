// The procedure's random record: set-up, restart and state copy.
#include "random/random_record.h"

#include <cstring>

#include "random/variate_operations.h"

namespace {
// The 624 words and the position of the 32-bit Mersenne Twister engines.
constexpr std::size_t kMT32StateBytes = 2504;
}  // namespace

void zmrsClear(MERSENNE_RAND* q) {
  if (q) std::memset(static_cast<void*>(q), 0, sizeof *q);
}

int zmrsrnd(MERSENNE_RAND* q) {
  if (!q) return 1;
  q->Functions = &q->rng;
  q->Blob = &q->mt;
  q->State32 = reinterpret_cast<std::uint32_t*>(&q->mt);
  q->State64 = q->mt.mt;
  zrand_init(q);
  zrand_install_variates(q);
  return q->IsUsable ? 0 : 1;
}

int zmrsetp(int, MERSENNE_RAND*) {
  return 0;
}

void zmrsReset32(std::uint64_t seed, MERSENNE_RAND* q) {
  if (!q) return;
  q->Seed = seed;
  zrand_fold_seed(q);
  q->UserSeed = static_cast<double>(q->Seed);
  zrand_rewind(q);
}

void zmrsCloneState32(MERSENNE_RAND* from, MERSENNE_RAND* to) {
  if (!from || !to) return;
  to->UserSeed = from->UserSeed;
  to->Seed = from->Seed;
  to->UserKey = from->UserKey;
  to->Key = from->Key;
  static_assert(sizeof(ZRANMT) >= kMT32StateBytes);
  std::memcpy(&to->mt, &from->mt, kMT32StateBytes);
}
