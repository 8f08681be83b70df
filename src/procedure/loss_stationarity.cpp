#include "procedure/loss_stationarity.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "host/globals.h"
#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "linalg/packed_matrix.h"
#include "linalg/sweep.h"
#include "linalg/sweep_inverse.h"
#include "optim/optimiser.h"
#include "procedure/convergence_status.h"
#include "procedure/data_pass.h"
#include "procedure/group_name.h"
#include "procedure/loss_curvature.h"
#include "procedure/loss_terms.h"
#include "procedure/procedure_context.h"
#include "procedure/step_memory.h"

// The test. The fit's steps stop where the weighted least-squares gradient
// vanishes; whether that point minimises the objective F (the sum of
// _WEIGHT_ times _LOSS_) is F's own business. The check forms F's gradient
// g and curvature H at the estimates and the Newton step d = -H^-1 g
// towards F's minimum, and measures d in the standard errors of the
// estimates: its length in the metric of their covariance,
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
// g and H come from the compiler's derivatives of _WEIGHT_ and _LOSS_,
// summed in the pass that forms J'WJ: one pass of the model program. A
// program it cannot differentiate gets them by central differences
// (loss_curvature.h), in m(m + 1) more passes.
//
// F is judged only along the directions the fit determines: parameters the
// sweep of J'WJ finds linearly dependent on others (as the fit's own sweep
// finds them, at SINGULAR=) are held at their estimates, and so F is left
// alone along the directions the data leave undetermined, where the
// steps do not go.

namespace {

constexpr int kMsgNotMinimised = 1015;
constexpr int kMsgNoMinimum = 1016;
// The differences step 1e-3 of each parameter's standard error given the
// others, well inside the region where a smooth F is quadratic (a Huber
// loss's quadratic zone too), and far enough that rounding in F, also
// shifted by a large constant, stays small beside the differences.
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

long packed_size(int n) { return static_cast<long>(n) * (n + 1) / 2; }

// The packed matrix of the rows and columns `rows` of the packed `a`, with
// `border` (one value per row of a, or null) as its last row and a 0 corner.
std::vector<double> restricted(const double* a, const std::vector<int>& rows, const double* border) {
  const int m = static_cast<int>(rows.size());
  std::vector<double> out(static_cast<std::size_t>(packed_size(border ? m + 1 : m)), 0.0);
  for (int i = 0; i < m; ++i) {
    for (int j = 0; j <= i; ++j) out[zisub(i, j)] = a[zisub(rows[i], rows[j])];
    if (border) out[zisub(m, i)] = border[rows[i]];
  }
  return out;
}

// What one pass at the estimates gives: J'WJ bordered (order n + 1), the
// objective and, from the compiler's derivatives, g and H (empty without).
struct AtEstimates {
  bool formed = false;
  double objective = 0;
  std::vector<double> xpx, gradient, curvature;
};

AtEstimates pass_at_estimates(RUVACOM* ctx, const std::vector<double>& estimates) {
  const int n = ctx->nparm;
  AtEstimates a;
  a.xpx.assign(static_cast<std::size_t>(packed_size(n + 1)), 0.0);
  if (loss_terms_at(ctx, estimates.data(), a.xpx.data(), &a.objective) != ctx->iobs) return a;
  if (!std::isfinite(a.objective) || !(std::fabs(a.objective - ctx->sse) <= kSameObjective * std::fabs(ctx->sse)))
    return a;
  if (const LossTerms* t = ctx->loss_terms) {
    a.gradient.assign(t->gradient, t->gradient + n);
    a.curvature.assign(t->curvature, t->curvature + packed_size(n));
  }
  a.formed = true;
  return a;
}

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

// The metric of the covariance of the estimates at the estimates, among the
// parameters the fit determines, and the length in it of the fit's own
// remaining least-squares step.
struct FitMetric {
  bool formed = false;
  std::vector<int> determined;             // the parameters, by index
  std::vector<double> inverse_covariance;  // J'WJ / s^2 among them, packed
  std::vector<double> conditional;         // 1 / sqrt(J'WJ_jj / s^2): standard errors given the others
  double fit_step = 0;                     // (J'WJ)^-1 J'Wr in standard errors
};

double length_in_standard_errors(FitMetric& m, std::vector<double> step) {
  return std::sqrt(zmxq1(step.data(), m.inverse_covariance.data(), static_cast<int>(step.size()), 1));
}

// Sweeps J'WJ as the fit sweeps it (scaled by its trace, at the fit's
// tolerance): the rows it pivots on are the determined parameters, and its
// border then holds the fit's own step among them.
std::vector<int> determined_parameters(const RUVACOM* ctx, std::vector<double> xpx, std::vector<double>* fit_step) {
  const int n = ctx->nparm;
  std::vector<int> rows;
  ZSWPN* swpi = zswpnsu(task_pool(), n + 1, nullptr, nullptr, 0);
  if (!swpi) ruva_out_of_memory(static_cast<long>(sizeof(ZSWPN)) + 25L * (n + 1));
  swpi->sing = ctx->zoptg->opts.sing;
  std::memset(swpi->sweepx, '0', static_cast<std::size_t>(n + 1));
  if (zswpn(xpx.data(), nullptr, n, n + 1, swpi) == 0)
    for (int j = 0; j < n; ++j)
      if (swpi->sweepx[j] == '1') {
        rows.push_back(j);
        fit_step->push_back(xpx[zisub(n, j)]);
      }
  zswpnfr(task_pool(), swpi);
  return rows;
}

FitMetric fit_metric(RUVACOM* ctx, const std::vector<double>& xpx) {
  const int n = ctx->nparm;
  FitMetric m;
  std::vector<double> step;
  m.determined = determined_parameters(ctx, xpx, &step);
  const int k = static_cast<int>(m.determined.size());
  const double s2 = error_mean_square(ctx, k, xpx[zisub(n, n)]);
  if (k == 0 || wzmis(s2) || !(s2 > 0) || !std::isfinite(s2)) return m;
  m.inverse_covariance = restricted(xpx.data(), m.determined, nullptr);
  for (double& v : m.inverse_covariance) v /= s2;
  for (int j = 0; j < k; ++j) {
    const double v = m.inverse_covariance[zisub(j, j)];
    if (!(v > 0) || !std::isfinite(v)) return m;
    m.conditional.push_back(1.0 / std::sqrt(v));
  }
  m.fit_step = length_in_standard_errors(m, step);
  m.formed = true;
  return m;
}

// F's derivatives in the scaled determined parameters theta_j / s_j, as
// loss_derivatives gives them: from the compiler's, or by differences where
// there are none or they are not all finite (the derivative of sqrt(u) where
// u is 0 with the parameters' derivative 0 is 0/0).
LossDerivatives scaled_derivatives(RUVACOM* ctx, const std::vector<double>& estimates, const AtEstimates& a,
                                   const FitMetric& m) {
  LossDerivatives d;
  if (!a.gradient.empty()) {
    d.bordered = restricted(a.curvature.data(), m.determined, a.gradient.data());
    const int k = static_cast<int>(m.determined.size());
    for (int i = 0; i <= k; ++i)
      for (int j = 0; j <= i && j < k; ++j)
        d.bordered[zisub(i, j)] *= (i < k ? m.conditional[i] : 1.0) * m.conditional[j];
    d.formed = std::all_of(d.bordered.begin(), d.bordered.end(), [](double v) { return std::isfinite(v); });
  }
  return d.formed ? d : loss_derivatives(ctx, estimates, m.determined, m.conditional, kStep, a.objective);
}

// The objective's Newton step in standard errors (infinite when its
// curvature is not positive definite), and the tolerance it is held to;
// NaN when a pass failed.
struct Verdict {
  double step = std::nan("");
  double tolerance = kLongestStep;
  double objective = 0;
};

Verdict judge(RUVACOM* ctx, const std::vector<double>& estimates) {
  Verdict v;
  const AtEstimates a = pass_at_estimates(ctx, estimates);
  if (!a.formed) return v;
  v.objective = a.objective;
  FitMetric m = fit_metric(ctx, a.xpx);
  if (!m.formed) return v;
  const LossDerivatives d = scaled_derivatives(ctx, estimates, a, m);
  if (!d.formed) return v;
  v.tolerance = std::max(kLongestStep, kFitStepFactor * m.fit_step);
  std::vector<double> step;
  if (!solve_bordered(d.bordered, static_cast<int>(m.determined.size()), &step)) {
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
  const Verdict v = judge(ctx, estimates);
  if (v.step > v.tolerance) warn(ctx, v.objective, v.step);
}
