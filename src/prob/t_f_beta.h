// Tail probabilities and quantiles of Student's t, Snedecor's F and the beta
// distribution, all through the regularised incomplete beta function.
// Failures are sentinels no probability can take (-1.0, -2.0) or nonzero
// return codes; callers store the missing value for any negative result.
#pragma once

// Two-sided p-value of t for t2 = t^2: I_y(df/2, 1/2), y = df/(df + t2);
// -2.0 when the incomplete beta fails (t2 < 0, df <= 0, missing t2).
double zpgt2(double t2, long df);

// 1 - I_y(1/2, (df - 1)/2), y = min(t^2/df, 1); the special missing value
// when df < 2, |t| is huge or missing, or the incomplete beta fails.
double zpgbeta(double t, long df);

// P(F >= f) for F on (ndf, ddf) degrees of freedom; -1.0 for bad
// arguments, -2.0 when the incomplete beta fails.
double zprbf(double f, double ndf, double ddf);

// The beta(a, b) quantile: *x with I_x(a, b) = p. Result 0, or 1 with
// *x = -1 when the iteration fails.
int zprobin(double p, double a, double b, double* x);

// The lower-tail p-quantile of t on df degrees of freedom. Result 0, or 1
// (p outside (0, 1), df <= 0, or no convergence).
int zqt(double p, double df, double* q);

// The F value x with P(F >= x) = p; -1.0 on failure.
double zqunf(double p, double ndf, double ddf);

// The F value with P(F <= x) = pval. Result 0, or 1 on failure.
int zqf(double pval, double df1, double df2, double* xval);

// zpgt2 with a real df: -2.0 when the incomplete beta fails.
double zpgt2f(double t2, double df);

// zpgt2 with a return code: -1 for t2 < 0 or df <= 0, -2 when the
// incomplete beta fails (then *pvalue is the special missing value), else 0.
int zpgt2New(double t2, double df, double* pvalue);

// zprbf with a return code: -1 for bad arguments (*pvalue the special
// missing value), -2 when the incomplete beta fails, else 0.
int zprbfNew(double f, double ndf, double ddf, double* pvalue);
