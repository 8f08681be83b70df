// The bootstrap's arithmetic, free of the engine: the synthetic response of
// one sample from the fit's predictions, residuals and leverages, and the
// summary of the converged samples (standard deviations, bias-corrected,
// percentile and normal limits, covariance).
#pragma once

#include <cstdint>
#include <vector>

#include "procedure/analysis_requests.h"

// What the resampling reads, one entry per used observation.
struct BootResampleInput {
  DGP_TYPE type;
  RESIDUAL_SCALING scaling;
  std::int32_t n, p;
  const double* pred;
  const double* raw_res;
  const double* tan_leverage;  // WILD and TAN
  const double* jac_leverage;  // JAC
};

// sqrt(n / (n - p)); 0 when n <= p, where no finite scale exists and the
// bootstrap is skipped.
double adjsse_scale(std::int32_t n, std::int32_t p);

// Writes the responses of rows first..first+count-1 (row r at
// out + r * stride) from the sample's uniforms: u[0..n) picks the resampled
// residual (and, for TAN, JAC and WILD, its leverage); for WILD v = u + n
// gives the two-point weight (mean 0, variance 1) that multiplies the
// resampled residual, so the wild samples keep the fit's homoscedastic
// error model. A row whose leverage is unusable gets the special missing
// value.
void bootstrap_response(const BootResampleInput& in, const double* u, std::int32_t first,
                        std::int32_t count, double* out, std::int32_t stride);

// Percentile by the empirical distribution with averaging at ties of n*q
// (definition 5) of values sorted ascending; q in [0, 1].
double percentile_def5(const std::vector<double>& sorted, double q);

struct BootSummaryRequest {
  bool bc, perc, normal, cov;
  double alpha;
};

// Every vector has p entries (cov: the packed lower triangle, p(p+1)/2);
// all stay the special missing value when fewer samples converged than
// there are parameters.
struct BootSummary {
  std::vector<double> std_dev, bc_lower, bc_upper, perc_lower, perc_upper, normal_lower,
      normal_upper, cov;
};

// `samples` holds the converged samples' estimates, row by row (p per row);
// `ref` the fit's estimates.
BootSummary bootstrap_summary(const std::vector<double>& samples, const std::vector<double>& ref,
                              const BootSummaryRequest& req);
