// The factor of erfc's asymptotic form, shared by erfc and the inverse
// Gaussian cdf, which combines its own exponential with it.
#pragma once

// For y > 4: erfc(y) = exp(-y^2) / y * erfc_asymptotic_factor(y).
double erfc_asymptotic_factor(double y);
