// The parameter estimates of a fit: approximate standard errors (always
// formed, and kept in the last row of `xpx` for the later results) and the
// ParameterEstimates table with t-based limits, t values and p-values, the
// bootstrap limits when a bootstrap ran, the Hougaard skewness on request,
// and one row per active constraint with its Lagrange multiplier.
#pragma once

struct RUVACOM;

// What the analysis of variance settles for the inference.
struct Inference {
  long error_df = 0;            // e
  double t_quantile = 0;        // t(1 - alpha/2, e), or the special missing value
  bool variance_known = false;  // SIGSQ= fixes the variance
};

// Standard errors from the diagonal of C and `mse` into row `nparm` of
// `xpx`: missing for a parameter whose status is neither '1' nor '2'.
void standard_errors(RUVACOM* ctx);

// Two-sided p-value of a t value on e error degrees of freedom; without
// error degrees of freedom it is missing, or from the normal distribution
// when the variance is known.
double t_probability(double t, long error_df, bool variance_known);

// Finalises the Hougaard skewness and prints the table; returns 0 or the
// failing output status.
int print_parameter_estimates(RUVACOM* ctx, const Inference& inf);
