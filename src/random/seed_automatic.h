// Automatic seeds and seed mapping. A seed of 0 always asks for an automatic
// seed: the host clock read at a tick, the host's resource statistics and
// the calling thread's identity, mixed by the MurmurHash3 finaliser. The
// named value "qxbug.RNGSEED", when set, replaces every automatic seed.
#pragma once

#include <cstdint>

// Automatic seed for 64-bit methods: below 2^53 unless the override is larger.
std::uint64_t zrngi64();
// Automatic seed for 32-bit methods: 1 .. 2^31-2 (or the override's low 32 bits).
std::int32_t zrngi31();
// The clock-based seeds without the override and without the final reduction.
std::uint64_t zrngt64();
std::uint32_t zrngt32();
// Maps a user seed to a whole-number seed in 1 .. max_seed, or 0 for a
// missing, zero or negative seed. A seed that is not finite cannot be mapped:
// its error is sent and 0 returned, so that the caller draws an automatic seed.
double zrngd2i(double old_seed, std::uint64_t max_seed);
