// The permuted congruential engines PCG32I and PCG64I: an LCG whose odd
// increment selects the stream, read through the RXS M XS permutation of
// the state after each step. Seeding gives increment 1 and state seed + 1;
// a key k makes the increment 2k + 1 and moves the state on by 2k.
#pragma once

#include <cstdint>

#include "host/types.h"

struct pcg_state_setseq_32 {
  std::uint32_t state;
  std::uint32_t inc;  // odd once seeded
};
struct pcg_state_setseq_64 {
  std::uint64_t state;
  std::uint64_t inc;  // odd once seeded
};
using pcg32i_random_t = pcg_state_setseq_32;
using pcg64i_random_t = pcg_state_setseq_64;

template <class W>
struct PcgTraits;
template <>
struct PcgTraits<std::uint32_t> {
  using State = pcg_state_setseq_32;
  static constexpr const char* kName = "PCG32I";
  static constexpr std::uint32_t kMultiplier = 747796405u;
  static std::uint32_t permute(std::uint32_t x) {
    x = (x ^ (x >> ((x >> 28) + 4))) * 277803737u;
    return x ^ (x >> 22);
  }
};
template <>
struct PcgTraits<std::uint64_t> {
  using State = pcg_state_setseq_64;
  static constexpr const char* kName = "PCG64I";
  static constexpr std::uint64_t kMultiplier = 6364136223846793005ull;
  static std::uint64_t permute(std::uint64_t x) {
    x = (x ^ (x >> ((x >> 59) + 5))) * 12605985483714917081ull;
    return x ^ (x >> 43);
  }
};

// The engine as the method template takes it.
template <class W>
struct PcgEngine {
  using Word = W;
  using Traits = PcgTraits<W>;
  using State = typename Traits::State;
  static constexpr const char* kName = Traits::kName;
  static constexpr QXMemSize kBlobSize = sizeof(State);
  static constexpr QXMemSize kStateSize = sizeof(W);  // `state`; `inc` is kept
  static constexpr bool kKeys = true;
  static constexpr bool kThreads = false;
  static constexpr bool kCrude = false;

  static void seed(void* blob, Word s) {
    auto* g = static_cast<State*>(blob);
    g->inc = 1;
    g->state = s + 1;
  }
  // A key and the key + 2^(w-1) give the same increment and state.
  static void key(void* blob, Word k) {
    if (k == 0) return;
    auto* g = static_cast<State*>(blob);
    g->inc = static_cast<Word>(2 * k) | 1;
    g->state += static_cast<Word>(2 * k);
  }
  // Step first, then permute the new state.
  static Word next(void* blob) {
    auto* g = static_cast<State*>(blob);
    g->state = g->state * Traits::kMultiplier + g->inc;
    return Traits::permute(g->state);
  }
};
using Pcg32iEngine = PcgEngine<std::uint32_t>;
using Pcg64iEngine = PcgEngine<std::uint64_t>;
