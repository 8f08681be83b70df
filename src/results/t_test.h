// The t test of one estimate: its statistic, two-sided p-value and
// confidence limits from the estimate, its standard error, the degrees of
// freedom and the significance level.
#pragma once

struct RUVA_TVAL {
  double estimate;  // in: the estimate
  double sder;      // in: its standard error
  double dfe;       // in: degrees of freedom
  double alpha;     // in: significance level of the limits
  double tval;      // out: t statistic
  double prob;      // out: two-sided p-value
  double lower;     // out: lower confidence limit
  double upper;     // out: upper confidence limit
};

// Fills tval, prob, lower and upper. Returns 1 when all four are set to
// missing (an input is missing, or both the estimate and its standard error
// are negligible), else 0. A zero standard error gives the extreme values
// for t and the limits and p-value 0; a probability or quantile that
// cannot be formed is missing.
int ruvatval(RUVA_TVAL* t);
