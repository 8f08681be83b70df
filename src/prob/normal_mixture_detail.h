// Internals of the normal-mixture engine shared by its two source files.
#pragma once

#include "prob/normal_mixture.h"

// Below this a standard deviation is treated as this, so that a point mass
// still has a cdf and a density.
inline constexpr double kSmallestSigma = 1.053671212772351e-8;

// Sets LogLeftPr, LogRightPr and LogDensity at q->Quantile. Result 0, or 1
// when a Mills ratio fails or the point or a mean is missing.
int ComputeTheProbOrTheDens(NORMAL_MIX_ARG* q);

// Solves for the quantile on the target chosen by Shooting.
int ComputeTheQuantile(NORMAL_MIX_ARG* q);
