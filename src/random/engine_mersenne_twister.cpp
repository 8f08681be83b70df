#include "random/engine_mersenne_twister.h"

#include <cstring>

#include "random/hash_murmur3.h"

namespace {

constexpr std::uint32_t kKeyTag = 15;
constexpr std::uint32_t kThreadTag = 255;

inline std::uint32_t twist32(std::uint32_t upper, std::uint32_t lower, std::uint32_t far) {
  const std::uint32_t y = (upper & 0x80000000u) | (lower & 0x7FFFFFFFu);
  return far ^ (y >> 1) ^ ((0u - (y & 1u)) & 0x9908B0DFu);
}

inline std::uint64_t twist64(std::uint64_t upper, std::uint64_t lower, std::uint64_t far) {
  const std::uint64_t x = (upper & 0xFFFFFFFF80000000ull) | (lower & 0x7FFFFFFFull);
  return far ^ (x >> 1) ^ ((0ull - (x & 1u)) & 0xB5026F5AA96619E9ull);
}

void mix32(void* blob, std::uint32_t tag, std::uint32_t value) {
  if (value == 0) return;
  auto* s = static_cast<MT32State*>(blob);
  for (int i = 0; i < kMT32Words; ++i) {
    const std::uint32_t words[3] = {static_cast<std::uint32_t>(i), tag, value};
    std::uint8_t message[12];
    std::memcpy(message, words, sizeof message);
    s->mt[i] = zmurmur32(message, 12, s->mt[i]);
  }
}

void mix64(void* blob, std::uint64_t tag, std::uint64_t value) {
  if (value == 0) return;
  auto* s = static_cast<MT64State*>(blob);
  for (int i = 0; i < kMT64Words; ++i) {
    const std::uint64_t words[3] = {static_cast<std::uint64_t>(i), tag, value};
    s->mt[i] = zmurmur64(words, 3, s->mt[i]);
  }
}

}  // namespace

QXMemSize zrng_MT32_size() {
  return sizeof(MT32State);
}
QXMemSize zrng_MT64_size() {
  return sizeof(MT64State);
}

void mt32_twist(std::uint32_t* mt) {
  constexpr int n = kMT32Words;
  constexpr int m = 397;
  int k = 0;
  for (; k < n - m; ++k) mt[k] = twist32(mt[k], mt[k + 1], mt[k + m]);
  for (; k < n - 1; ++k) mt[k] = twist32(mt[k], mt[k + 1], mt[k + m - n]);
  mt[n - 1] = twist32(mt[n - 1], mt[0], mt[m - 1]);
}

void mt64_twist(std::uint64_t* mt) {
  constexpr int n = kMT64Words;
  constexpr int m = 156;
  int k = 0;
  for (; k < n - m; ++k) mt[k] = twist64(mt[k], mt[k + 1], mt[k + m]);
  for (; k < n - 1; ++k) mt[k] = twist64(mt[k], mt[k + 1], mt[k + m - n]);
  mt[n - 1] = twist64(mt[n - 1], mt[0], mt[m - 1]);
}

void zrng_MT1998_seed(void* blob, std::uint32_t seed) {
  auto* s = static_cast<MT32State*>(blob);
  s->mt[0] = seed;
  for (int i = 1; i < kMT32Words; ++i) s->mt[i] = 69069u * s->mt[i - 1];
  s->p = kMT32Words;
}

void zrng_MT2002_seed(void* blob, std::uint32_t seed) {
  auto* s = static_cast<MT32State*>(blob);
  s->mt[0] = seed;
  for (int i = 1; i < kMT32Words; ++i)
    s->mt[i] = 1812433253u * (s->mt[i - 1] ^ (s->mt[i - 1] >> 30)) + static_cast<std::uint32_t>(i);
  s->p = kMT32Words;
}

void zrng_MTHYBRID_seed(void* blob, std::uint32_t seed) {
  if (seed & 0x1FFFu)
    zrng_MT1998_seed(blob, seed);
  else
    zrng_MT2002_seed(blob, seed);
}

void zrng_MT64_seed(void* blob, std::uint64_t seed) {
  auto* s = static_cast<MT64State*>(blob);
  s->mt[0] = seed;
  for (int i = 1; i < kMT64Words; ++i)
    s->mt[i] = 6364136223846793005ull * (s->mt[i - 1] ^ (s->mt[i - 1] >> 62)) +
               static_cast<std::uint64_t>(i);
  s->p = kMT64Words;
}

void zrng_MT32_key(void* blob, std::uint32_t key) {
  mix32(blob, kKeyTag, key);
}
void zrng_MT32_thread(void* blob, std::uint32_t thread) {
  mix32(blob, kThreadTag, thread);
}
void zrng_MT64_key(void* blob, std::uint64_t key) {
  mix64(blob, kKeyTag, key);
}
void zrng_MT64_thread(void* blob, std::uint64_t thread) {
  mix64(blob, kThreadTag, thread);
}
