// Random streams: one generator method bound to one engine state area, with
// the seed, key and thread that select the sequence, the stream's default
// uniform double, the variate caches and the seeds the procedure publishes.
//
// The records point into themselves (a ZRANSTR's `Functions` at its own
// `rng`, its state pointers at its own `mt`, `UserMethod` at its own method
// name), so they cannot be copied; clear them with value-initialisation
// (`ZRANSTR s{};`) or zmrsClear, and clone streams with zrand_clone.
#pragma once

#include <cstdint>

#include "host/kernel_pool.h"
#include "host/kernel_records.h"
#include "random/method_record.h"
#include "random/stream_caches.h"

inline constexpr std::int64_t kZrandCheck = 123456789;

// Bits of a stream's `Flags`.
namespace zrand_flags {
inline constexpr std::uint64_t kWideUserMethod = 0x1;  // UserMethod holds QXChar text
inline constexpr std::uint64_t kNoteSent = 0x2;        // the selection note has been sent
inline constexpr std::uint64_t kMethodNamed = 0x4;     // the caller named a method
}  // namespace zrand_flags

// The engine state area of a stream with its own record: large enough for
// the state of every method. Engines treat it as raw bytes from its start.
struct ZRANMT {
  std::uint64_t mt[624];
  std::int32_t mti;
  std::uint64_t mag01[2];
};

struct ZRAND_S {
  ZRAND_S() = default;
  ZRAND_S(const ZRAND_S&) = delete;
  ZRAND_S& operator=(const ZRAND_S&) = delete;

  std::int64_t Check1;              // 123456789 once initialised
  ZRAND_S* Next;                    // link to another stream; not used here
  QXChar Method[16];                // wide name of the method in use
  std::uint64_t Seed;               // the seed in force
  std::uint64_t Key;                // key in force; 0 = none
  std::uint64_t Thread;             // thread identifier in force; 0 = none
  std::uint64_t Flags;              // zrand_flags::
  std::int64_t nrv;                 // 1 after allocation and cloning; not read here
  double* p;                        // null after allocation; not read here
  std::int64_t NBuffer;             // doubles the buffer-fill variates write
  double* VBuffer;                  // caller's buffer for the buffer-fill variates
  QXStatus Status;                  // first problem of the last initialisation, or 0
  QXBoolean IsUsable;               // 1 after a rewind
  QXMemSize BlobSize;               // byte size of the method's engine state
  void* Blob;                       // engine state area
  std::uint32_t* State32;           // the same area as 32-bit words
  std::uint64_t* State64;           // the same area as 64-bit words
  double (*rangen)(ZrngBlob blob);  // the stream's uniform double on (0,1)
  ZRNG_S* Functions;                // the method record in use
  QXJnlh Jnlh;                      // the stream's journal
  ZRANBET bet;
  ZRANGAM gam;
  ZRANBIN bin;
  ZRANPOI poi;
  ZRANNOR nor;
  std::uint64_t InitialSeed;  // the seed in force after the last initialisation
  std::uint64_t finalSeed;    // the hash of that seed, published as the end seed
  void* reb;                  // copied by cloning; not read here
};

// A stream with the user's request and its own method record and state.
struct ZRANSTR : ZRAND_S {
  char* UserMethod;  // method name (narrow, or wide with Flags bit 0), null for the default
  double UserSeed;   // 0 = none; a missing value counts as 0
  double UserKey;    // 0 = none; a missing value counts as 0
  ZRNG_S rng;        // the stream's own method record
  ZRANMT mt;         // the stream's own engine state area
};

// Selects the method once, settles seed and key, sends the selection note
// once, rewinds and records the seeds; returns `Status`.
int zrand_init(ZRANSTR* q);
// Restarts the stream at its Seed, Key and Thread; returns `Status`.
int zrand_rewind(ZRAND_S* q);
// Selects the method by name unless one is selected already.
int zrand_method(char* name, int name_l, ZRANSTR* q);
// Re-seeds: UserSeed, UserKey and Key become 0 and Seed `seed`, then zrand_init.
int zrand_seed(std::uint64_t seed, ZRANSTR* q);
// zrand_init, then the method's crude double (when it has one) as `rangen`.
int zrand_crude(ZRANSTR* q);
// A cleared, uninitialised stream from the pool; null when there is none.
ZRANSTR* zrand_alloc_qx(QXPoolh pool);
// Makes `to` a substream of `from` under `key` and rewinds it. `to` keeps
// its own state area, which must exist.
int zrand_clone(ZRAND_S* to, std::uint64_t key, ZRAND_S* from);
// A new substream of `from` with its own state area from the pool, or null.
ZRAND_S* zrand_clone_qx(QXPoolh pool, std::uint64_t key, ZRAND_S* from);
// A 32-bit engine seeds from the low 32 bits of `Seed`; when those are 0
// (and the seed is not), the seed is folded into the method's range with a
// warning, so that it is not taken as a request for an automatic seed.
void zrand_fold_seed(ZRAND_S* q);
// The check every variate makes on entry; it does nothing.
inline void zrand_check(ZRAND_S*, int) {}
