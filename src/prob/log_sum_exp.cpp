// ln(e^x1 + e^x2) = max + ln(1 + e^(min - max)).
#include "prob/log_sum_exp.h"

#include <cmath>

#include "host/missing.h"
#include "prob/constants.h"
#include "prob/log_gamma.h"

double zlnSumOfExp(double x1, double x2) {
  if (is_missing(x1) || is_missing(x2)) return missing_value();
  // Also covers two equal infinities, where min - max would be NaN.
  if (x1 == x2) return x1 + kLn2;
  const double high = std::fmax(x1, x2);
  const double low = std::fmin(x1, x2);
  return high + zln1px(std::exp(low - high));
}

double LogSumOfExpProb(double x1, double x2, int flag) {
  const double sum = zlnSumOfExp(x1, x2);
  return flag == 1 && sum > 0.0 ? 0.0 : sum;
}
