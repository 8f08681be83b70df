// The convergence status of a fit: the status of every parameter, the
// checks of the covariance of the estimates, and the ConvergenceStatus
// table.
#pragma once

struct RUVACOM;

enum COV_CHECK_STATUS { COV_PSD = 0, COV_NOT_PSD = 1, COV_SING = 2 };

// `converged` is 1 when the optimiser returned 0. Settles the parameter
// statuses, clears the rows of the parameters that are not estimated,
// checks the inverse and prints the table (not under NOPRINT).
COV_CHECK_STATUS converge_tab(RUVACOM* ctx, int converged);

// The ConvergenceStatus table for the fit's outcome; `warn` asks for the
// status "converged with a warning".
void show_convergence_table(RUVACOM* ctx, int converged, bool warn);

// The number of parameters estimated (status '1').
int estimated_count(const RUVACOM* ctx);
// The error degrees of freedom of the fit, as its analysis of variance
// has them: the observations used less the parameters estimated, with the
// rank of the active constraints over those parameters given back unless
// UNCORRECTEDDF.
long error_df(const RUVACOM* ctx);
// The residual variance of the fit: the weighted SSE over those degrees of
// freedom (missing below one).
double residual_mean_square(const RUVACOM* ctx);
// The error variance: SIGSQ= when given, else the residual variance.
double error_mean_square(const RUVACOM* ctx);
// Whether an error variance stands for an exact fit: missing, or the sum of
// squares it makes over the error degrees of freedom below the fit's own
// zero-objective threshold, SINGULAR= squared times the weighted sum of
// squared responses, so that the test holds whatever the data's scale.
// Where the responses give no scale (response_scale) the variance is
// compared with `floor` instead.
bool negligible_mean_square(const RUVACOM* ctx, double mse, double floor = 1.110223024625157e-16);
// The error variance for a weighted SSE other than the last pass's, before
// the covariance settles which parameters are estimated: SIGSQ= when given,
// else the SSE over the observations used less `ngood` parameters the data
// determine, plus the active constraints unless UNCORRECTEDDF.
double error_mean_square(const RUVACOM* ctx, int ngood, double sumwsse);

// 1 when the parameter block of xpx is not positive semi-definite.
int CheckEigVals(RUVACOM* ctx);
// Row k of the modified Cholesky factor of the packed `base` in place;
// returns the last pivot value before its square root.
double ModChol(int k, double* base, double tol);
