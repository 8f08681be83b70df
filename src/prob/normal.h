// The standard normal distribution and the error functions.
// Pure functions of doubles, reentrant. A missing argument gives the
// missing value.
#pragma once

// jint 0: *result = erf(x); jint 1: *result = erfc(x).
void calerf(double x, double* result, int jint);
double zferf(double x);
double zferfc(double x);

// The cdf Phi(x).
double zprbnrm(double x);

// The quantile Phi^-1(p); the missing value for p outside [0, 1].
double zprobit(double p);

// Phi^-1(p) by Newton's method on ln Phi, for any p in (0, 1); gives up at
// a floor value near -37.5.
double szprobit(double p);

// ln Phi(x), ln(1 - Phi(x)) and ln phi(x). Result 0, or 1 when the Mills
// ratio fails (then *lpl and *lpr are not set).
int zlognrm(double x, double* lpl, double* lpr, double* ldens);

// The Mills ratio (1 - Phi(x))/phi(x). Result 0, or 1 when the continued
// fraction did not settle.
int zmillsr(double x, double* ratio);

// The continued fraction of the Mills ratio alone, for any x.
int zcnfmill(double x, double* ratio);
