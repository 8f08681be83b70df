// The regularised incomplete beta function with the beta density.
#pragma once

// *p = I_x(a, b) and *d = the beta(a, b) density at x. Result 0 when done;
// 1 when a or b exceeds 2^53 (the outputs are left alone); -1 with *p = -1
// and *d = 0 when an argument is invalid or missing or no method evaluates it.
int zibeta(double x, double a, double b, double* p, double* d);
