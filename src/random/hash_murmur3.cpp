#include "random/hash_murmur3.h"

#include <cstring>

std::uint32_t getblock32(const std::uint8_t* blocks, int i) {
  std::uint32_t word;
  std::memcpy(&word, blocks + 4 * static_cast<long>(i), sizeof word);
  return word;
}

std::uint32_t zmurmur32(const std::uint8_t* data, int byte_len, std::uint32_t seed) {
  constexpr std::uint32_t c1 = 0xCC9E2D51u;
  constexpr std::uint32_t c2 = 0x1B873593u;
  const int len = byte_len > 0 ? byte_len : 0;
  const int nblocks = len / 4;
  std::uint32_t h = seed;
  for (int i = 0; i < nblocks; ++i) {
    std::uint32_t k = getblock32(data, i);
    k *= c1;
    k = rotl32(k, 15);
    k *= c2;
    h ^= k;
    h = rotl32(h, 13);
    h = h * 5 + 0xE6546B64u;
  }
  const std::uint8_t* tail = data + 4 * nblocks;
  std::uint32_t k = 0;
  switch (len & 3) {
    case 3:
      k ^= static_cast<std::uint32_t>(tail[2]) << 16;
      [[fallthrough]];
    case 2:
      k ^= static_cast<std::uint32_t>(tail[1]) << 8;
      [[fallthrough]];
    case 1:
      k ^= tail[0];
      k *= c1;
      k = rotl32(k, 15);
      k *= c2;
      h ^= k;
  }
  h ^= static_cast<std::uint32_t>(len);
  return zmh3x32(h);
}

std::uint64_t zmurmur128(const std::uint64_t* words, int n, std::uint64_t seed,
                         std::uint64_t out[2]) {
  constexpr std::uint64_t c1 = 0x87C37B91114253D5ull;
  constexpr std::uint64_t c2 = 0x4CF5AD432745937Full;
  std::uint64_t h1 = seed;
  std::uint64_t h2 = seed;
  const std::uint64_t pad = zmh3x64(seed);
  const int count = n > 0 ? n : 0;
  for (int i = 0; i < count; i += 2) {
    std::uint64_t k1 = words[i];
    std::uint64_t k2 = i + 1 < count ? words[i + 1] : pad;
    k1 = rotl64(k1 * c1, 31) * c2;
    h1 = (rotl64(h1 ^ k1, 27) + h2) * 5 + 0x52DCE729u;
    k2 = rotl64(k2 * c2, 33) * c1;
    h2 = (rotl64(h2 ^ k2, 31) + h1) * 5 + 0x38495AB5u;
  }
  const auto length = static_cast<std::uint64_t>(8 * (count + (count & 1)));
  h1 ^= length;
  h2 ^= length;
  h1 += h2;
  h2 += h1;
  h1 = zmh3x64(h1);
  h2 = zmh3x64(h2);
  h1 += h2;
  h2 += h1;
  if (out) out[0] = h1, out[1] = h2;
  return h1;
}

std::uint64_t zmurmur64(const std::uint64_t* words, int n, std::uint64_t seed) {
  std::uint64_t out[2];
  zmurmur128(words, n, seed, out);
  return out[0] ^ out[1];
}
