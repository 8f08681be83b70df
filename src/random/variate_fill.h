// The common form of the variates: the uniform source, the special missing
// value for invalid parameters, and the buffer fill that repeats a single
// draw element by element.
#pragma once

#include <cstdint>

#include "host/missing.h"
#include "random/random_record.h"

namespace variates {

// The stream's next uniform, strictly between 0 and 1.
inline double uniform(MRandPtr q) {
  return q->rangen(q->Blob);
}

// The value of a variate whose parameters are invalid: drawn from nothing.
inline double invalid() {
  return special_missing_value();
}

// Rejection loops stop after this many trials and give the special missing
// value; a sound stream never comes near it.
inline constexpr long kMaxTrials = 1000000;

// Writes VBuffer[0 .. NBuffer-1] with successive single draws, exactly as
// that many calls of Draw would return them (the count is read again after
// each element). 1, with nothing drawn, when there is no buffer.
template <auto Draw, class... P>
int fill(MRandPtr q, P... parameters) {
  zrand_check(q, 1);
  if (!q || !q->VBuffer || q->NBuffer < 1) return 1;
  for (std::int64_t i = 0; i < q->NBuffer; ++i) {
    zrand_check(q, 1);
    q->VBuffer[i] = Draw(q, parameters...);
  }
  return 0;
}

}  // namespace variates
