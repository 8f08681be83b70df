// The inverse Gaussian distribution.
#pragma once

// The cdf at x of the inverse Gaussian with mean 1 and shape d; 0 for
// x <= 0, the missing value for d <= 0 or a missing argument.
double zprbigs(double x, double d);
