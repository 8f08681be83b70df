#include "platform/stats/moments.h"

#include <algorithm>

namespace platform::stats {

bool compute_moments(AnalysisRows& rows, Moments* out) {
  const std::size_t p = rows.width();
  Moments m;
  std::vector<double> sum(p, 0.0);
  m.min.resize(p), m.max.resize(p);
  const bool read = rows.for_each([&](const double* x) {
    for (std::size_t c = 0; c < p; ++c) {
      sum[c] += x[c];
      m.min[c] = m.n == 0 ? x[c] : std::min(m.min[c], x[c]);
      m.max[c] = m.n == 0 ? x[c] : std::max(m.max[c], x[c]);
    }
    ++m.n;
  });
  if (!read) return false;
  if (m.n == 0) {
    m.min.clear(), m.max.clear();
    *out = m;
    return true;
  }
  // A constant column's mean is its value: the rounding of its sum would
  // otherwise give it a spread of its own.
  for (std::size_t c = 0; c < p; ++c)
    m.mean.push_back(m.min[c] == m.max[c] ? m.min[c] : sum[c] / static_cast<double>(m.n));
  if (m.n >= 2) {
    std::vector<double> cross(p * (p + 1) / 2, 0.0), d(p);
    const bool again = rows.for_each([&](const double* x) {
      for (std::size_t c = 0; c < p; ++c) d[c] = x[c] - m.mean[c];
      for (std::size_t r = 0, k = 0; r < p; ++r)
        for (std::size_t c = 0; c <= r; ++c) cross[k++] += d[r] * d[c];
    });
    if (!again) return false;
    for (double& v : cross) v /= static_cast<double>(m.n - 1);
    m.cov = std::move(cross);
  }
  *out = std::move(m);
  return true;
}

}  // namespace platform::stats
