#include "random/seed_macros.h"

#include <cmath>
#include <string>

#include "host/globals.h"
#include "host/services.h"

namespace {

constexpr int kNumericMacro = 0x46;

// A clock seed in 1 .. 10^9 from the fraction of the clock in thousands of
// seconds.
long clock_seed() {
  const double t = wzdttme() * 0.001;
  const double f = (t - std::floor(t)) * 1e9;
  return static_cast<long>(std::floor(f) + 1);
}

// Only a zero or negative seed is outside the range of every method; a
// larger seed is the one in force and is published as it is.
void repair(long* seed) {
  if (*seed <= 0) *seed = clock_seed();
}

void set_numeric_macro(MACRO_SCOPE* scope, const char* name, long value) {
  xjsympn(scope, name, 9, kNumericMacro, 0, static_cast<double>(value));
}

// The end seed of a 64-bit method is a hash of 64 bits, which a double would
// round: it is given in full digits as text.
void set_whole_number_macro(MACRO_SCOPE* scope, const char* name, long value) {
  const std::string text = std::to_string(value);
  xjsympc(scope, name, 9, text.data(), static_cast<int>(text.size()));
}

MACRO_SCOPE* macro_scope() {
  return xalanch(reinterpret_cast<void*>(task_record()[task::kSymbolTable]));
}

}  // namespace

void zranms(long* seed, int whichMacroVar) {
  if (!seed) return;
  if (whichMacroVar == 0) {
    repair(seed);
    return;
  }
  MACRO_SCOPE* scope = macro_scope();
  if (whichMacroVar == 2) {
    set_whole_number_macro(scope, "SYSRANEND", *seed);
    return;
  }
  repair(seed);
  if (whichMacroVar == 1) set_numeric_macro(scope, "SYSRANDOM", *seed);
}

void zmrsNoteUse(const MERSENNE_RAND* q, ZRANUSED* used) {
  if (!q || !used) return;
  used->drawn = 1;
  used->InitialSeed = q->InitialSeed;
  used->finalSeed = q->finalSeed;
}

void zranmsPublish(const ZRANUSED* used) {
  if (!used || !used->drawn || used->InitialSeed == 0) return;
  long initial = static_cast<long>(used->InitialSeed);
  zranms(&initial, 1);
  if (used->finalSeed != 0) {
    long final_seed = static_cast<long>(used->finalSeed);
    zranms(&final_seed, 2);
  }
}
