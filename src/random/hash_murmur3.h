// MurmurHash3: the 32- and 64-bit finalisers that mix seeds and states, the
// x86 32-bit hash of bytes, and a 128-bit hash over 64-bit words.
#pragma once

#include <cstdint>

inline std::uint32_t rotl32(std::uint32_t x, int r) {
  return (x << r) | (x >> ((32 - r) & 31));
}
inline std::uint64_t rotl64(std::uint64_t x, int r) {
  return (x << r) | (x >> ((64 - r) & 63));
}

inline std::uint32_t zmh3x32(std::uint32_t x) {
  x ^= x >> 16;
  x *= 0x85EBCA6Bu;
  x ^= x >> 13;
  x *= 0xC2B2AE35u;
  x ^= x >> 16;
  return x;
}

inline std::uint64_t zmh3x64(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDull;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53ull;
  x ^= x >> 33;
  return x;
}

inline std::uint32_t fmix32(std::uint32_t x) {
  return zmh3x32(x);
}
inline std::uint64_t fmix64(std::uint64_t x) {
  return zmh3x64(x);
}

// The i-th 32-bit word of `blocks`, in host byte order, at any alignment.
std::uint32_t getblock32(const std::uint8_t* blocks, int i);

// MurmurHash3 x86 32-bit of `byte_len` bytes.
std::uint32_t zmurmur32(const std::uint8_t* data, int byte_len, std::uint32_t seed);
// The 128-bit hash of `n` 64-bit words: out[0] = h1, out[1] = h2; returns h1.
// An odd last word is paired with the pad word zmh3x64(seed).
std::uint64_t zmurmur128(const std::uint64_t* words, int n, std::uint64_t seed,
                         std::uint64_t out[2]);
// h1 XOR h2 of the 128-bit hash.
std::uint64_t zmurmur64(const std::uint64_t* words, int n, std::uint64_t seed);
