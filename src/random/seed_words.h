// Filling several engine words from one seed: the seed itself, then the
// MurmurHash3 finaliser of seed + 1, seed + 2, ... (modulo the word width),
// so that nearby seeds give unrelated words.
#pragma once

#include <cstdint>

// vec[0] = seed, vec[i] = zmh3x32(seed + i); nothing for a null vec or size < 1.
void zrngfill32(std::uint32_t seed, std::uint32_t* vec, int size);
// vec[0] = seed, vec[i] = zmh3x64(seed + i); nothing for a null vec or size < 1.
void zrngfill64(std::uint64_t seed, std::uint64_t* vec, int size);
