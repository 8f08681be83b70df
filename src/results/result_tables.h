// The result tables of a fit, produced once per BY group after the
// estimation: the estimation summary, the analysis of variance (which
// settles the fitted variance and the error degrees of freedom that all
// later inference uses), the parameter estimates with their standard errors
// (left in the last row of `xpx`), the correlations of the estimates and the
// COVB rows of the parameter-estimates data set, and the nonlinearity
// measures.
//
// What the estimation leaves for them in the context: `xpx` whose parameter
// block holds the inverted cross-product matrix C (rows of singular
// parameters zeroed) and `parmdf` the status of each parameter ('1'
// estimated, '0' singular, '2' singular but unrelated); `intcep` the last
// pass's weighted sums of the derivatives and, last, of the weights; the
// last-pass sums `sumw`, `sumy`, `sumy2`, `sumwsse`; `sse`, `nobs`, `iobs`;
// the optimiser's run record with its final state and active constraints;
// with HOUGAARD, `hougaard` holding the sums of the last pass (jovhoug).
#pragma once

struct RUVACOM;

// Produces the result tables of the BY group. `corr_cov_boot` is the
// bootstrap's packed correlation and/or covariance array, or null; its
// tables belong to the bootstrap and are not made here. Sets
// `mse`, `i_error_obs` and (unless DF= was given) `estdf`. A failing output
// request ends the step (120 with BY variables, 1020 without).
void jovtab(RUVACOM* ruvaptr, double* corr_cov_boot);

// The NonlinearityMeasures factoid (curvature_measures.h), after the COVB
// rows when RUVAMEASURES is given.
void print_nonlinearity_meas_factoid(RUVACOM* ruvaptr);

// The EstSummary factoid.
void print_summary(RUVACOM* ruvaptr);

// 1 when the model has an intercept: a parameter whose derivative is a
// constant, or else a column of ones in the span of the derivatives.
int isintercept(RUVACOM* ruvaptr);
