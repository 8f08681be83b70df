// The bootstrap's arithmetic, free of the engine: the synthetic response of
// one sample from the fit's predictions, residuals and leverages.
#pragma once

#include <cstdint>

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
// out + r * stride) from the sample's uniforms. RESIDUAL: u[0..n) picks the
// resampled residual (and, for TAN and JAC, its leverage). WILD: each
// observation keeps its own residual, rescaled by its tangential leverage,
// and v = u + n gives the two-point weight (mean 0, variance 1) that
// multiplies it, so that an observation's variance, whatever its weight,
// stays its own. A row whose leverage is unusable gets the special missing
// value.
void bootstrap_response(const BootResampleInput& in, const double* u, std::int32_t first,
                        std::int32_t count, double* out, std::int32_t stride);
