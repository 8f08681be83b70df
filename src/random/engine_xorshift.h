// The xorshift engines, all with 64-bit output: XOR64 (xorshift64*),
// XOR128 (xorshift128+ whose second word keeps the output), XOR1024
// (xorshift1024*), XOR4096 (xorshift4096*) and XORGENS (64 words with a
// Weyl sequence). They take seeds but no keys or thread numbers. The
// several-word engines fill their words from the seed with zrngfill64.
#pragma once

#include <cstdint>

#include "host/types.h"

struct Xor128State {
  std::uint64_t s0, s1;
};
template <int N>
struct XorRingState {
  std::uint64_t s[N];
  std::int32_t p;  // position in 0 .. N-1
  std::uint32_t unused;
};
using Xor1024State = XorRingState<16>;
using Xor4096State = XorRingState<64>;
struct XorgensState {
  std::uint64_t x[64];
  std::uint64_t w;  // Weyl counter
  std::int32_t i;   // position in 0 .. 63
  std::uint32_t unused;
};
static_assert(sizeof(Xor1024State) == 136 && sizeof(Xor4096State) == 520);
static_assert(sizeof(XorgensState) == 528);

QXMemSize zrng_XOR64_size();
QXMemSize zrng_XOR128_size();
QXMemSize zrng_XOR1024_size();
QXMemSize zrng_XOR4096_size();
QXMemSize zrng_XORGENS_size();

void zrng_XOR64_seed(void* blob, std::uint64_t seed);
// Writes nothing for a null blob.
void zrng_XOR128_seed(void* blob, std::uint64_t seed);
void zrng_XOR1024_seed(void* blob, std::uint64_t seed);
void zrng_XOR4096_seed(void* blob, std::uint64_t seed);
// 64 steps of the seed's own xorshift, the words with the Weyl sequence
// added, then 256 steps of warm-up.
void zrng_XORGENS_seed(void* blob, std::uint64_t seed);

inline std::uint64_t zrng_XOR64_uint64(void* blob) {
  auto* s = static_cast<std::uint64_t*>(blob);
  std::uint64_t x = *s;
  x ^= x >> 12;
  x ^= x << 25;
  x ^= x >> 27;
  *s = x;
  return x * 0x2545F4914F6CDD1Dull;
}

inline std::uint64_t zrng_XOR128_uint64(void* blob) {
  auto* s = static_cast<Xor128State*>(blob);
  std::uint64_t x = s->s0;
  const std::uint64_t y = s->s1;
  s->s0 = y;
  x ^= x << 23;
  const std::uint64_t t = x ^ y ^ (x >> 17) ^ (y >> 26);
  s->s1 = t + y;
  return s->s1;
}

inline std::uint64_t zrng_XOR1024_uint64(void* blob) {
  auto* s = static_cast<Xor1024State*>(blob);
  std::uint64_t a = s->s[s->p];
  s->p = (s->p + 1) & 15;
  std::uint64_t b = s->s[s->p];
  b ^= b << 31;
  b ^= b >> 11;
  a ^= a >> 30;
  s->s[s->p] = a ^ b;
  return s->s[s->p] * 1181783497276652981ull;
}

inline std::uint64_t zrng_XOR4096_uint64(void* blob) {
  auto* s = static_cast<Xor4096State*>(blob);
  std::uint64_t a = s->s[s->p];
  s->p = (s->p + 1) & 63;
  std::uint64_t b = s->s[s->p];
  b ^= b << 25;
  b ^= b >> 3;
  a ^= a >> 49;
  s->s[s->p] = a ^ b;
  return s->s[s->p] * 8372773778140471301ull;
}

inline constexpr std::uint64_t kXorgensWeyl = 0x61C8864680B583EBull;

// One step of the 64-word recurrence (lag 11, shifts 33, 26, 27, 29).
inline std::uint64_t xorgens_step(XorgensState* s) {
  s->i = (s->i + 1) & 63;
  std::uint64_t t = s->x[s->i];
  t ^= t << 33;
  t ^= t >> 26;
  std::uint64_t u = s->x[(s->i + 11) & 63];
  u ^= u << 27;
  u ^= u >> 29;
  return s->x[s->i] = t ^ u;
}

inline std::uint64_t zrng_XORGENS_uint64(void* blob) {
  auto* s = static_cast<XorgensState*>(blob);
  const std::uint64_t x = xorgens_step(s);
  s->w += kXorgensWeyl;
  return x + (s->w ^ (s->w >> 27));
}

// The engines as the method template takes them.
template <class State, const char* Name, QXMemSize StateSize, void (*Seed)(void*, std::uint64_t),
          std::uint64_t (*Next)(void*)>
struct XorshiftEngine {
  using Word = std::uint64_t;
  static constexpr const char* kName = Name;
  static constexpr QXMemSize kBlobSize = sizeof(State);
  static constexpr QXMemSize kStateSize = StateSize;
  static constexpr bool kKeys = false;
  static constexpr bool kThreads = false;
  static constexpr bool kCrude = false;
  static void seed(void* blob, Word s) { Seed(blob, s); }
  static Word next(void* blob) { return Next(blob); }
};

inline constexpr char kXor64Name[] = "XOR64";
inline constexpr char kXor128Name[] = "XOR128";
inline constexpr char kXor1024Name[] = "XOR1024";
inline constexpr char kXor4096Name[] = "XOR4096";
inline constexpr char kXorgensName[] = "XORGENS";
using Xor64Engine =
    XorshiftEngine<std::uint64_t, kXor64Name, 8, &zrng_XOR64_seed, &zrng_XOR64_uint64>;
using Xor128Engine =
    XorshiftEngine<Xor128State, kXor128Name, 16, &zrng_XOR128_seed, &zrng_XOR128_uint64>;
using Xor1024Engine =
    XorshiftEngine<Xor1024State, kXor1024Name, 128, &zrng_XOR1024_seed, &zrng_XOR1024_uint64>;
using Xor4096Engine =
    XorshiftEngine<Xor4096State, kXor4096Name, 512, &zrng_XOR4096_seed, &zrng_XOR4096_uint64>;
// No state can be loaded into XORGENS (its zrng_state answers -1).
using XorgensEngine =
    XorshiftEngine<XorgensState, kXorgensName, 0, &zrng_XORGENS_seed, &zrng_XORGENS_uint64>;
