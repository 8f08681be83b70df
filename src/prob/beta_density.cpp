// The log density of the beta distribution.
#include <cmath>

#include "host/missing.h"
#include "prob/beta_engine.h"
#include "prob/log_gamma.h"

int zldnbet(double x, double a, double b, double* ldens) {
  if (!(x >= 0.0 && x <= 1.0) || !(a > 0.0) || !(b > 0.0)) return 1;
  if (x == 0.0) {
    *ldens = a == 1.0 ? std::log(b) : special_missing_value();
  } else if (x == 1.0) {
    *ldens = b == 1.0 ? std::log(a) : special_missing_value();
  } else {
    *ldens = (a - 1.0) * std::log(x) + (b - 1.0) * zln1px(-x) - zlbeta(a, b);
  }
  return 0;
}
