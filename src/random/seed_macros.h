// The seed macro variables: "SYSRANDOM" receives the bootstrap stream's
// initial seed and "SYSRANEND" its end seed, at the end of the task.
#pragma once

#include <cstdint>

#include "host/types.h"
#include "random/random_record.h"

// which 0: repair the seed only; 1: repair it and store it in "SYSRANDOM";
// 2: store it unchanged in "SYSRANEND"; other values repair and store
// nothing. A zero or negative seed is repaired: replaced by a clock seed
// in 1 .. 10^9, written back through the pointer.
void zranms(long* seed, int whichMacroVar);

// The seeds of the stream a bootstrap really drew from. The procedure
// re-creates its stream after every BY group (also after the last one,
// and with SEED=0 from a new automatic seed), so the seeds to publish are
// taken when the bootstrap draws, not from the stream at the end of the
// task. Keep this record outside the stream record, which is cleared.
struct ZRANUSED {
  QXBoolean drawn;            // a bootstrap has drawn from a stream
  std::uint64_t InitialSeed;  // that stream's initial seed
  std::uint64_t finalSeed;    // and its end seed
};

// Records the seeds of `q` as those in use; call it when the bootstrap of a
// BY group starts drawing from the stream.
void zmrsNoteUse(const MERSENNE_RAND* q, ZRANUSED* used);
// Publishes the recorded seeds: "SYSRANDOM" when a stream was drawn from and
// its initial seed is nonzero, then "SYSRANEND" when its end seed is nonzero.
// Nothing when no bootstrap drew.
void zranmsPublish(const ZRANUSED* used);
