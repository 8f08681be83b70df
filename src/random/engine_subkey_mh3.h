// Three small engines: the subtract-key counters SUBKEY32 and SUBKEY64,
// whose counter is stepped down by a key, and MH3, which iterates the
// 64-bit MurmurHash3 finaliser. Seeding sets the counter (or the hash word)
// and leaves the key alone; a key of 0 never moves the counter, so a stream
// with neither key nor thread number yields its seed on every draw.
#pragma once

#include <cstdint>

#include "host/types.h"
#include "random/hash_murmur3.h"

template <class Word>
struct SubkeyState {
  Word counter;
  Word key;
};
static_assert(sizeof(SubkeyState<std::uint32_t>) == 8);
static_assert(sizeof(SubkeyState<std::uint64_t>) == 16);

template <class W, const char* Name>
struct SubkeyEngine {
  using Word = W;
  static constexpr const char* kName = Name;
  static constexpr QXMemSize kBlobSize = sizeof(SubkeyState<W>);
  static constexpr QXMemSize kStateSize = sizeof(W);  // the counter
  static constexpr bool kKeys = true;
  static constexpr bool kThreads = false;
  static constexpr bool kCrude = false;
  static void seed(void* blob, Word s) { static_cast<SubkeyState<W>*>(blob)->counter = s; }
  static void key(void* blob, Word k) { static_cast<SubkeyState<W>*>(blob)->key = k; }
  static Word next(void* blob) {
    auto* s = static_cast<SubkeyState<W>*>(blob);
    s->counter -= s->key;
    return s->counter;
  }
};

inline constexpr char kSubkey32Name[] = "SUBKEY32";
inline constexpr char kSubkey64Name[] = "SUBKEY64";
using Subkey32Engine = SubkeyEngine<std::uint32_t, kSubkey32Name>;
using Subkey64Engine = SubkeyEngine<std::uint64_t, kSubkey64Name>;

struct MH3Engine {
  using Word = std::uint64_t;
  static constexpr const char* kName = "MH3";
  static constexpr QXMemSize kBlobSize = 8;
  static constexpr QXMemSize kStateSize = 8;
  static constexpr bool kKeys = false;
  static constexpr bool kThreads = false;
  static constexpr bool kCrude = false;
  static void seed(void* blob, Word s) { *static_cast<Word*>(blob) = s; }
  // zmh3x64 is a bijection with the fixed point 0, which seeding avoids.
  static Word next(void* blob) {
    auto* x = static_cast<Word*>(blob);
    *x = zmh3x64(*x);
    return *x;
  }
};
