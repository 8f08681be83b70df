// Log-gamma, log-beta, the Stirling correction and an accurate ln(1 + z).
// Pure functions of doubles: no state, safe from any thread.
#pragma once

// ln(1 + z), accurate near z = 0.
double zln1px(double z);

// Stirling correction ln Gamma(x) - ((x - 0.5) ln x - x + ln sqrt(2 pi)),
// for x of 15 and more.
double zlgbern(double x);

// ln Gamma(x); -99.0 when x is not above the smallest normal double.
double zlgamma(double x);

// ln B(a, b); 99.0 when a <= 0 or b <= 0.
double zlbeta(double a, double b);
