// Sums of exponentials on the log scale.
#pragma once

// ln(e^x1 + e^x2) without overflow or underflow.
double zlnSumOfExp(double x1, double x2);

// The same sum; with flag 1 the result is capped at 0, as a log probability.
double LogSumOfExpProb(double x1, double x2, int flag);
