// Restarting a stream: the engine is seeded, then given the thread number
// and the key, and the variate caches are invalidated.
#include "random/message_gate.h"
#include "random/status_codes.h"
#include "random/stream.h"
#include "random/stream_internal.h"

namespace {

using namespace zrand_status;
using namespace zrand_internal;
constexpr std::uint64_t kKeyLimit32 = 1023;     // key-only methods share the key word
constexpr std::uint64_t kKeyLimit64 = 0xFFFFF;  // with the thread number

// A key-only method carries the key and the thread number in one word.
void install_shared_key(ZRAND_S* q, const ZRNG_S* f) {
  const bool narrow_word = narrow(f);
  const std::uint64_t limit = narrow_word ? kKeyLimit32 : kKeyLimit64;
  if (q->Key > limit) {
    keep_first(q, kBadKey);
    zrngmsg(QXSeverityError, kKeyTooLarge, static_cast<unsigned long long>(q->Key),
            static_cast<unsigned long long>(limit), q->Method);
  }
  if (narrow_word)
    f->zrng_key_32(q->Blob, static_cast<std::uint32_t>(((q->Key & 0x7FF) << 21) |
                                                       static_cast<std::uint32_t>(q->Thread)));
  else
    f->zrng_key_64(q->Blob, q->Thread | (q->Key << 43));
}

void restart_engine(ZRAND_S* q, const ZRNG_S* f) {
  const bool narrow_word = narrow(f);
  if (has(f, zrng_has::kSeeds)) {
    if (narrow_word)
      f->zrng_seed_32(q->Blob, static_cast<std::uint32_t>(q->Seed));
    else
      f->zrng_seed_64(q->Blob, q->Seed);
  }
  if (has(f, zrng_has::kThreads)) {
    if (narrow_word)
      f->zrng_thread_32(q->Blob, static_cast<std::uint32_t>(q->Thread));
    else
      f->zrng_thread_64(q->Blob, q->Thread);
    if (has(f, zrng_has::kKeys)) {
      if (narrow_word)
        f->zrng_key_32(q->Blob, static_cast<std::uint32_t>(q->Key));
      else
        f->zrng_key_64(q->Blob, q->Key);
    }
  } else if (has(f, zrng_has::kKeys)) {
    install_shared_key(q, f);
  }
}

// Keys outside every valid parameter, so that the next draw sets up afresh.
void reset_caches(ZRAND_S* q) {
  constexpr double kMinusPi = -3.141592653589793;
  q->gam.alphasave = kMinusPi;
  q->bin.psave = kMinusPi;
  q->poi.lambdasave = kMinusPi;
  q->bin.nsave = -9007199254740992LL;
  q->bin.underflow = 0;
  q->nor.HaveOne = 0;
}

}  // namespace

int zrand_rewind(ZRAND_S* q) {
  if (!q) return kNullArgument;
  if (const ZRNG_S* f = q->Functions) {
    if (!q->Blob || !f->zrng_seed_32) {
      keep_first(q, kNullArgument);  // no state area or no engine: nothing to restart
      return q->Status;
    }
    restart_engine(q, f);
  }
  reset_caches(q);
  q->IsUsable = 1;
  return q->Status;
}
