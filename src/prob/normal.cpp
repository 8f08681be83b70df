// The normal cdf through erf and erfc, and its quantile by rational
// approximations in sqrt(-2 ln q), with Newton's method on ln Phi for the
// far lower tail.
#include <cmath>

#include "host/missing.h"
#include "prob/constants.h"
#include "prob/normal.h"

namespace {

constexpr double kFarTail = 1e-16;        // below it the quantile is found by Newton
constexpr double kCentralBound = 0.01;    // q above it: the central approximation
constexpr double kSqrtTwoLn2 = 1.1774100225154747;
constexpr double kQuantileOfOne = 7.941345326170997;
constexpr double kQuantileOfZeroSquared = 1416.792837;  // zprobit(0)^2
constexpr int kMaxNewtonEvaluations = 30;

constexpr double kN1[8] = {1.4756646266356057,  3.827787912267809,   3.926527220876258,
                           2.0524292014826053,  0.5906175347671243,  0.09433047102597236,
                           0.007748014532123519, 0.00023850990628812184};
constexpr double kD1[8] = {1.0,                 2.757985744718407,   3.0193046324086072,
                           1.6853868285749263,  0.5155497927835685,  0.08675117268832777,
                           0.007472090148248392, 0.00023846672191006805};
constexpr double kN2[9] = {1.3896718225467155e-5, 0.0009933095513250212, 0.021322238814693088,
                           0.1971184884114817,    0.9208235553699621,    2.302486886454419,
                           2.9349133839409465,    1.4756630668977935,    2.2366406817573622e-7};
constexpr double kD2[8] = {1.389640654034189e-5, 0.000977052221781334, 0.020255719894916695,
                           0.1775558927085442,   0.7785719242838022,   1.8195065884540687,
                           2.152916059924272,    1.0};

template <int N>
double polynomial(const double (&c)[N], double t) {
  double s = c[N - 1];
  for (int i = N - 2; i >= 0; --i) s = s * t + c[i];
  return s;
}

// The floor of the log-scale Newton: the quantile of the smallest normal
// double times 100.
double newton_floor() { return -std::sqrt(-2.0 * std::log(2.225073858507202e-306)); }

}  // namespace

double zprbnrm(double x) {
  // Without this the NaN would come back with its sign bit cleared and no
  // longer test as missing.
  if (is_missing(x)) return missing_value();
  const double h = x * kInvSqrtTwo;
  if (x > 0.0) return (1.0 + zferf(h)) / 2.0;
  return zferfc(-h) / 2.0;
}

double szprobit(double p) {
  if (is_missing(p) || !(p >= 0.0 && p <= 1.0)) return missing_value();
  const double lp = std::log(p);
  double z = -std::sqrt(-2.0 * lp);
  for (int evaluations = 1;; ++evaluations) {
    double lpl, lpr, ldens;
    if (zlognrm(z, &lpl, &lpr, &ldens) != 0) return newton_floor();
    const double miss = lpl - lp;
    z -= std::exp(lpl - ldens) * miss;
    if (evaluations >= kMaxNewtonEvaluations) return newton_floor();
    if (std::fabs(miss) < 1e-12 * std::fabs(lp)) return z;
  }
}

double zprobit(double p) {
  if (is_missing(p) || !(p >= 0.0 && p <= 1.0)) return missing_value();
  if (p == 0.0) return -std::sqrt(kQuantileOfZeroSquared);
  if (p == 1.0) return kQuantileOfOne;
  if (p < kFarTail) return szprobit(p);
  const double q = std::fmin(p, 1.0 - p);
  const double r = std::sqrt(-2.0 * std::log(q)) - kSqrtTwoLn2;
  double z;
  if (q > kCentralBound) {
    z = r * polynomial(kN1, r) / polynomial(kD1, r);
  } else {
    const double u = 1.0 / r;
    z = r * polynomial(kN2, u) / polynomial(kD2, u);
  }
  return p > 0.5 ? z : -z;
}
