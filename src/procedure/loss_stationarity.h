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

// The largest scaled gradient that still counts as stationary: see
// loss_stationarity.cpp.
inline constexpr double kLossStationarityTolerance = 1e-3;

// After a converged fit with _LOSS_ and no active bound, before the last
// pass: the objective's gradient at the estimates by central differences
// (passes of the model program at nearby points). When it is not small, a
// WARNING names the group, the objective and the largest scaled gradient,
// and points to the weights (return code 4). The context's pass results
// and parameters are left as the fit left them.
void check_loss_stationarity(RUVACOM* ctx, ZOPTGLOBAL* g);
