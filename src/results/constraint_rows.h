// The rows of the ParameterEstimates table for the constraints active at
// the solution: each constraint's Lagrange multiplier with its standard
// error, limits and p-value.
#pragma once

#include "results/estimate_row.h"
#include "results/parameter_estimates.h"
#include "results/result_output.h"

struct RUVACOM;

// Commits one row per active constraint; false when a row fails.
bool constraint_rows(ResultTable* t, RUVACOM* ctx, const Inference& inf, EstimateRow* r);
