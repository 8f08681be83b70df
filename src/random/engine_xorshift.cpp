#include "random/engine_xorshift.h"

#include "random/seed_words.h"

QXMemSize zrng_XOR64_size() {
  return 8;
}
QXMemSize zrng_XOR128_size() {
  return sizeof(Xor128State);
}
QXMemSize zrng_XOR1024_size() {
  return sizeof(Xor1024State);
}
QXMemSize zrng_XOR4096_size() {
  return sizeof(Xor4096State);
}
QXMemSize zrng_XORGENS_size() {
  return sizeof(XorgensState);
}

void zrng_XOR64_seed(void* blob, std::uint64_t seed) {
  *static_cast<std::uint64_t*>(blob) = seed;
}

void zrng_XOR128_seed(void* blob, std::uint64_t seed) {
  if (!blob) return;
  std::uint64_t words[2];
  zrngfill64(seed, words, 2);
  *static_cast<Xor128State*>(blob) = {words[0], words[1]};
}

void zrng_XOR1024_seed(void* blob, std::uint64_t seed) {
  auto* s = static_cast<Xor1024State*>(blob);
  zrngfill64(seed, s->s, 16);
  s->p = 0;
}

void zrng_XOR4096_seed(void* blob, std::uint64_t seed) {
  auto* s = static_cast<Xor4096State*>(blob);
  zrngfill64(seed, s->s, 64);
  s->p = 0;
}

namespace {
std::uint64_t seed_step(std::uint64_t v) {
  v ^= v << 10;
  v ^= v >> 15;
  v ^= v << 4;
  v ^= v >> 13;
  return v;
}
}  // namespace

void zrng_XORGENS_seed(void* blob, std::uint64_t seed) {
  auto* s = static_cast<XorgensState*>(blob);
  std::uint64_t v = seed;
  for (int k = 0; k < 64; ++k) v = seed_step(v);
  std::uint64_t w = v;
  for (int k = 0; k < 64; ++k) {
    v = seed_step(v);
    w += kXorgensWeyl;
    s->x[k] = v + w;
  }
  s->i = 63;
  for (int k = 0; k < 256; ++k) xorgens_step(s);
  s->w = w;
}
