#include "platform/stats/order_statistics.h"

#include <algorithm>
#include <cmath>

namespace platform::stats {

Def5Ranks def5_ranks(std::int64_t n, double q) {
  const double nq = static_cast<double>(n) * q;
  const auto j = static_cast<std::int64_t>(std::floor(nq));
  const auto in = [n](std::int64_t k) { return std::clamp<std::int64_t>(k, 1, n); };
  if (nq - static_cast<double>(j) > 0.0) return {in(j + 1), in(j + 1)};
  return {in(j), in(j + 1)};
}

namespace {

// One wanted rank while it is narrowed down: the values in [lo, hi] hold
// it, `below` values lie under lo.
struct Target {
  std::int64_t rank;
  double lo, hi;
  bool keep = false;  // the next pass keeps the values in [lo, hi]
  bool done = false;
  double value = 0;
  std::int64_t below = 0;
  std::vector<std::int64_t> count;
  std::vector<double> least, most;
  std::vector<double> kept;
};

// The bucket of x in [lo, hi], lo < hi: halves keep the difference finite
// (but vanish between neighbouring subnormals), and every step is monotone,
// so each bucket holds a run of the sorted values.
int bucket_of(double x, double lo, double hi, int buckets) {
  const double span = hi / 2 - lo / 2;
  const double f = span > 0 ? (x / 2 - lo / 2) / span : (x - lo) / (hi - lo);
  return std::min(static_cast<int>(f * buckets), buckets - 1);
}

void see(Target& t, double x, int buckets) {
  if (x < t.lo) {
    ++t.below;
    return;
  }
  if (x > t.hi) return;
  if (t.keep) {
    t.kept.push_back(x);
    return;
  }
  const auto b = static_cast<std::size_t>(bucket_of(x, t.lo, t.hi, buckets));
  t.least[b] = t.count[b] == 0 ? x : std::min(t.least[b], x);
  t.most[b] = t.count[b] == 0 ? x : std::max(t.most[b], x);
  ++t.count[b];
}

// After a pass: the rank's value, or the bucket that holds it.
void narrow(Target& t, const SelectionLimits& limits) {
  std::int64_t before = t.below;
  if (t.keep) {
    const auto k = static_cast<std::size_t>(t.rank - before - 1);
    std::nth_element(t.kept.begin(), t.kept.begin() + static_cast<std::ptrdiff_t>(k), t.kept.end());
    t.value = t.kept[k], t.done = true;
    std::vector<double>().swap(t.kept);
    return;
  }
  std::size_t b = 0;
  while (before + t.count[b] < t.rank) before += t.count[b++];
  t.lo = t.least[b], t.hi = t.most[b];
  if (t.lo == t.hi) t.value = t.lo, t.done = true;
  t.keep = t.count[b] <= limits.keep_values;
  std::fill(t.count.begin(), t.count.end(), 0);
}

bool sort_whole(AnalysisRows& rows, std::size_t column, const std::vector<std::int64_t>& ranks,
                std::vector<double>* values) {
  std::vector<double> v;
  if (!rows.for_each([&](const double* x) { v.push_back(x[column]); })) return false;
  std::sort(v.begin(), v.end());
  for (std::int64_t r : ranks) values->push_back(v[static_cast<std::size_t>(r - 1)]);
  return true;
}

}  // namespace

bool order_statistics(AnalysisRows& rows, std::size_t column, std::int64_t n, double lo, double hi,
                      const std::vector<std::int64_t>& ranks, std::vector<double>* values,
                      const SelectionLimits& limits) {
  values->clear();
  if (n <= limits.sort_rows) return sort_whole(rows, column, ranks, values);
  const auto k = static_cast<std::size_t>(limits.buckets);
  std::vector<Target> targets;
  for (std::int64_t r : ranks)
    targets.push_back({r, lo, hi, false, lo == hi, lo, 0, std::vector<std::int64_t>(k, 0), std::vector<double>(k),
                       std::vector<double>(k), {}});
  for (;;) {
    std::vector<Target*> open;
    for (Target& t : targets)
      if (!t.done) open.push_back(&t), t.below = 0;
    if (open.empty()) break;
    if (!rows.for_each([&](const double* x) {
          for (Target* t : open) see(*t, x[column], limits.buckets);
        }))
      return false;
    for (Target* t : open) narrow(*t, limits);
  }
  for (const Target& t : targets) values->push_back(t.value);
  return true;
}

}  // namespace platform::stats
