#include "procedure/loss_stationarity.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "linalg/packed_matrix.h"
#include "linalg/sweep.h"
#include "optim/optimiser.h"
#include "procedure/convergence_status.h"
#include "procedure/data_pass.h"
#include "procedure/group_name.h"
#include "procedure/loss_curvature.h"
#include "procedure/procedure_context.h"

// The test. The fit's steps stop where the weighted least-squares gradient
// vanishes; whether that point minimises the objective F (the sum of
// _WEIGHT_ times _LOSS_) is F's own business. The check forms F's gradient
// g and curvature H at the estimates by central differences and the Newton
// step d = -H^-1 g towards F's minimum, and measures d in the standard
// errors of the estimates: its length in the metric of their covariance,
// sqrt(d' J'WJ d / s^2), s^2 the error variance the fit reports. Neither a
// constant added to F, nor a factor on F, nor the units of a parameter
// change d in standard errors, so the verdict depends on none of them.
// Weights that make the steps those of the loss (iteratively reweighted
// least squares) leave a step about as long as the fit's own last
// least-squares step: at the default CONVERGE= a binomial deviance, the
// guide's Poisson deviance and a Huber loss of scale 0.01 leave 4e-6, 9e-7
// and 1.2e-5. A loss the steps do not minimise leaves steps near 1 or
// longer (sqrt((y-f)**2 + 1) on Puromycin: 3.4). The step is held to 1e-2,
// or to ten times the fit's own step when the fit's convergence test left
// a longer one. A curvature that is not positive definite has no minimum
// nearby at all.
//
// The differences step 1e-3 of each parameter's standard error given the
// others, well inside the region where a smooth F is quadratic (a Huber
// loss's quadratic zone too), and far enough that rounding in F, also
// shifted by a large constant, stays small beside the differences.

namespace {

constexpr int kMsgNotMinimised = 1015;
constexpr int kMsgNoMinimum = 1016;
constexpr double kStep = 1e-3;
constexpr double kLongestStep = 1e-2;
// The objective at the estimates, recomputed, must be the fit's: a program
// that reads what only the fit's passes set (_N_, _ITER_, CONTROL values
// kept across passes) cannot be re-run faithfully, and is not judged.
constexpr double kSameObjective = 1e-9;
// A pivot of the curvature below this part of its diagonal counts as not
// positive.
constexpr double kPivotTolerance = 1e-9;
// A fit stopped by a loose convergence test leaves a least-squares step of
// its own, and the loss's step is about as long.
constexpr double kFitStepFactor = 10;

// The metric of the covariance of the estimates at the estimates, and the
// length in it of the fit's own remaining least-squares step.
struct FitMetric {
  bool formed = false;
  std::vector<double> inverse_covariance;  // J'WJ / s^2, packed, order nparm
  std::vector<double> conditional;         // 1 / sqrt(J'WJ_jj / s^2): standard errors given the others
  double fit_step = 0;                     // (J'WJ)^-1 J'Wr in standard errors
};

// Solves (curvature block) x = (border row) of the bordered packed matrix
// (order n + 1) by sweeping; false when the block is not positive
// definite. The sign of x does not matter to its length.
bool solve_bordered(std::vector<double> bordered, int n, std::vector<double>* x) {
  std::vector<char> status(n + 1, '0');
  std::vector<double> diag(n + 1), work(n + 1);
  const int swept = zsweepr(bordered.data(), 0, n - 1, n + 1, status.data(), diag.data(), work.data(),
                            kPivotTolerance, nullptr, "0d", nullptr, 1);
  x->assign(bordered.begin() + zisub(n, 0), bordered.begin() + zisub(n, n));
  return swept == n;
}

double length_in_standard_errors(FitMetric& m, std::vector<double> step) {
  return std::sqrt(zmxq1(step.data(), m.inverse_covariance.data(), static_cast<int>(step.size()), 1));
}

FitMetric fit_metric(RUVACOM* ctx, const std::vector<double>& estimates) {
  const int n = ctx->nparm;
  FitMetric m;
  std::vector<double> xpx(static_cast<std::size_t>(zisub(n, n)) + 1);
  if (cross_products_at(ctx, estimates.data(), xpx.data()) != ctx->iobs) return m;
  const double s2 = error_mean_square(ctx, n, xpx[zisub(n, n)]);
  if (wzmis(s2) || !(s2 > 0) || !std::isfinite(s2)) return m;
  m.inverse_covariance.assign(xpx.begin(), xpx.begin() + zisub(n, 0));
  for (double& v : m.inverse_covariance) v /= s2;
  for (int j = 0; j < n; ++j) {
    const double v = m.inverse_covariance[zisub(j, j)];
    if (!(v > 0) || !std::isfinite(v)) return m;
    m.conditional.push_back(1.0 / std::sqrt(v));
  }
  std::vector<double> step;
  if (solve_bordered(xpx, n, &step)) m.fit_step = length_in_standard_errors(m, step);
  m.formed = true;
  return m;
}

// The objective's Newton step in standard errors (infinite when its
// curvature is not positive definite), and the tolerance it is held to;
// NaN when a pass failed.
struct Verdict {
  double step = std::nan("");
  double tolerance = kLongestStep;
};

Verdict judge(RUVACOM* ctx, const std::vector<double>& estimates, double f0) {
  Verdict v;
  FitMetric m = fit_metric(ctx, estimates);
  if (!m.formed) return v;
  const LossDerivatives d = loss_derivatives(ctx, estimates, m.conditional, kStep, f0);
  if (!d.formed) return v;
  v.tolerance = std::max(kLongestStep, kFitStepFactor * m.fit_step);
  std::vector<double> step;
  if (!solve_bordered(d.bordered, ctx->nparm, &step)) {
    v.step = std::numeric_limits<double>::infinity();
    return v;
  }
  for (std::size_t j = 0; j < step.size(); ++j) step[j] *= m.conditional[j];
  v.step = length_in_standard_errors(m, step);
  return v;
}

void warn(RUVACOM* ctx, double f0, double length) {
  if (std::isinf(length))
    xpmlog(305, kMsgNoMinimum, by_group_phrase(ctx).c_str(), f0);
  else
    xpmlog(305, kMsgNotMinimised, by_group_phrase(ctx).c_str(), f0, length);
  ruva_raise_rc(ctx, 4);
}

}  // namespace

void check_loss_stationarity(RUVACOM* ctx, ZOPTGLOBAL* g) {
  if (!ctx->lossflag || ctx->nparm < 1 || g->state.marqu->nact != 0) return;
  const std::vector<double> estimates(ctx->parm, ctx->parm + ctx->nparm);
  const double f0 = objective_with_fit_observations(ctx, estimates);
  if (std::isnan(f0) || !(std::fabs(f0 - ctx->sse) <= kSameObjective * std::fabs(ctx->sse))) return;
  const Verdict v = judge(ctx, estimates, f0);
  if (v.step > v.tolerance) warn(ctx, f0, v.step);
}
