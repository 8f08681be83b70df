#include "platform/graphs/sample_statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/graphs/axis_scale.h"

namespace platform::graphs {

std::vector<double> sorted_finite(const std::vector<double>& values) {
  std::vector<double> v;
  for (double x : values)
    if (std::isfinite(x)) v.push_back(x);
  std::sort(v.begin(), v.end());
  return v;
}

double quantile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return std::numeric_limits<double>::quiet_NaN();
  const double h = (static_cast<double>(sorted.size()) - 1) * p;
  const auto lo = static_cast<std::size_t>(std::floor(h));
  const std::size_t hi = std::min(lo + 1, sorted.size() - 1);
  return sorted[lo] + (h - static_cast<double>(lo)) * (sorted[hi] - sorted[lo]);
}

Moments moments(const std::vector<double>& values) {
  Moments m;
  // Welford's update keeps the variance accurate for values far from 0.
  double m2 = 0;
  for (double x : values) {
    if (!std::isfinite(x)) continue;
    ++m.n;
    const double d = x - m.mean;
    m.mean += d / static_cast<double>(m.n);
    m2 += d * (x - m.mean);
  }
  if (m.n > 1) m.sd = std::sqrt(m2 / static_cast<double>(m.n - 1));
  return m;
}

Histogram histogram(const std::vector<double>& values) {
  Histogram h;
  const std::vector<double> v = sorted_finite(values);
  h.n = v.size();
  if (v.empty()) return h;
  const double lo = v.front(), hi = v.back();
  if (hi - lo <= std::max(std::fabs(lo), std::fabs(hi)) * 1e-12) {
    const double half = lo == 0 ? 0.5 : std::fabs(lo) * 0.05;
    h.edges = {lo - half, lo + half};
    h.counts = {static_cast<double>(v.size())};
    h.width = 2 * half;
    return h;
  }
  const double iqr = quantile(v, 0.75) - quantile(v, 0.25);
  const double n = static_cast<double>(v.size());
  double width = iqr > 0 ? 2 * iqr / std::cbrt(n) : (hi - lo) / (std::ceil(std::log2(n)) + 1);
  width = nice_number(width);
  auto bins_for = [&](double w) { return std::max(1.0, std::ceil(hi / w - 1e-9) - std::floor(lo / w + 1e-9)); };
  while (bins_for(width) > 60) width = nice_number(width * 2);
  const double first = std::floor(lo / width + 1e-9) * width;
  const auto bins = static_cast<std::size_t>(bins_for(width));
  h.width = width;
  for (std::size_t i = 0; i <= bins; ++i) h.edges.push_back(first + static_cast<double>(i) * width);
  h.counts.assign(bins, 0);
  for (double x : v) {
    const double k = std::floor((x - first) / width);
    const auto i = static_cast<std::size_t>(std::clamp(k, 0.0, static_cast<double>(bins - 1)));
    ++h.counts[i];
  }
  return h;
}

BoxStatistics box_statistics(const std::vector<double>& values) {
  BoxStatistics b;
  const std::vector<double> v = sorted_finite(values);
  b.n = v.size();
  if (v.empty()) return b;
  b.q1 = quantile(v, 0.25);
  b.median = quantile(v, 0.5);
  b.q3 = quantile(v, 0.75);
  b.mean = moments(v).mean;
  const double fence = 1.5 * (b.q3 - b.q1);
  b.low = b.q1;
  b.high = b.q3;
  for (double x : v) {
    if (x < b.q1 - fence || x > b.q3 + fence) b.outliers.push_back(x);
    else b.low = std::min(b.low, x), b.high = std::max(b.high, x);
  }
  return b;
}

}  // namespace platform::graphs
