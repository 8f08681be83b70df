// The counter-based engines FRY2X32, FRY2X64 and FRY4X64: output words are
// the Threefry blocks of successive counter blocks under a key made from
// the seed. A key XORs its finalised value into key word 1; a thread number
// replaces counter word 1 (two-word forms) or XORs into key word 2
// (FRY4X64). The count operation positions the stream at any output word.
#pragma once

#include <cstdint>

#include "host/types.h"
#include "random/engine_threefry_blocks.h"
#include "random/hash_murmur3.h"
#include "random/seed_words.h"

// The engine state: counter, key, the current output block, and the index
// of the next word of that block (0: the block is still to be computed).
template <class Word, int W, class Which>
struct FRY_S {
  Word ctr[W];
  Word key[W];
  Word rand[W];
  Which which;
};
using Fry2x32State = FRY_S<std::uint32_t, 2, std::uint32_t>;
using Fry2x64State = FRY_S<std::uint64_t, 2, std::uint64_t>;
using Fry4x64State = FRY_S<std::uint64_t, 4, std::uint64_t>;
static_assert(sizeof(Fry2x32State) == 28 && sizeof(Fry2x64State) == 56 &&
              sizeof(Fry4x64State) == 104);

namespace zrng_fry {

inline std::uint32_t fmix(std::uint32_t x) {
  return zmh3x32(x);
}
inline std::uint64_t fmix(std::uint64_t x) {
  return zmh3x64(x);
}
inline void fill_from_seed(std::uint32_t seed, std::uint32_t* words, int n) {
  zrngfill32(seed, words, n);
}
inline void fill_from_seed(std::uint64_t seed, std::uint64_t* words, int n) {
  zrngfill64(seed, words, n);
}

// The engine as the method template takes it.
template <class Wd, int W, class Which, const char* Name>
struct FryEngine {
  using Word = Wd;
  using State = FRY_S<Wd, W, Which>;
  static constexpr const char* kName = Name;
  static constexpr QXMemSize kBlobSize = sizeof(State);
  static constexpr QXMemSize kStateSize = sizeof(Word) * W;  // the counter block
  static constexpr bool kKeys = true;
  static constexpr bool kThreads = true;
  static constexpr bool kCrude = false;

  static State* state(void* blob) { return static_cast<State*>(blob); }
  static void compute_block(State* f) {
    Block<Word, W> ctr, key;
    for (int i = 0; i < W; ++i) {
      ctr.v[i] = f->ctr[i];
      key.v[i] = f->key[i];
    }
    const Block<Word, W> out = threefry_R(kRounds, ctr, key);
    for (int i = 0; i < W; ++i) f->rand[i] = out.v[i];
  }

  static void seed(void* blob, Word s) {
    State* f = state(blob);
    fill_from_seed(s, f->key, W);
    for (int i = 0; i < W; ++i) {
      f->ctr[i] = 0;
      f->rand[i] = 0;
    }
    f->ctr[0] = 1;  // the first block is block 1
    f->which = 0;
  }
  static void key(void* blob, Word k) {
    if (k != 0) state(blob)->key[1] ^= fmix(k);
  }
  static void thread(void* blob, Word t) {
    if (t == 0) return;
    if constexpr (W == 2)
      state(blob)->ctr[1] = fmix(t);
    else
      state(blob)->key[2] ^= fmix(t);
  }
  // Words of a block in order; after the last, the block number steps on,
  // its carry running into the higher counter words.
  static Word next(void* blob) {
    State* f = state(blob);
    if (f->which == 0) compute_block(f);
    const Word out = f->rand[f->which];
    if (++f->which == W) {
      f->which = 0;
      int i = 0;
      while (++f->ctr[i] == 0 && ++i < W) {
      }
    }
    return out;
  }
  // The next output becomes word c mod W of block c / W; the higher counter
  // words (the thread selector) stay.
  static void count(void* blob, Word c) {
    State* f = state(blob);
    f->ctr[0] = c / W;
    f->which = static_cast<Which>(c % W);
    if (f->which != 0) compute_block(f);
  }
};

inline constexpr char kFry2x32Name[] = "FRY2X32";
inline constexpr char kFry2x64Name[] = "FRY2X64";
inline constexpr char kFry4x64Name[] = "FRY4X64";

}  // namespace zrng_fry

using Fry2x32Engine = zrng_fry::FryEngine<std::uint32_t, 2, std::uint32_t, zrng_fry::kFry2x32Name>;
using Fry2x64Engine = zrng_fry::FryEngine<std::uint64_t, 2, std::uint64_t, zrng_fry::kFry2x64Name>;
using Fry4x64Engine = zrng_fry::FryEngine<std::uint64_t, 4, std::uint64_t, zrng_fry::kFry4x64Name>;

inline QXMemSize zrng_FRY2X32_size() {
  return Fry2x32Engine::kBlobSize;
}
inline QXMemSize zrng_FRY2X64_size() {
  return Fry2x64Engine::kBlobSize;
}
inline QXMemSize zrng_FRY4X64_size() {
  return Fry4x64Engine::kBlobSize;
}
inline void zrng_FRY2X32_count_32(void* blob, std::uint32_t ctr) {
  Fry2x32Engine::count(blob, ctr);
}
inline void zrng_FRY2X64_count_64(void* blob, std::uint64_t ctr) {
  Fry2x64Engine::count(blob, ctr);
}
inline void zrng_FRY4X64_count_64(void* blob, std::uint64_t ctr) {
  Fry4x64Engine::count(blob, ctr);
}
