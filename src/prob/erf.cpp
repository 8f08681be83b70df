// erf and erfc by W. J. Cody's rational Chebyshev approximations on three
// intervals of |x|, with his published coefficients.
#include <cmath>

#include "host/missing.h"
#include "prob/constants.h"
#include "prob/erfc_asymptotic.h"
#include "prob/normal.h"

namespace {

constexpr double kA[5] = {3.16112374387056560E00, 1.13864154151050156E02,
                          3.77485237685302021E02, 3.20937758913846947E03,
                          1.85777706184603153E-1};
constexpr double kB[4] = {2.36012909523441209E01, 2.44024637934444173E02,
                          1.28261652607737228E03, 2.84423683343917062E03};
constexpr double kC[9] = {5.64188496988670089E-1, 8.88314979438837594E00,
                          6.61191906371416295E01, 2.98635138197400131E02,
                          8.81952221241769090E02, 1.71204761263407058E03,
                          2.05107837782607147E03, 1.23033935479799725E03,
                          2.15311535474403846E-8};
constexpr double kD[8] = {1.57449261107098347E01, 1.17693950891312499E02,
                          5.37181101862009858E02, 1.62138957456669019E03,
                          3.29079923573345963E03, 4.36261909014324716E03,
                          3.43936767414372164E03, 1.23033935480374942E03};

constexpr double kSmallBound = 0.46875;
constexpr double kTinyArgument = 4.2e-16;  // below it y^2 adds nothing to the series
constexpr double kHugeArgument = 1003.7843389117924;

// erf(x) for |x| <= 0.46875.
double erf_small(double x, double y) {
  const double s = y > kTinyArgument ? y * y : 0.0;
  double num = kA[4] * s;
  double den = s;
  for (int i = 0; i < 3; ++i) {
    num = (num + kA[i]) * s;
    den = (den + kB[i]) * s;
  }
  return x * (num + kA[3]) / (den + kB[3]);
}

// erfc(y) for 0.46875 < y <= 4.
double erfc_middle(double y) {
  double num = kC[8] * y;
  double den = y;
  for (int i = 0; i < 7; ++i) {
    num = (num + kC[i]) * y;
    den = (den + kD[i]) * y;
  }
  return std::exp(-y * y) * (num + kC[7]) / (den + kD[7]);
}

}  // namespace

// 1/sqrt(pi) - R(1/y^2), R the rational function in 1/y^2 of Cody's tables
// P and Q.
double erfc_asymptotic_factor(double y) {
  static constexpr double kP[6] = {3.05326634961232344E-1, 3.60344899949804439E-1,
                                   1.25781726111229246E-1, 1.60837851487422766E-2,
                                   6.58749161529837803E-4, 1.63153871373020978E-2};
  static constexpr double kQ[5] = {2.56852019228982242E00, 1.87295284992346047E00,
                                   5.27905102951428412E-1, 6.05183413124413191E-2,
                                   2.33520497626869185E-3};
  const double z = 1.0 / (y * y);
  double num = kP[5] * z;
  double den = z;
  for (int i = 0; i < 4; ++i) {
    num = (num + kP[i]) * z;
    den = (den + kQ[i]) * z;
  }
  return kInvSqrtPi - z * (num + kP[4]) / (den + kQ[4]);
}

void calerf(double x, double* result, int jint) {
  if (is_missing(x)) {
    *result = missing_value();
    return;
  }
  const double y = std::fabs(x);
  if (y <= kSmallBound) {
    const double e = erf_small(x, y);
    *result = jint == 0 ? e : 1.0 - e;
    return;
  }
  double r;  // erfc(y)
  if (y > kHugeArgument || (y > 4.0 && -y * y < kExpUnderflow))
    r = 0.0;
  else if (y > 4.0)
    r = erfc_asymptotic_factor(y) * std::exp(-y * y) / y;
  else
    r = erfc_middle(y);
  if (jint == 0)
    *result = x < 0.0 ? -((0.5 - r) + 0.5) : (0.5 - r) + 0.5;
  else
    *result = x < 0.0 ? 2.0 - r : r;
}

double zferf(double x) {
  double r;
  calerf(x, &r, 0);
  return r;
}

double zferfc(double x) {
  double r;
  calerf(x, &r, 1);
  return r;
}
