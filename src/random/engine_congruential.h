// The multiplicative congruential generator modulo the prime 2^31 - 1 over a
// seed kept by the caller, and the normal deviate drawn from it. The
// optimiser's feasibility phase uses the deviate with a private seed.
#pragma once

// One step: seed = seed * 397204094 mod (2^31 - 1), from the low 32 bits of
// the seed; returns seed / (2^31 - 1). A seed of 0 stays 0.
double zranuni(long* seed);
// sqrt(-2 log u1) cos(2 pi u2) from two steps, u1 first.
double zrannor(long* seed);
