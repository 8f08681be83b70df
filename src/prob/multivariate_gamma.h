// Multivariate log-gamma and log-beta functions (of Wishart theory).
#pragma once

// *Result = ln Gamma_m(a) = m(m - 1)/4 ln pi + sum over j = 1..m of
// ln Gamma(a - (j - 1)/2). Result 0, or 1 (then *Result is the special
// missing value) when m < 1 or a - (m - 1)/2 is not positive.
int zlgammaMV(double a, int m, double* Result);

// *Result = ln Gamma_n(a) + ln Gamma_n(b) - ln Gamma_n(a + b). Result 0, or
// 1 (then *Result is the special missing value) when n < 1 or a or b is not
// above (n - 1)/2.
int zlbetaMV(double a, double b, int n, double* Result);
