// Counts, means, extremes and the covariance of the analysis columns, in
// two passes over the rows: the sums first, then the products of the
// deviations from the means, each summed in row order.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/stats/analysis_rows.h"

namespace platform::stats {

struct Moments {
  std::int64_t n = 0;                 // usable rows
  std::vector<double> mean, min, max;  // per column; empty when n is 0
  std::vector<double> cov;             // packed lower triangle, divisor n - 1; empty when n < 2
};

// False when a row cannot be read.
bool compute_moments(AnalysisRows& rows, Moments* out);

}  // namespace platform::stats
