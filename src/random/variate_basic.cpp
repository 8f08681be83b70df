// UNIFORM, NORMAL, LOGNORMAL and EXPONENTIAL.
#include <cmath>

#include "random/variate_fill.h"
#include "random/variate_operations.h"

using variates::uniform;

double GetOneVariateUNIFORM(MRandPtr q) {
  zrand_check(q, 1);
  return uniform(q);
}

// Marsaglia's polar method. The pair (1/2, 1/2) gives s = 0, which has no
// deviate, and is drawn again like a point outside the circle.
double MakeNormalSequence(MRandPtr q) {
  ZRANNOR& nor = q->nor;
  if (nor.HaveOne) {
    nor.HaveOne = 0;
    return nor.storedVariate;
  }
  for (long trial = 0; trial < variates::kMaxTrials; ++trial) {
    const double x1 = 2 * uniform(q) - 1;
    const double x2 = 2 * uniform(q) - 1;
    const double s = x2 * x2 + x1 * x1;
    if (s < 1 && s > 0) {
      const double f = std::sqrt(-2 * std::log(s) / s);
      nor.storedVariate = x2 * f;
      nor.HaveOne = 1;
      return x1 * f;
    }
  }
  return variates::invalid();
}

double GetOneVariateNORMAL(MRandPtr q) {
  zrand_check(q, 1);
  return MakeNormalSequence(q);
}

double GetOneVariateLOGNORMAL(MRandPtr q) {
  zrand_check(q, 1);
  const double z = MakeNormalSequence(q);
  return is_missing(z) ? z : std::exp(z);
}

double GetOneVariateEXPONENTIAL(MRandPtr q) {
  zrand_check(q, 1);
  return -std::log(uniform(q));
}

int FillTheBufferUNIFORM(MRandPtr q) {
  return variates::fill<&GetOneVariateUNIFORM>(q);
}
int FillTheBufferNORMAL(MRandPtr q) {
  return variates::fill<&GetOneVariateNORMAL>(q);
}
int FillTheBufferLOGNORMAL(MRandPtr q) {
  return variates::fill<&GetOneVariateLOGNORMAL>(q);
}
int FillTheBufferEXPONENTIAL(MRandPtr q) {
  return variates::fill<&GetOneVariateEXPONENTIAL>(q);
}
