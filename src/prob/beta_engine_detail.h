// Internals of the beta engine shared by its source files.
#pragma once

#include <cmath>

#include "prob/beta_engine.h"

// ln x and ln(1 - x) from whichever of x and 1 - x is the smaller, and so
// the one the caller holds to full relative precision.
inline double log_of_x(double x, double onemx) {
  return x < 0.5 ? std::log(x) : std::log1p(-onemx);
}
inline double log_of_onemx(double x, double onemx) {
  return x < 0.5 ? std::log1p(-x) : std::log(onemx);
}

// Sets lpl, lpr and ldens at x, with onemx = 1 - x given as exactly as the
// caller knows it. Result 0, or 1 when no method evaluates the tail.
int ComputeTheProbability(ARGBET* q, double x, double onemx);

// The log of the lower tail (upper = false) or of the upper tail at x by
// integrating a beta-prime density. Result 0, or 1 when the quadrature fails.
int BetaIntegration(ARGBET* q, double x, double onemx, bool upper, double* log_tail);

// Solves for the quantile of a request with Objective bit 4 or 8.
int ComputeTheQuantile(ARGBET* q);
