// CAUCHY, TRIANGLE and WEIBULL.
#include <cmath>

#include "random/variate_fill.h"
#include "random/variate_operations.h"

using variates::uniform;

// A point uniform in the disc of radius 1/2 about (1/2, 1/2) by rejection
// from the square; y = 0 has no ratio and is drawn again.
double GetOneVariateCAUCHY(MRandPtr q) {
  zrand_check(q, 1);
  for (long trial = 0; trial < variates::kMaxTrials; ++trial) {
    const double x = uniform(q) - 0.5;
    const double y = uniform(q) - 0.5;
    if (x * x + y * y <= 0.25 && y != 0) return x / y;
  }
  return variates::invalid();
}

double GetOneVariateTRIANGLE(MRandPtr q, double h) {
  zrand_check(q, 1);
  if (!(h >= 0 && h <= 1)) return variates::invalid();
  const double u = uniform(q);
  if (u <= h) return std::sqrt(u * h);
  return 1 - std::sqrt((1 - h) - u * (1 - h));
}

double GetOneVariateWEIBULL(MRandPtr q, double shape, double scale) {
  zrand_check(q, 1);
  if (!(shape > 0 && scale > 0)) return variates::invalid();
  return scale * std::pow(-std::log(uniform(q)), 1 / shape);
}

int FillTheBufferCAUCHY(MRandPtr q) {
  return variates::fill<&GetOneVariateCAUCHY>(q);
}
int FillTheBufferTRIANGLE(MRandPtr q, double h) {
  return variates::fill<&GetOneVariateTRIANGLE>(q, h);
}
int FillTheBufferWEIBULL(MRandPtr q, double shape, double scale) {
  return variates::fill<&GetOneVariateWEIBULL>(q, shape, scale);
}
