// The check, after a fit of a program that sets _LOSS_, that the estimates
// minimise the objective it reports (the sum of _WEIGHT_ times _LOSS_). The
// steps and the convergence measure are those of weighted least squares,
// which reach the loss's minimum only when the weights make the steps those
// of the loss (iteratively reweighted least squares); otherwise the fit
// stops where the weighted sum of squares is least and calls that
// converged.
#pragma once

struct RUVACOM;
struct ZOPTGLOBAL;

// After a converged fit with _LOSS_ and no active bound, before the last
// pass: the objective's gradient and curvature at the estimates, from the
// compiler's derivatives of the loss in one pass of the model program, and
// the Newton step they ask for, among the parameters the fit determines
// (those not linearly dependent on others). When that step is not small
// beside the standard errors of the estimates, or the curvature has no
// minimum, a WARNING names the group, the objective and the step's length,
// and points to the weights (return code 4). A fit without standard errors
// (no error degrees of freedom, a zero error variance) is not judged. The
// context's pass results and parameters are left as the fit left them.
void check_loss_stationarity(RUVACOM* ctx, ZOPTGLOBAL* g);
