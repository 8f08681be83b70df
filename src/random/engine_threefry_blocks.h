// The Threefry block functions of the Random123 family (2x32, 2x64 and
// 4x64 words): a counter block enciphered under a key block by rounds of
// add, rotate and xor, with the key schedule injected after every fourth
// round. Every generator in the library uses 20 rounds.
#pragma once

#include <algorithm>
#include <cstdint>

namespace zrng_fry {

template <class Word, int W>
struct Block {
  Word v[W];
};
using r123array2x32 = Block<std::uint32_t, 2>;
using r123array2x64 = Block<std::uint64_t, 2>;
using r123array4x64 = Block<std::uint64_t, 4>;
using threefry2x32_ctr_t = r123array2x32;
using threefry2x32_key_t = r123array2x32;
using threefry2x64_ctr_t = r123array2x64;
using threefry2x64_key_t = r123array2x64;
using threefry4x64_ctr_t = r123array4x64;
using threefry4x64_key_t = r123array4x64;

inline constexpr unsigned kRounds = 20;

inline std::uint32_t RotL_32(std::uint32_t x, unsigned n) {
  n &= 31;
  return (x << n) | (x >> ((32 - n) & 31));
}
inline std::uint64_t RotL_64(std::uint64_t x, unsigned n) {
  n &= 63;
  return (x << n) | (x >> ((64 - n) & 63));
}
inline std::uint32_t rotl(std::uint32_t x, unsigned n) {
  return RotL_32(x, n);
}
inline std::uint64_t rotl(std::uint64_t x, unsigned n) {
  return RotL_64(x, n);
}

// Rotation constants, repeating every 8 rounds; the four-word form takes
// one constant for each of its two pairs.
inline constexpr unsigned kRot2x32[8] = {13, 15, 26, 6, 17, 29, 16, 24};
inline constexpr unsigned kRot2x64[8] = {16, 42, 12, 31, 16, 32, 24, 21};
inline constexpr unsigned kRot4x64[8][2] = {{14, 16}, {52, 57}, {23, 40}, {5, 37},
                                            {25, 33}, {46, 12}, {58, 22}, {32, 32}};

template <class Word>
inline constexpr Word kParity = sizeof(Word) == 4 ? Word(0x1BD11BDAu) : Word(0x1BD11BDAA9FC1A22ull);

template <class Word>
inline void mix(Word& a, Word& b, unsigned rotation) {
  a += b;
  b = rotl(b, rotation) ^ a;
}

// `rounds` rounds (at most 32 for two words, 72 for four) of Threefry.
template <class Word, int W>
[[gnu::always_inline]] inline Block<Word, W> threefry_R(unsigned rounds, Block<Word, W> in,
                                                        Block<Word, W> k) {
  static_assert(W == 2 || W == 4);
  rounds = std::min(rounds, W == 2 ? 32u : 72u);
  Word ks[W + 1];
  ks[W] = kParity<Word>;
  for (int i = 0; i < W; ++i) {
    ks[i] = k.v[i];
    ks[W] ^= k.v[i];
  }
  Word* x = in.v;
  for (int i = 0; i < W; ++i) x[i] += ks[i];
#pragma GCC unroll 72
  for (unsigned r = 0; r < rounds; ++r) {
    if constexpr (W == 2) {
      mix(x[0], x[1], sizeof(Word) == 4 ? kRot2x32[r % 8] : kRot2x64[r % 8]);
    } else if (r % 2 == 0) {
      mix(x[0], x[1], kRot4x64[r % 8][0]);
      mix(x[2], x[3], kRot4x64[r % 8][1]);
    } else {
      mix(x[0], x[3], kRot4x64[r % 8][0]);
      mix(x[2], x[1], kRot4x64[r % 8][1]);
    }
    if (r % 4 == 3) {
      const unsigned s = (r + 1) / 4;
      for (int i = 0; i < W; ++i) x[i] += ks[(s + i) % (W + 1)];
      x[W - 1] += s;
    }
  }
  return in;
}

inline r123array2x32 threefry2x32_R(unsigned rounds, threefry2x32_ctr_t in, threefry2x32_key_t k) {
  return threefry_R(rounds, in, k);
}
inline r123array2x64 threefry2x64_R(unsigned rounds, threefry2x64_ctr_t in, threefry2x64_key_t k) {
  return threefry_R(rounds, in, k);
}
inline r123array4x64 threefry4x64_R(unsigned rounds, threefry4x64_ctr_t in, threefry4x64_key_t k) {
  return threefry_R(rounds, in, k);
}
inline r123array2x32 threefry2x32(threefry2x32_ctr_t in, threefry2x32_key_t k) {
  return threefry_R(kRounds, in, k);
}
inline r123array2x64 threefry2x64(threefry2x64_ctr_t in, threefry2x64_key_t k) {
  return threefry_R(kRounds, in, k);
}
inline r123array4x64 threefry4x64(threefry4x64_ctr_t in, threefry4x64_key_t k) {
  return threefry_R(kRounds, in, k);
}
// The user key is the key.
inline threefry2x32_key_t threefry2x32keyinit(threefry2x32_key_t uk) {
  return uk;
}
inline threefry2x64_key_t threefry2x64keyinit(threefry2x64_key_t uk) {
  return uk;
}
inline threefry4x64_key_t threefry4x64keyinit(threefry4x64_key_t uk) {
  return uk;
}

}  // namespace zrng_fry
