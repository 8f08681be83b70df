#include "random/seed_words.h"

#include "random/hash_murmur3.h"

void zrngfill32(std::uint32_t seed, std::uint32_t* vec, int size) {
  if (!vec || size < 1) return;
  vec[0] = seed;
  for (int i = 1; i < size; ++i) vec[i] = zmh3x32(seed + static_cast<std::uint32_t>(i));
}

void zrngfill64(std::uint64_t seed, std::uint64_t* vec, int size) {
  if (!vec || size < 1) return;
  vec[0] = seed;
  for (int i = 1; i < size; ++i) vec[i] = zmh3x64(seed + static_cast<std::uint64_t>(i));
}
