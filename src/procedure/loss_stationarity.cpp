#include "procedure/loss_stationarity.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

#include "host/services.h"
#include "optim/optimiser.h"
#include "procedure/data_pass.h"
#include "procedure/group_name.h"
#include "procedure/procedure_context.h"

// The test. With F the objective and theta_j the estimates, the scaled
// gradient of parameter j is |dF/dtheta_j| s_j / |F|, s_j = |theta_j| (1
// for a parameter at zero, as the parameter-change criterion scales): the
// relative change of F, to first order, per relative change of theta_j,
// whatever the units of the parameter or of the loss. F counts as
// stationary when every scaled gradient is at most 1e-3: a change of one
// part in a thousand in any parameter then moves F by at most a millionth
// of itself. Weights that make the steps those of the loss make its
// gradient the weighted least-squares gradient, which the fit's own
// convergence test drives to zero: the guide's Poisson fit, converged at
// the default CONVERGE=, leaves 2e-5. A loss the steps do not minimise
// leaves values near 1 (0.5 and 1.7 for sqrt((y-f)**2 + 1) on Puromycin).
// The differences are taken at theta_j +- 1e-4 s_j; their rounding and
// truncation errors are near 1e-10 in the scaled gradient.

namespace {

constexpr int kMsgNotMinimised = 1015;
constexpr double kRelativeStep = 1e-4;
// The objective at the estimates, recomputed, must be the fit's: a program
// that reads what only the fit's passes set (_N_, _ITER_, CONTROL values
// kept across passes) cannot be re-run faithfully, and is not judged.
constexpr double kSameObjective = 1e-9;

// The objective at `theta`; NaN when the pass does not use the fit's
// observations.
double objective_or_nan(RUVACOM* ctx, const std::vector<double>& theta, long used) {
  double f = 0.0;
  const long n = objective_at(ctx, theta.data(), &f);
  return n == used && std::isfinite(f) ? f : std::nan("");
}

double scale_of(double theta) { return theta != 0.0 ? std::fabs(theta) : 1.0; }

// The largest scaled gradient, and the parameter it belongs to in *which;
// negative when a pass could not be made.
double largest_scaled_gradient(RUVACOM* ctx, const std::vector<double>& estimates, double f0, int* which) {
  double largest = 0.0;
  const long used = ctx->iobs;
  std::vector<double> theta = estimates;
  for (int j = 0; j < ctx->nparm; ++j) {
    const double h = kRelativeStep * scale_of(estimates[j]);
    theta[j] = estimates[j] + h;
    const double up = objective_or_nan(ctx, theta, used);
    theta[j] = estimates[j] - h;
    const double down = objective_or_nan(ctx, theta, used);
    theta[j] = estimates[j];
    if (std::isnan(up) || std::isnan(down)) return -1.0;
    const double scaled = std::fabs(up - down) / (2.0 * kRelativeStep * std::max(std::fabs(f0), DBL_MIN));
    if (scaled > largest) {
      largest = scaled;
      *which = j;
    }
  }
  return largest;
}

void warn(RUVACOM* ctx, double f0, double gradient, int which) {
  const CMPSYM* p = ctx->parmsym->s[which];
  xpmlog(305, kMsgNotMinimised, by_group_phrase(ctx).c_str(), f0, static_cast<int>(p->nameleng), p->name,
         gradient * 1e-3);
  ruva_raise_rc(ctx, 4);
}

}  // namespace

void check_loss_stationarity(RUVACOM* ctx, ZOPTGLOBAL* g) {
  if (!ctx->lossflag || ctx->nparm < 1 || g->state.marqu->nact != 0) return;
  const std::vector<double> estimates(ctx->parm, ctx->parm + ctx->nparm);
  const double f0 = objective_or_nan(ctx, estimates, ctx->iobs);
  int which = 0;
  double gradient = -1.0;
  if (!std::isnan(f0) && std::fabs(f0 - ctx->sse) <= kSameObjective * std::fabs(ctx->sse))
    gradient = largest_scaled_gradient(ctx, estimates, f0, &which);
  if (gradient > kLossStationarityTolerance) warn(ctx, f0, gradient, which);
}
