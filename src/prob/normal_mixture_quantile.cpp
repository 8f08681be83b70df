// The normal-mixture quantile: a bracket from the components' own quantiles,
// narrowed by Newton steps on the log tail (or false position), with
// bisection whenever a step would leave the bracket.
#include <cmath>

#include "host/missing.h"
#include "prob/normal.h"
#include "prob/normal_mixture_detail.h"

namespace {

constexpr int kMaxIterations = 200;
constexpr int kMaxWidenings = 60;
constexpr double kRelativeStep = 4.0 * 2.220446049250313e-16;

// The solver's view: G(x) = +-(ln tail(x) - QTarget), oriented to increase.
struct Target {
  NORMAL_MIX_ARG* q;
  double value = 0.0;  // G at the last point
  double slope = 0.0;  // G' at the last point
};

// Evaluates the mixture at x and the chosen target there.
int ComputeF(Target& t, double x) {
  NORMAL_MIX_ARG* q = t.q;
  if (q->Shooting < 1 || q->Shooting > 3) return 1000;
  q->Quantile = x;
  if (ComputeTheProbOrTheDens(q) != 0) return 1;
  if (q->Shooting == 3) {
    t.value = q->QTarget - q->LogRightPr;
    t.slope = std::exp(q->LogDensity - q->LogRightPr);
  } else {
    t.value = q->LogLeftPr - q->QTarget;
    t.slope = std::exp(q->LogDensity - q->LogLeftPr);
  }
  return 0;
}

// The smallest and largest component quantiles bracket the mixture's.
void ResetBracket(NORMAL_MIX_ARG* q, double z) {
  bool first = true;
  for (std::int64_t i = 0; i < q->n; ++i) {
    if (q->Proportions[i] <= 0.0) continue;
    const double x = q->Mu[i] + std::fmax(q->Sigma[i], kSmallestSigma) * z;
    q->LeftSupport = first ? x : std::fmin(q->LeftSupport, x);
    q->RightSupport = first ? x : std::fmax(q->RightSupport, x);
    first = false;
  }
  // Rounding in the component quantiles must not put the root outside.
  const double pad = 1e-3 * (q->RightSupport - q->LeftSupport) + kSmallestSigma;
  q->Left = q->LeftSupport - pad;
  q->Right = q->RightSupport + pad;
}

// Moves an end outwards until the target changes sign across the bracket.
int widen(Target& t, double* end, double direction) {
  double step = (t.q->Right - t.q->Left) + 1.0;
  for (int i = 0; i < kMaxWidenings; ++i) {
    const int rc = ComputeF(t, *end);
    if (rc != 0) return rc;
    if (direction * t.value >= 0.0) return 0;
    *end += direction * step;
    step *= 2.0;
  }
  return 1;
}

// Bracketed Newton (or Illinois false position for Shooting 1).
// g_left and g_right are the target's values at the bracket's ends.
int SolveWithOutShooting(Target& t, double x, double g_left, double g_right) {
  NORMAL_MIX_ARG* q = t.q;
  int kept = 0;  // which end false position kept last: -1 left, 1 right
  for (int it = 0; it < kMaxIterations; ++it) {
    const int rc = ComputeF(t, x);
    if (rc != 0) return rc;
    if (t.value == 0.0) return 0;
    if (t.value < 0.0) {
      q->Left = x;
      g_left = t.value;
      if (kept == -1) g_right /= 2.0;
      kept = -1;
    } else {
      q->Right = x;
      g_right = t.value;
      if (kept == 1) g_left /= 2.0;
      kept = 1;
    }
    double next = q->Shooting == 1
                      ? q->Left - g_left * (q->Right - q->Left) / (g_right - g_left)
                      : x - t.value / t.slope;
    if (!(next > q->Left && next < q->Right)) next = 0.5 * (q->Left + q->Right);
    const double scale = std::fmax(std::fabs(q->Left), std::fabs(q->Right));
    if (std::fabs(next - x) <= kRelativeStep * std::fabs(x) ||
        q->Right - q->Left <= kRelativeStep * scale) {
      return ComputeF(t, next);
    }
    x = next;
  }
  return 1;
}

}  // namespace

int ComputeTheQuantile(NORMAL_MIX_ARG* q) {
  if (q->Shooting < 1 || q->Shooting > 3) return 1000;
  const double p = q->Shooting == 3 ? q->targetSDF : q->Probability;
  if (!(p > 0.0 && p < 1.0)) {
    q->Quantile = missing_value();
    return 1;
  }
  q->QTarget = std::log(p);
  ResetBracket(q, q->Shooting == 3 ? -zprobit(p) : zprobit(p));
  Target t{q};
  int rc = widen(t, &q->Left, -1.0);
  if (rc != 0) return rc;
  const double g_left = t.value;
  rc = widen(t, &q->Right, 1.0);
  if (rc != 0) return rc;
  const double g_right = t.value;
  const double guess = q->InitialGuess;
  const double start = guess > q->Left && guess < q->Right ? guess : 0.5 * (q->Left + q->Right);
  rc = SolveWithOutShooting(t, start, g_left, g_right);
  q->LogRatio = q->LogDensity - (q->Shooting == 3 ? q->LogRightPr : q->LogLeftPr);
  return rc;
}
