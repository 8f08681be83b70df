// P(X <= x) = Phi(sqrt(d)(s - 1/s)) + e^(2d) Phi(-sqrt(d)(s + 1/s)), s = sqrt(x).
// The second term's huge exponential and tiny erfc are combined into one
// exponential wherever erfc would take its asymptotic form.
#include "prob/inverse_gaussian.h"

#include <cmath>

#include "host/missing.h"
#include "prob/constants.h"
#include "prob/erfc_asymptotic.h"
#include "prob/normal.h"

double zprbigs(double x, double d) {
  if (is_missing(x) || is_missing(d) || !(d > 0.0)) return missing_value();
  if (x <= 0.0) return 0.0;
  const double s = std::sqrt(x);
  const double first = zprbnrm(std::sqrt(d) * (s - 1.0 / s));
  const double z = std::sqrt(d / 2.0) * (s + 1.0 / s);
  double second;
  if (z > 4.0) {
    // 2d - z^2, written so that nothing cancels when s is near 1.
    const double diff = s - 1.0 / s;
    const double exponent = -0.5 * d * diff * diff;
    second = exponent < kExpUnderflow
                 ? 0.0
                 : std::exp(exponent) * erfc_asymptotic_factor(z) / z / 2.0;
  } else {
    second = std::exp(2.0 * d) * zferfc(z) / 2.0;
  }
  return first + second;
}
