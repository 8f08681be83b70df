// Tail probabilities of t and F as incomplete beta functions.
#include <cmath>

#include "host/missing.h"
#include "prob/constants.h"
#include "prob/incomplete_beta.h"
#include "prob/t_f_beta.h"

double zpgt2f(double t2, double df) {
  double p, d;
  return zibeta(df / (t2 + df), df / 2.0, 0.5, &p, &d) == 0 ? p : -2.0;
}

double zpgt2(double t2, long df) { return zpgt2f(t2, static_cast<double>(df)); }

double zpgbeta(double t, long df) {
  if (df < 2 || is_missing(t) || std::fabs(t) >= kSqrtLargest) return special_missing_value();
  const double n = static_cast<double>(df);
  const double y = std::fmin(t * t / n, 1.0);
  double p, d;
  if (zibeta(y, 0.5, (n - 1.0) / 2.0, &p, &d) != 0) return special_missing_value();
  return 1.0 - p;
}

double zprbf(double f, double ndf, double ddf) {
  if (f < 0.0 || ddf <= 0.0 || ndf <= 0.0) return -1.0;
  if (f == 0.0) return 1.0;
  const double y = ddf / (f * ndf + ddf);
  if (y == 0.0) return 0.0;
  double p, d;
  return zibeta(y, ddf / 2.0, ndf / 2.0, &p, &d) == 0 ? p : -2.0;
}

int zpgt2New(double t2, double df, double* pvalue) {
  *pvalue = special_missing_value();
  if (!(t2 >= 0.0) || !(df > 0.0)) return -1;
  const double p = zpgt2f(t2, df);
  if (p < 0.0) return -2;
  *pvalue = p;
  return 0;
}

int zprbfNew(double f, double ndf, double ddf, double* pvalue) {
  *pvalue = special_missing_value();
  if (!(f >= 0.0) || !(ddf > 0.0) || !(ndf > 0.0)) return -1;
  // An F so large that y underflows has a tail probability of 0, as in zprbf.
  const double p = zprbf(f, ndf, ddf);
  if (p < 0.0) return -2;
  *pvalue = p;
  return 0;
}
