// The special functions of the program's function library, in one place so
// that they can be pointed at the system's probability library. Every
// function returns NaN for a NaN argument and for an argument outside its
// domain; the interpreter turns that into a missing value (and an error when
// no argument was missing).
#pragma once

namespace platform::compiler::special {

double erf(double x);
double erfc(double x);
double lgamma(double x);   // log |gamma(x)|; NaN at the poles
double gamma(double x);
double digamma(double x);
double trigamma(double x);
// The next two derivatives of the digamma function (the derivatives of
// digamma and trigamma need them).
double tetragamma(double x);
double pentagamma(double x);
double beta(double a, double b);

double normal_cdf(double x);
double normal_quantile(double p);           // 0 < p < 1
double t_cdf(double x, double df);          // df > 0
double t_quantile(double p, double df);
double f_cdf(double x, double df1, double df2);
double f_quantile(double p, double df1, double df2);
double beta_cdf(double x, double a, double b);  // the regularised incomplete beta
double beta_quantile(double p, double a, double b);

}  // namespace platform::compiler::special
