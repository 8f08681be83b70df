#include "platform/graphs/loess_smooth.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace platform::graphs {
namespace {

// A span's criterion needs the smooth at every observation: the local lines
// are fitted only at vertices along the sorted x and interpolated between
// them. Vertices stand at most a fiftieth of a window apart, so that a span
// costs about 50 n weights whatever its size; closer, down to every
// observation, while their windows hold no more weights than the budget, so
// that a few thousand observations get the exact criterion or one very near
// it (vertices a fifth or a twentieth of a window apart choose another span
// on long-tailed data).
constexpr double kVertexSpacing = 0.02;
constexpr double kWeightBudget = 4e6;

struct Pairs {
  std::vector<double> x, y;  // sorted by x
};

Pairs sorted_pairs(const std::vector<double>& x, const std::vector<double>& y) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < x.size() && i < y.size(); ++i)
    if (std::isfinite(x[i]) && std::isfinite(y[i])) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return x[a] < x[b]; });
  Pairs p;
  p.x.reserve(order.size()), p.y.reserve(order.size());
  for (std::size_t i : order) p.x.push_back(x[i]), p.y.push_back(y[i]);
  return p;
}

double tricube(double u) {
  if (u >= 1) return 0;
  const double t = 1 - u * u * u;
  return t * t * t;
}

// The tricube-weighted line fitted at x0 over its q nearest neighbours, with
// the weighted sums that give each observation's share in its value and
// slope (the rows of the smoother at x0).
struct LocalLine {
  double x0 = 0, scale = 1;           // centre and 1 / bandwidth
  double s0 = 0, s1 = 0, s2 = 0, det = 0;
  bool mean = false;                  // all weight at one x: a local mean
  double value = std::numeric_limits<double>::quiet_NaN(), slope = 0;

  double weight(double x) const { return tricube(std::fabs(x - x0) * scale); }
  // The weights of an observation at x in the value and in the slope.
  double value_share(double x) const {
    if (mean) return weight(x) / s0;
    return weight(x) * (s2 - s1 * (x - x0)) / det;
  }
  double slope_share(double x) const { return mean ? 0 : weight(x) * (s0 * (x - x0) - s1) / det; }
};

LocalLine local_line(const Pairs& p, double x0, std::size_t q) {
  const std::size_t n = p.x.size();
  // The q nearest neighbours form a window [lo, lo + q) of the sorted
  // values: the first start whose window gains nothing by moving right.
  const auto at = static_cast<std::size_t>(std::lower_bound(p.x.begin(), p.x.end(), x0) - p.x.begin());
  std::size_t lo = at > q ? at - q : 0, last = std::min(at, n - q);
  while (lo < last) {
    const std::size_t mid = lo + (last - lo) / 2;
    if (x0 - p.x[mid] > p.x[mid + q] - x0) lo = mid + 1;
    else last = mid;
  }
  const std::size_t hi = lo + q;
  LocalLine f;
  f.x0 = x0;
  double d = std::max(x0 - p.x[lo], p.x[hi - 1] - x0);
  if (d <= 0) d = 1;
  f.scale = 1 / (d * 1.000001);  // the farthest neighbour keeps a small weight
  double t0 = 0, t1 = 0;
  for (std::size_t i = lo; i < hi; ++i) {
    const double dx = p.x[i] - x0, w = tricube(std::fabs(dx) * f.scale);
    f.s0 += w, f.s1 += w * dx, f.s2 += w * dx * dx, t0 += w * p.y[i], t1 += w * dx * p.y[i];
  }
  if (f.s0 <= 0) return f;
  f.det = f.s0 * f.s2 - f.s1 * f.s1;
  f.mean = f.det <= 1e-12 * f.s0 * f.s2 || f.s2 <= 0;
  if (f.mean) {
    f.value = t0 / f.s0;
  } else {
    f.value = (f.s2 * t0 - f.s1 * t1) / f.det;
    f.slope = (f.s0 * t1 - f.s1 * t0) / f.det;
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
  std::vector<std::size_t> starts;  // where each run of equal x values begins
  for (std::size_t i = 0; i < n; ++i)
    if (i == 0 || p.x[i] != p.x[i - 1]) starts.push_back(i);
  // need[s]: the length of the shortest run from s that holds `distinct`
  // values (n + 1 when none does); a window of q points is enough when every
  // start s <= n - q has need[s] <= q.
  std::vector<std::size_t> need(n);
  for (std::size_t r = 0, s = 0; r < starts.size(); ++r)
    for (; s < n && (r + 1 == starts.size() || s < starts[r + 1]); ++s)
      need[s] = r + distinct - 1 < starts.size() ? starts[r + distinct - 1] - s + 1 : n + 1;
  for (std::size_t s = 1; s < n; ++s) need[s] = std::max(need[s], need[s - 1]);  // over all earlier starts
  std::size_t q = distinct;
  while (q < n && need[n - q] > q) ++q;
  return q;
}

// The vertices of the interpolated smooth: every `step`-th sorted x, the
// first and the last, each distinct value once.
std::vector<double> vertices(const Pairs& p, std::size_t q) {
  const std::size_t n = p.x.size();
  const double within_budget = static_cast<double>(n) * static_cast<double>(q) / kWeightBudget;
  const double step = std::min(within_budget, kVertexSpacing * static_cast<double>(q));
  const std::size_t every = std::max<std::size_t>(1, static_cast<std::size_t>(step));
  std::vector<double> v;
  for (std::size_t i = 0; i < n; i += every)
    if (v.empty() || p.x[i] != v.back()) v.push_back(p.x[i]);
  if (p.x.back() != v.back()) v.push_back(p.x.back());
  return v;
}

struct Criterion {
  double rss = 0, trace = 0;  // residual sum of squares, trace of the smoother
};

// RSS and trace of the smoother with span q, the local lines fitted at the
// vertices and interpolated between them by cubic Hermite polynomials in
// their values and slopes: the observations' fitted values and the
// smoother's diagonal come from the same interpolation.
Criterion interpolated_criterion(const Pairs& p, std::size_t q) {
  const std::vector<double> v = vertices(p, q);
  std::vector<LocalLine> lines;
  lines.reserve(v.size());
  for (double x0 : v) lines.push_back(local_line(p, x0, q));
  Criterion c;
  std::size_t k = 0;
  for (std::size_t i = 0; i < p.x.size(); ++i) {
    const double x = p.x[i];
    while (k + 1 < v.size() && v[k + 1] <= x) ++k;
    double fit, share;
    if (x == v[k]) {
      fit = lines[k].value, share = lines[k].value_share(x);
    } else {
      const LocalLine &a = lines[k], &b = lines[k + 1];
      const double h = v[k + 1] - v[k], t = (x - v[k]) / h, t2 = t * t, t3 = t2 * t;
      const double h00 = 2 * t3 - 3 * t2 + 1, h10 = (t3 - 2 * t2 + t) * h, h01 = 3 * t2 - 2 * t3, h11 = (t3 - t2) * h;
      fit = h00 * a.value + h10 * a.slope + h01 * b.value + h11 * b.slope;
      share = h00 * a.value_share(x) + h10 * a.slope_share(x) + h01 * b.value_share(x) + h11 * b.slope_share(x);
    }
    c.rss += (p.y[i] - fit) * (p.y[i] - fit);
    c.trace += share;
  }
  return c;
}

// The span among 0.2, 0.25, ..., 1 with the smallest AICc; 0.75 when none
// can be judged.
double chosen_span(const Pairs& p) {
  const std::size_t n = p.x.size();
  const std::size_t least = fewest_neighbours(p, 4);
  double best = std::numeric_limits<double>::infinity(), span = 0;
  for (int k = 0; k <= 16; ++k) {
    const double s = 0.2 + 0.05 * k;
    const std::size_t q = neighbours(s, n);
    if (q < least && k < 16) continue;
    const Criterion c = interpolated_criterion(p, q);
    const double room = static_cast<double>(n) - c.trace - 2;
    if (room <= 0 || !(c.rss > 0)) continue;
    const double aicc = std::log(c.rss / static_cast<double>(n)) + 1 + 2 * (c.trace + 1) / room;
    if (aicc < best) best = aicc, span = s;
  }
  return span > 0 ? span : 0.75;
}

}  // namespace

Smooth loess(const std::vector<double>& x, const std::vector<double>& y, int points) {
  Smooth s;
  const Pairs p = sorted_pairs(x, y);
  const std::size_t n = p.x.size();
  std::size_t distinct = n ? 1 : 0;
  for (std::size_t i = 1; i < n; ++i) distinct += p.x[i] != p.x[i - 1];
  if (distinct < 5) return s;
  s.span = chosen_span(p);
  const std::size_t q = neighbours(s.span, n);
  // At the distinct x values when they are few, as lowess does, so that the
  // line between them shows no bend the data do not have; else at evenly
  // spaced points. The drawn points are local fits themselves.
  if (distinct <= static_cast<std::size_t>(points)) {
    for (std::size_t i = 0; i < n; ++i)
      if (i == 0 || p.x[i] != p.x[i - 1]) s.x.push_back(p.x[i]);
  } else {
    for (int i = 0; i < points; ++i) s.x.push_back(p.x.front() + (p.x.back() - p.x.front()) * i / (points - 1));
  }
  for (double x0 : s.x) s.y.push_back(local_line(p, x0, q).value);
  return s;
}

}  // namespace platform::graphs
