#include "results/t_test.h"

#include <cmath>
#include <limits>

#include "host/missing.h"
#include "prob/t_f_beta.h"

namespace {
constexpr double kTiny = 2.225073858507202e-308;  // smallest normal double
constexpr double kLargest = std::numeric_limits<double>::max();
}  // namespace

int ruvatval(RUVA_TVAL* t) {
  const bool negligible = std::fabs(t->estimate) < kTiny && std::fabs(t->sder) < kTiny;
  if (wzmis(t->estimate) || wzmis(t->sder) || wzmis(t->dfe) || wzmis(t->alpha) || negligible) {
    t->tval = t->prob = t->lower = t->upper = missing_value();
    return 1;
  }
  if (std::fabs(t->sder) < kTiny) {
    t->tval = t->upper = kLargest;
    t->lower = -kLargest;
    t->prob = 0;
    return 0;
  }
  t->tval = t->estimate / t->sder;
  // Any negative result is a failure code of the probability function.
  const double p = zprbf(t->tval * t->tval, 1, t->dfe);
  t->prob = p < 0 ? missing_value() : p;
  double q = 0;
  if (zqt(1 - t->alpha / 2, t->dfe, &q) == 0) {
    t->lower = t->estimate - q * t->sder;
    t->upper = t->estimate + q * t->sder;
  } else {
    t->lower = t->upper = missing_value();
  }
  return 0;
}
