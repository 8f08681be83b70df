// Differences of the normal cdf: a Taylor series for close arguments, the
// upper tails when both are positive.
#include <cmath>

#include "prob/normal.h"
#include "prob/normal_mixture.h"

namespace {

constexpr double kSeriesWidth = 0.0001;
constexpr double kInvSqrtTwoPi = 0.3989422804014327;
constexpr int kSeriesTerms = 8;

// Phi(b + delta) - Phi(b) = phi(b) sum over k >= 1 of
// delta^k / k! (-1)^(k-1) He_(k-1)(b), He the Hermite polynomials.
double taylor(double b, double delta) {
  double he_prev = 0.0;  // He_(k-2)
  double he = 1.0;       // He_(k-1)
  double power = delta;  // delta^k / k!
  double sum = 0.0;
  double sign = 1.0;
  for (int k = 1; k <= kSeriesTerms; ++k) {
    sum += sign * power * he;
    const double next = b * he - (k - 1) * he_prev;  // He_k
    he_prev = he;
    he = next;
    power *= delta / (k + 1);
    sign = -sign;
  }
  return kInvSqrtTwoPi * std::exp(-b * b / 2.0) * sum;
}

}  // namespace

double DiffNormal(double a, double b, double delta) {
  if (std::fabs(a - b) < kSeriesWidth) return taylor(b, delta);
  if (a > 0.0 && b > 0.0) return zprbnrm(-b) - zprbnrm(-a);
  return zprbnrm(a) - zprbnrm(b);
}
