// The continued fraction of the regularised incomplete beta function, shared
// by zibeta and the log-scale beta engine.
#pragma once

// Chooses the tail whose continued fraction converges at x for shapes (a, b):
// true when the upper tail, that is I_{1-x}(b, a), should be evaluated.
bool beta_use_upper_tail(double x, double a, double b);

// Evaluates f with I_X(A, B) = f * X * d, d the beta(A, B) density at X, by
// forward recurrence to relative tolerance tol within 399 iterations. A below
// 1 is raised by one and the result carried back. Returns false when the
// fraction did not converge.
bool beta_continued_fraction(double X, double A, double B, double tol, double* f);
