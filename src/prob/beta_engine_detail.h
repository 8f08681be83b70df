// Internals of the beta engine shared by its source files.
#pragma once

#include "prob/beta_engine.h"

// Sets lpl, lpr and ldens at x, with onemx = 1 - x given as exactly as the
// caller knows it. Result 0, or 1 when no method evaluates the tail.
int ComputeTheProbability(ARGBET* q, double x, double onemx);

// The log of the lower tail (upper = false) or of the upper tail at x by
// integrating a beta-prime density. Result 0, or 1 when the quadrature fails.
int BetaIntegration(ARGBET* q, double x, double onemx, bool upper, double* log_tail);

// Solves for the quantile of a request with Objective bit 4 or 8.
int ComputeTheQuantile(ARGBET* q);
