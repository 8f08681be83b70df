#include "procedure/loss_curvature.h"

#include <cmath>

#include "linalg/packed.h"
#include "procedure/data_pass.h"
#include "procedure/procedure_context.h"

namespace {

// The objective at the estimates moved by `a` steps in the moved parameter
// i and `b` steps in the moved parameter j (j < 0: i alone).
class NearbyObjective {
 public:
  NearbyObjective(RUVACOM* ctx, const std::vector<double>& estimates, const std::vector<int>& moved,
                  const std::vector<double>& scales, double step)
      : ctx_(ctx), estimates_(estimates), moved_(moved), scales_(scales), step_(step) {}

  double at(int i, int a, int j = -1, int b = 0) const {
    std::vector<double> theta = estimates_;
    theta[moved_[i]] += a * step_ * scales_[i];
    if (j >= 0) theta[moved_[j]] += b * step_ * scales_[j];
    return objective_with_fit_observations(ctx_, theta);
  }

 private:
  RUVACOM* ctx_;
  const std::vector<double>& estimates_;
  const std::vector<int>& moved_;
  const std::vector<double>& scales_;
  double step_;
};

}  // namespace

double objective_with_fit_observations(RUVACOM* ctx, const std::vector<double>& theta) {
  double f = 0.0;
  const long used = objective_at(ctx, theta.data(), &f);
  return used == ctx->iobs && std::isfinite(f) ? f : std::nan("");
}

// With h the step, f0 the objective at the estimates and f(+-i) one step
// either way in parameter i: gradient (f(+i) - f(-i)) / 2h, curvature
// (f(+i) - 2 f0 + f(-i)) / h^2 and, across two parameters,
// (f(+i+j) - f(+i) - f(+j) + 2 f0 - f(-i) - f(-j) + f(-i-j)) / 2h^2: all
// exact for a quadratic objective.
LossDerivatives loss_derivatives(RUVACOM* ctx, const std::vector<double>& estimates, const std::vector<int>& moved,
                                 const std::vector<double>& scales, double step, double objective) {
  const int n = static_cast<int>(moved.size());
  const NearbyObjective f(ctx, estimates, moved, scales, step);
  const double h2 = step * step;
  std::vector<double> up(n), down(n);
  LossDerivatives d;
  d.bordered.assign(static_cast<std::size_t>(zisub(n, n)) + 1, 0.0);
  for (int i = 0; i < n; ++i) {
    up[i] = f.at(i, 1);
    down[i] = f.at(i, -1);
    if (std::isnan(up[i]) || std::isnan(down[i])) return d;
    d.bordered[zisub(n, i)] = (up[i] - down[i]) / (2.0 * step);
    d.bordered[zisub(i, i)] = (up[i] - 2.0 * objective + down[i]) / h2;
    for (int j = 0; j < i; ++j) {
      const double both_up = f.at(i, 1, j, 1), both_down = f.at(i, -1, j, -1);
      if (std::isnan(both_up) || std::isnan(both_down)) return d;
      d.bordered[zisub(i, j)] =
          (both_up - up[i] - up[j] + 2.0 * objective - down[i] - down[j] + both_down) / (2.0 * h2);
    }
  }
  d.formed = true;
  return d;
}
