// The beta engine: request checks, and the log tails by the continued
// fraction of zibeta evaluated on the log scale, by the series' leading term
// next to 0 or 1, or by integration when the fraction does not converge.
#include <cmath>
#include <limits>

#include "host/missing.h"
#include "prob/beta_engine_detail.h"
#include "prob/beta_fraction.h"
#include "prob/constants.h"
#include "prob/log_gamma.h"

namespace {

constexpr double kLargestShape = 9007199254740992.0;  // 2^53
constexpr double kSmallestEps = 5.551115123125785e-16;
constexpr double kSmallestLowerBound = 1.491668147e-154;
constexpr double kLogZero = -std::numeric_limits<double>::infinity();

void CalculateTheMeanAndStdDeviation(ARGBET* q) {
  if (q->CalculatedTheMeanAndStdDeviation) return;
  const double sum = q->a + q->b;
  q->Mean = q->a / sum;
  q->StdDeviation = std::sqrt(q->a * q->b / (sum * sum * (sum + 1.0)));
  q->CalculatedTheMeanAndStdDeviation = 1;
}

// ln of the tail at X for shapes (A, B) by the continued fraction, given the
// log density; false when the fraction does not converge.
bool DoTheContinuedF(ARGBET* q, double X, double A, double B, double* log_tail) {
  if (X <= kSmallestNormal) return false;
  double f;
  if (!beta_continued_fraction(X, A, B, q->eps, &f)) return false;
  q->f = f;
  q->logx = std::log(X);
  q->UseAPlusOne = A < 1.0;
  *log_tail = std::log(f) + q->logx + q->ldens;
  return true;
}

// ln of one tail: the leading term next to its end, else the fraction
// (on the other tail too when a is small), else the integration.
int evaluate_tail(ARGBET* q, double x, double onemx, bool upper, double* log_tail) {
  const double X = upper ? onemx : x;
  const double A = upper ? q->b : q->a;
  const double B = upper ? q->a : q->b;
  q->SwitchX = upper;
  if (X <= q->AbsoluteLowerBound) {
    // I_X(A, B) = X^A (1 - X)^B / (A B(A, B)) (1 + O(X)).
    q->Method = 3;
    *log_tail = A * std::log(X) + B * std::log1p(-X) - std::log(A) - q->LogBetaAandB;
    return 0;
  }
  q->Method = 1;
  if (DoTheContinuedF(q, X, A, B, log_tail)) return 0;
  if (q->a < 0.1 && DoTheContinuedF(q, upper ? x : onemx, B, A, log_tail)) {
    q->SwitchX = !upper;
    return 0;
  }
  q->Method = 2;
  q->SwitchX = upper;
  return BetaIntegration(q, x, onemx, upper, log_tail);
}

}  // namespace

int ComputeTheProbability(ARGBET* q, double x, double onemx) {
  const double a = q->a, b = q->b;
  if (a > kLargestShape || b > kLargestShape || !(x >= 0.0 && x <= 1.0) || !(a > 0.0) ||
      !(b > 0.0))
    return 1;
  q->eps = std::fmax(q->eps, kSmallestEps);
  q->AbsoluteLowerBound = std::fmax(q->AbsoluteLowerBound, kSmallestLowerBound);
  CalculateTheMeanAndStdDeviation(q);
  q->am1 = a - 1.0;
  q->bm1 = b - 1.0;
  q->ab1 = a + b - 1.0;
  q->APlusB = a + b;
  q->LogBetaAandB = zlbeta(a, b);
  q->onemx = onemx;
  if (x == 0.0 || x == 1.0) {
    q->lpl = x == 0.0 ? kLogZero : 0.0;
    q->lpr = x == 0.0 ? 0.0 : kLogZero;
    return zldnbet(x, a, b, &q->ldens);
  }
  q->ldens = q->am1 * log_of_x(x, onemx) - q->LogBetaAandB + q->bm1 * log_of_onemx(x, onemx);
  const bool upper = beta_use_upper_tail(x, a, b) || onemx <= q->AbsoluteLowerBound;
  double log_tail;
  if (evaluate_tail(q, x, onemx, upper, &log_tail) != 0) {
    q->lpl = q->lpr = missing_value();
    return 1;
  }
  const double other = zln1px(-std::exp(log_tail));
  q->lpl = q->SwitchX ? other : log_tail;
  q->lpr = q->SwitchX ? log_tail : other;
  return 0;
}

int zlogbet(ARGBET* qbet) {
  if (qbet->Objective == 0) qbet->Objective = 1;
  const int objective = qbet->Objective;
  if (!(qbet->a > 0.0) || !(qbet->b > 0.0)) return 1;
  const bool quantile = objective & 12;
  if ((objective & 1) && !quantile && !(qbet->x >= 0.0 && qbet->x <= 1.0)) return 1;
  if ((objective & 4) && !(qbet->Prob >= 0.0 && qbet->Prob <= 1.0)) return 1;
  if ((objective & 8) && !(qbet->targetSDF >= 0.0 && qbet->targetSDF <= 1.0)) return 1;
  qbet->CalculatedTheMeanAndStdDeviation = 0;
  qbet->OriginalX = qbet->x;
  qbet->OriginalA = qbet->a;
  qbet->OriginalB = qbet->b;
  if (quantile) return ComputeTheQuantile(qbet);
  int rc = 0;
  if (objective & 1) rc = ComputeTheProbability(qbet, qbet->x, 1.0 - qbet->x);
  if (objective & 2 && zldnbet(qbet->x, qbet->a, qbet->b, &qbet->ldens) != 0) rc = 1;
  return rc;
}
