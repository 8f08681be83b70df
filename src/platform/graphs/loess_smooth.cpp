#include "platform/graphs/loess_smooth.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace platform::graphs {
namespace {

struct Pairs {
  std::vector<double> x, y;  // sorted by x
};

Pairs sorted_pairs(const std::vector<double>& x, const std::vector<double>& y) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < x.size() && i < y.size(); ++i)
    if (std::isfinite(x[i]) && std::isfinite(y[i])) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return x[a] < x[b]; });
  Pairs p;
  for (std::size_t i : order) p.x.push_back(x[i]), p.y.push_back(y[i]);
  return p;
}

// The fit at x0 and its own weight's share (the smoother's diagonal entry
// when x0 is an observation), over the q nearest neighbours.
struct LocalFit {
  double value = std::numeric_limits<double>::quiet_NaN();
  double leverage = 0;
};

LocalFit local_fit(const Pairs& p, double x0, std::size_t q) {
  const std::size_t n = p.x.size();
  // The q nearest neighbours form a window around x0 in the sorted values.
  std::size_t lo = static_cast<std::size_t>(std::lower_bound(p.x.begin(), p.x.end(), x0) - p.x.begin());
  std::size_t hi = lo;  // window [lo, hi)
  while (hi - lo < q) {
    if (lo == 0) ++hi;
    else if (hi == n) --lo;
    else if (x0 - p.x[lo - 1] <= p.x[hi] - x0) --lo;
    else ++hi;
  }
  double d = std::max(x0 - p.x[lo], p.x[hi - 1] - x0);
  if (q > n) d *= static_cast<double>(q) / static_cast<double>(n);
  if (d <= 0) d = 1;
  d *= 1.000001;  // the farthest neighbour keeps a small weight
  double s0 = 0, s1 = 0, s2 = 0, t0 = 0, t1 = 0;
  for (std::size_t i = lo; i < hi; ++i) {
    const double u = std::fabs(p.x[i] - x0) / d;
    const double w = u < 1 ? std::pow(1 - u * u * u, 3) : 0;
    const double dx = p.x[i] - x0;
    s0 += w, s1 += w * dx, s2 += w * dx * dx, t0 += w * p.y[i], t1 += w * dx * p.y[i];
  }
  LocalFit f;
  const double det = s0 * s2 - s1 * s1;
  if (s0 <= 0) return f;
  if (det <= 1e-12 * s0 * s2 || s2 <= 0) {
    f.value = t0 / s0;  // all weight at one x: a local mean
    f.leverage = 1 / s0;
  } else {
    f.value = (s2 * t0 - s1 * t1) / det;
    f.leverage = s2 / det;  // the weight of x0 itself is 1
  }
  return f;
}

std::size_t neighbours(double span, std::size_t n) {
  return std::clamp(static_cast<std::size_t>(std::ceil(span * static_cast<double>(n))), std::size_t{2}, n);
}

// The fewest neighbours such that every run of that many sorted points
// holds at least `distinct` different x values: a smaller window fits a
// line to replicates of one or two x values and the smooth jumps between
// them.
std::size_t fewest_neighbours(const Pairs& p, std::size_t distinct) {
  const std::size_t n = p.x.size();
  for (std::size_t q = distinct; q < n; ++q) {
    bool enough = true;
    for (std::size_t start = 0; start + q <= n && enough; ++start) {
      std::size_t count = 1;
      for (std::size_t i = start + 1; i < start + q; ++i) count += p.x[i] != p.x[i - 1];
      enough = count >= distinct;
    }
    if (enough) return q;
  }
  return n;
}

}  // namespace

double loess_at(const std::vector<double>& x, const std::vector<double>& y, double x0, double span) {
  const Pairs p = sorted_pairs(x, y);
  if (p.x.size() < 2) return std::numeric_limits<double>::quiet_NaN();
  return local_fit(p, x0, neighbours(span, p.x.size())).value;
}

Smooth loess(const std::vector<double>& x, const std::vector<double>& y, int points) {
  Smooth s;
  const Pairs p = sorted_pairs(x, y);
  const std::size_t n = p.x.size();
  std::size_t distinct = n ? 1 : 0;
  for (std::size_t i = 1; i < n; ++i) distinct += p.x[i] != p.x[i - 1];
  if (distinct < 5) return s;
  double best = std::numeric_limits<double>::infinity();
  const std::size_t least = fewest_neighbours(p, 4);
  for (int k = 0; k <= 16; ++k) {
    const double span = 0.2 + 0.05 * k;
    const std::size_t q = neighbours(span, n);
    if (q < least && k < 16) continue;
    double rss = 0, trace = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const LocalFit f = local_fit(p, p.x[i], q);
      rss += (p.y[i] - f.value) * (p.y[i] - f.value);
      trace += f.leverage;
    }
    const double room = static_cast<double>(n) - trace - 2;
    if (room <= 0 || !(rss > 0)) continue;
    const double aicc = std::log(rss / static_cast<double>(n)) + 1 + 2 * (trace + 1) / room;
    if (aicc < best) best = aicc, s.span = span;
  }
  if (s.span == 0) s.span = 0.75;
  const std::size_t q = neighbours(s.span, n);
  // At the distinct x values when they are few, as lowess does, so that the
  // line between them shows no bend the data do not have; else at evenly
  // spaced points.
  if (distinct <= static_cast<std::size_t>(points)) {
    for (std::size_t i = 0; i < n; ++i)
      if (i == 0 || p.x[i] != p.x[i - 1]) s.x.push_back(p.x[i]);
  } else {
    for (int i = 0; i < points; ++i) s.x.push_back(p.x.front() + (p.x.back() - p.x.front()) * i / (points - 1));
  }
  for (double x0 : s.x) s.y.push_back(local_fit(p, x0, q).value);
  return s;
}

}  // namespace platform::graphs
