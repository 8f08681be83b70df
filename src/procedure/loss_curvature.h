// The gradient and curvature of the fit's objective (the sum of _WEIGHT_
// times _LOSS_) at the estimates, by central differences of passes of the
// model program at nearby points (the fit's own pass, through
// objective_at), for a program whose loss the compiler cannot
// differentiate. Each parameter moves in units of its own scale, so the
// results are those of the objective in the scaled parameters theta_j / s_j.
#pragma once

#include <vector>

struct RUVACOM;

// The objective's derivatives in the scaled parameters moved: the bordered
// packed matrix of order m + 1 (m of them) whose parameter block is the
// curvature and whose border row is the gradient; its corner is 0.
struct LossDerivatives {
  bool formed = false;  // false when a pass failed or left out an observation the fit used
  std::vector<double> bordered;
};

// The objective at `theta`; NaN when the pass does not use as many
// observations as the fit's last pass did, or the objective is not finite.
double objective_with_fit_observations(RUVACOM* ctx, const std::vector<double>& theta);

// Steps of `step` scales each way from `estimates` in the parameters
// `moved` (indices), scales[a] the scale of moved[a]; `objective` is the
// objective at the estimates. Makes m(m + 1) passes.
LossDerivatives loss_derivatives(RUVACOM* ctx, const std::vector<double>& estimates, const std::vector<int>& moved,
                                 const std::vector<double>& scales, double step, double objective);
