// The LOESS smooth a residual plot draws, against the exact smooth computed
// here directly: local fits at every observation for each span's AICc, and
// at the drawn points for the curve. Read back from the picture, the curve
// must lie within a pixel of it.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "platform/graphs/graph_fixture.h"

namespace {

struct LocalFit {
  double value = 0, leverage = 0;  // the fit at x0, and the weight of an observation at x0 in it
};

// The first of the q observations nearest x0 in the sorted x, searched
// from `lo` on.
std::size_t window(const std::vector<double>& x, double x0, std::size_t q, std::size_t lo = 0) {
  while (lo + q < x.size() && x[lo + q] - x0 < x0 - x[lo]) ++lo;
  return lo;
}

// Weighted least squares of a line at x0 over the window of q observations
// from lo, with tricube weights of the distance over the largest one (times
// 1.000001); all weight at one x gives a local mean.
LocalFit local_fit(const std::vector<double>& x, const std::vector<double>& y, double x0, std::size_t lo,
                   std::size_t q) {
  const std::size_t hi = lo + q;
  double d = std::max(x0 - x[lo], x[hi - 1] - x0);
  d = (d > 0 ? d : 1) * 1.000001;
  double sw = 0, sx = 0, sxx = 0, sy = 0, sxy = 0;
  for (const double *xi = &x[lo], *yi = &y[lo], *end = xi + q; xi < end; ++xi, ++yi) {
    const double dx = *xi - x0, u = std::fabs(dx) / d, t = 1 - u * u * u, w = t * t * t;
    sw += w, sx += w * dx, sxx += w * dx * dx, sy += w * *yi, sxy += w * dx * *yi;
  }
  const double det = sw * sxx - sx * sx;
  if (det <= 1e-12 * sw * sxx) return {sy / sw, 1 / sw};
  return {(sxx * sy - sx * sxy) / det, sxx / det};
}

// The span of 0.2, 0.25, ..., 1 with the least AICc of the smoother at the
// observations (every window of these data holds four x values or more).
double exact_span(const std::vector<double>& x, const std::vector<double>& y) {
  const double n = static_cast<double>(x.size());
  double best = INFINITY, span = 0;
  for (int k = 0; k <= 16; ++k) {
    const std::size_t q = static_cast<std::size_t>(std::ceil((0.2 + 0.05 * k) * n));
    double rss = 0, trace = 0;
    for (std::size_t i = 0, lo = 0; i < x.size(); ++i) {
      lo = window(x, x[i], q, lo);
      const LocalFit f = local_fit(x, y, x[i], lo, q);
      rss += (y[i] - f.value) * (y[i] - f.value), trace += f.leverage;
    }
    const double aicc = std::log(rss / n) + 1 + 2 * (trace + 1) / (n - trace - 2);
    if (aicc < best) best = aicc, span = 0.2 + 0.05 * k;
  }
  return span;
}

struct Residuals {
  std::vector<double> x, y;  // sorted by x
};

// Residual-like data from `seed`: a wave and noise over an even (0), a
// skewed and tied (1) and a long-tailed (2) spread of the regressor, and
// noise alone (3), whose criterion is nearly the same for every span.
Residuals residuals(int design, std::size_t n, unsigned seed) {
  std::mt19937_64 random(seed);
  auto uniform = [&] { return static_cast<double>(random() >> 11) * 0x1.0p-53; };
  auto noise = [&] { return std::sqrt(-2 * std::log(1 - uniform())) * std::cos(6.283185307179586 * uniform()); };
  Residuals r;
  for (std::size_t i = 0; i < n; ++i) {
    const double u = design == 2 ? std::exp(2 * noise()) : uniform();
    r.x.push_back(design == 1 ? std::round(1000 * u * u) / 100 : design == 2 ? u : 10 * u);
  }
  std::sort(r.x.begin(), r.x.end());
  for (double x : r.x) {
    if (design == 2) r.y.push_back(std::sin(2 * std::log(x)) + noise());
    else r.y.push_back((design == 3 ? 0 : std::sin(1.5 * x)) + 0.5 * noise() + (uniform() < 0.02 ? 4 * noise() : 0));
  }
  return r;
}

TEST_F(GraphTest, ResidualSmoothIsTheExactLocalFitWithinAPixel) {
  // The long-tailed data of seed 26 are data on which local lines fitted a
  // twentieth of a window apart and interpolated choose another span.
  const std::vector<Residuals> data = {residuals(0, 5000, 1), residuals(1, 3000, 2), residuals(2, 3000, 26),
                                       residuals(3, 5000, 4)};
  ASSERT_EQ(run([&] {
              wobop man = graph_manager();
              for (const Residuals& r : data) {
                std::vector<std::vector<double>> rows;
                for (std::size_t i = 0; i < r.x.size(); ++i) rows.push_back({i + 1.0, r.x[i], r.y[i]});
                xobskey key = emit_table(man, "OutputStatistics", "stat.ruva.OutputStatistics",
                                         {"Observation", "x", "Residual"}, rows);
                request_graph(man, "ResidualPlot", "stat.ruva.Graphics.ResidualPlot", {key},
                              {{"_XVAR", "x"}, {"_SHOWRAW", 1}, {"_RAWRESD", "Residual"}, {"_SHOWSMOOTH", 1},
                               {"_SMOOTHRAWRESD", "Residual"}});
              }
            }),
            0);
  for (std::size_t k = 0; k < data.size(); ++k) {
    const std::string file = "step1_ResidualPlot" + (k ? "_" + std::to_string(k + 1) : "");
    const std::string picture = svg(file);
    const auto curve = vertices(layer(picture, "line", "loess Residual"), "polyline");
    ASSERT_EQ(curve.size(), 101u) << file;
    const AxisRange x = axis(picture, "x-axis"), y = axis(picture, "y-axis");
    const std::vector<double>& xs = data[k].x;
    const std::size_t q = static_cast<std::size_t>(std::ceil(exact_span(xs, data[k].y) * xs.size()));
    // The curve is drawn at 101 points evenly spaced over the data.
    auto pixel = [](const AxisRange& a, double v) { return a.p0 + (v - a.lo) / (a.hi - a.lo) * (a.p1 - a.p0); };
    double worst = 0;
    for (std::size_t j = 0; j < curve.size(); ++j) {
      const double x0 = xs.front() + (xs.back() - xs.front()) * static_cast<double>(j) / 100;
      EXPECT_NEAR(curve[j].first, pixel(x, x0), 0.01) << file << " point " << j;
      const double exact = local_fit(xs, data[k].y, x0, window(xs, x0, q), q).value;
      worst = std::max(worst, std::fabs(pixel(y, exact) - curve[j].second));
    }
    EXPECT_LE(worst, 1.0) << file << ": " << worst << " pixels off the exact smooth";
  }
}

}  // namespace
