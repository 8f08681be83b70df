// Multivariate log-gamma as a sum of ordinary log-gammas.
#include "prob/multivariate_gamma.h"

#include "host/missing.h"
#include "prob/constants.h"
#include "prob/log_gamma.h"

namespace {
constexpr double kLnPi = 1.1447298858494002;
}

int zlgammaMV(double a, int m, double* Result) {
  *Result = special_missing_value();
  if (m < 1 || !(a - (m - 1) / 2.0 > kSmallestNormal)) return 1;
  double sum = m * (m - 1.0) / 4.0 * kLnPi;
  for (int j = 1; j <= m; ++j) sum += zlgamma(a - (j - 1) / 2.0);
  *Result = sum;
  return 0;
}

int zlbetaMV(double a, double b, int n, double* Result) {
  *Result = special_missing_value();
  if (n < 1 || !(a > (n - 1) / 2.0) || !(b > (n - 1) / 2.0)) return 1;
  if (n == 1) {
    *Result = zlbeta(a, b);
    return 0;
  }
  double ga, gb, gab;
  if (zlgammaMV(a, n, &ga) != 0 || zlgammaMV(b, n, &gb) != 0 || zlgammaMV(a + b, n, &gab) != 0)
    return 1;
  *Result = ga + gb - gab;
  return 0;
}
