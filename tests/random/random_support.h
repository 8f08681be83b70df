// Shared helpers of the random-number library tests: a host with its log
// captured, named values set from narrow text, a fixed automatic seed, and
// a uniform source scripted by the test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/named_values.h"
#include "random/zmrsrnd.h"
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

// Uniforms handed out in order from a list (the last one repeats), with
// the number drawn; installed as a record's `rangen` over its `Blob`.
struct Script {
  std::vector<double> values;
  long drawn = 0;
};

inline double scripted_uniform(void* blob) {
  auto* s = static_cast<Script*>(blob);
  const std::size_t i = static_cast<std::size_t>(s->drawn++);
  return s->values[i < s->values.size() ? i : s->values.size() - 1];
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

inline std::vector<double> uniforms(MERSENNE_RAND* q, int n) {
  std::vector<double> out(static_cast<std::size_t>(n));
  q->VBuffer = out.data();
  q->NBuffer = n;
  q->FillTheBufferUNIFORM(q);
  return out;
}

}  // namespace rt

using RandomTest = HostTest;
