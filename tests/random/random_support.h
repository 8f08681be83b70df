// Shared helpers of the random-number library tests: a host with its log
// captured, named values set from narrow text, a fixed automatic seed, a
// uniform source scripted by the test, and method records seeded directly.
#pragma once

#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/named_values.h"
#include "random/engine_mersenne_twister.h"
#include "random/method_record.h"
#include "random/random_record.h"
#include "support/host_fixture.h"

namespace rt {

inline std::u32string wide(const std::string& s) {
  return {s.begin(), s.end()};
}

inline void set_text(const std::string& name, const std::string& value) {
  const std::u32string n = wide(name), v = wide(value);
  qxnrtset(reinterpret_cast<const QXChar*>(n.c_str()), 0,
           reinterpret_cast<const QXChar*>(v.c_str()), 0);
}

inline void set_number(const std::string& name, double value) {
  const std::u32string n = wide(name);
  qxnrdset(reinterpret_cast<const QXChar*>(n.c_str()), 0, value);
}

// Every automatic seed of the process becomes `seed`.
inline void fix_automatic_seed(double seed) {
  set_number("qxbug.RNGSEED", seed);
}

inline int count(const std::string& text, const std::string& piece) {
  int n = 0;
  for (auto p = text.find(piece); p != std::string::npos; p = text.find(piece, p + 1)) ++n;
  return n;
}

// Uniforms handed out in order from a list (the last one repeats, or the
// whole list when `cycle` is set), with the number drawn; installed as a
// record's `rangen` over its `Blob`.
struct Script {
  std::vector<double> values;
  long drawn = 0;
  bool cycle = false;
};

inline double scripted_uniform(void* blob) {
  auto* s = static_cast<Script*>(blob);
  const std::size_t n = s->values.size();
  const std::size_t i = static_cast<std::size_t>(s->drawn++);
  return s->values[s->cycle ? i % n : (i < n ? i : n - 1)];
}

inline void use_script(MERSENNE_RAND* q, Script* script) {
  q->Blob = script;
  q->rangen = &scripted_uniform;
}

// A record set up as the procedure sets up its bootstrap stream.
inline void make_stream(MERSENNE_RAND* q, double seed, char* method = nullptr) {
  zmrsClear(q);
  q->UserSeed = seed;
  q->UserMethod = method;
  zmrsrnd(q);
}

// A record of its own, set up as the procedure sets up its stream.
inline std::unique_ptr<MERSENNE_RAND> new_stream(double seed, const char* method = nullptr) {
  auto q = std::make_unique<MERSENNE_RAND>();
  make_stream(q.get(), seed, const_cast<char*>(method));
  return q;
}

// A record whose uniforms come from `script`.
inline std::unique_ptr<MERSENNE_RAND> scripted(Script* script) {
  auto q = new_stream(1);
  use_script(q.get(), script);
  return q;
}

inline bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

inline std::vector<double> uniforms(MERSENNE_RAND* q, int n) {
  std::vector<double> out(static_cast<std::size_t>(n));
  q->VBuffer = out.data();
  q->NBuffer = n;
  q->FillTheBufferUNIFORM(q);
  return out;
}

// A method record with its own state area, seeded through its 32- or
// 64-bit seed slot as a stream seeds it.
struct Method {
  ZRNG_S rng{};
  alignas(8) unsigned char area[sizeof(ZRANMT)] = {};
  Method(ZrngFill fill, std::uint64_t seed) {
    fill(&rng, 0);
    if (rng.zrng_bits <= 32)
      rng.zrng_seed_32(area, static_cast<std::uint32_t>(seed));
    else
      rng.zrng_seed_64(area, seed);
  }
  std::uint32_t u32() { return rng.zrng_uint32(area); }
  std::uint64_t u64() { return rng.zrng_uint64(area); }
  template <class State>
  State& state() {
    return *reinterpret_cast<State*>(area);
  }
  MT32State& state32() { return state<MT32State>(); }
};

}  // namespace rt

using RandomTest = HostTest;
