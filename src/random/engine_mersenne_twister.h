// The Mersenne Twister engines of the methods MT1998, MTHYBRID, MT32 (32-bit
// words, three initialisations) and MT64 (64-bit words), with key and
// thread mixing by MurmurHash3. The blob is the start of a stream's state
// area: 624 words and a position (624 = spent), or 312 words, a position
// and 4 unused bytes.
#pragma once

#include <cstdint>

#include "host/types.h"

struct MT32State {
  std::uint32_t mt[624];
  std::int32_t p;
};
struct MT64State {
  std::uint64_t mt[312];
  std::int32_t p;
  std::uint32_t unused;
};
static_assert(sizeof(MT32State) == 2500);
static_assert(sizeof(MT64State) == 2504);

inline constexpr int kMT32Words = 624;
inline constexpr int kMT64Words = 312;

QXMemSize zrng_MT32_size();
QXMemSize zrng_MT64_size();

// mt[i] = 69069 mt[i-1].
void zrng_MT1998_seed(void* blob, std::uint32_t seed);
// mt[i] = 1812433253 (mt[i-1] XOR mt[i-1] >> 30) + i.
void zrng_MT2002_seed(void* blob, std::uint32_t seed);
// 1998 when any of the low 13 bits of the seed is set, else 2002.
void zrng_MTHYBRID_seed(void* blob, std::uint32_t seed);
void zrng_MT64_seed(void* blob, std::uint64_t seed);

// Hash a key (tag 15) or a thread number (tag 255) into every state word;
// 0 changes nothing. The position is kept.
void zrng_MT32_key(void* blob, std::uint32_t key);
void zrng_MT32_thread(void* blob, std::uint32_t thread);
void zrng_MT64_key(void* blob, std::uint64_t key);
void zrng_MT64_thread(void* blob, std::uint64_t thread);

// Regenerate all words of a spent state.
void mt32_twist(std::uint32_t* mt);
void mt64_twist(std::uint64_t* mt);

inline std::uint32_t mt32_temper(std::uint32_t y) {
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

inline std::uint64_t mt64_temper(std::uint64_t x) {
  x ^= (x >> 29) & 0x5555555555555555ull;
  x ^= (x << 17) & 0x71D67FFFEDA60000ull;
  x ^= (x << 37) & 0xFFF7EEE000000000ull;
  x ^= x >> 43;
  return x;
}

// The next output, never 0: a tempered 0 is drawn again. Only an all-zero
// state (which stays all zero) gives a whole block of zeros; it then
// yields 1 rather than drawing for ever.
inline std::uint32_t zrng_MT32_uint32(void* blob) {
  auto* s = static_cast<MT32State*>(blob);
  for (int zeros = 0; zeros < kMT32Words; ++zeros) {
    if (static_cast<std::uint32_t>(s->p) >= kMT32Words) {
      mt32_twist(s->mt);
      s->p = 0;
    }
    if (const std::uint32_t y = mt32_temper(s->mt[s->p++])) return y;
  }
  return 1;
}

// The next output as a double in (0,1).
inline double zrng_MT32_crude(void* blob) {
  return zrng_MT32_uint32(blob) * 0x1p-32;
}

inline std::uint64_t zrng_MT64_uint64(void* blob) {
  auto* s = static_cast<MT64State*>(blob);
  if (static_cast<std::uint32_t>(s->p) >= kMT64Words) {
    mt64_twist(s->mt);
    s->p = 0;
  }
  return mt64_temper(s->mt[s->p++]);
}

// The engines as the method template takes them.
struct MT32WordEngine {
  using Word = std::uint32_t;
  static constexpr QXMemSize kBlobSize = sizeof(MT32State);
  static constexpr QXMemSize kStateSize = 2496;
  static constexpr bool kKeys = true;
  static constexpr bool kThreads = true;
  static constexpr bool kCrude = true;
  static Word next(void* blob) { return zrng_MT32_uint32(blob); }
  static void key(void* blob, Word k) { zrng_MT32_key(blob, k); }
  static void thread(void* blob, Word t) { zrng_MT32_thread(blob, t); }
  static double crude(void* blob) { return zrng_MT32_crude(blob); }
};

struct MT1998Engine : MT32WordEngine {
  static constexpr const char* kName = "MT1998";
  static void seed(void* blob, Word s) { zrng_MT1998_seed(blob, s); }
};
struct MTHYBRIDEngine : MT32WordEngine {
  static constexpr const char* kName = "MTHYBRID";
  static void seed(void* blob, Word s) { zrng_MTHYBRID_seed(blob, s); }
};
struct MT2002Engine : MT32WordEngine {
  static constexpr const char* kName = "MT32";
  static void seed(void* blob, Word s) { zrng_MT2002_seed(blob, s); }
};

struct MT64Engine {
  using Word = std::uint64_t;
  static constexpr const char* kName = "MT64";
  static constexpr QXMemSize kBlobSize = sizeof(MT64State);
  static constexpr QXMemSize kStateSize = 2496;
  static constexpr bool kKeys = true;
  static constexpr bool kThreads = true;
  static constexpr bool kCrude = false;
  static void seed(void* blob, Word s) { zrng_MT64_seed(blob, s); }
  static Word next(void* blob) { return zrng_MT64_uint64(blob); }
  static void key(void* blob, Word k) { zrng_MT64_key(blob, k); }
  static void thread(void* blob, Word t) { zrng_MT64_thread(blob, t); }
};
