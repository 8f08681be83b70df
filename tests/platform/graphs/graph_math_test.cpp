// The arithmetic behind the pictures: nice ticks, quantiles and box
// statistics against R's values, the LOESS smooth, and contour bands.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "platform/graphs/axis_scale.h"
#include "platform/graphs/contour_lines.h"
#include "platform/graphs/dense_marks.h"
#include "platform/graphs/loess_smooth.h"
#include "platform/graphs/sample_statistics.h"

namespace platform::graphs {
namespace {

TEST(AxisScaleTest, TicksAreNiceNumbersWithNoMoreDecimalsThanTheStepNeeds) {
  struct Case {
    double lo, hi;
    int target;
    Extend extend;
    std::vector<double> ticks;
    std::vector<std::string> labels;
  };
  const Case cases[] = {
      {0.02, 1.1, 6, Extend::Pad, {0, 0.2, 0.4, 0.6, 0.8, 1.0}, {"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}},
      {-13.6, 25.4, 4, Extend::Pad, {-10, 0, 10, 20}, {"-10", "0", "10", "20"}},
      {0, 12.4, 6, Extend::ToTicks, {0, 2.5, 5, 7.5, 10, 12.5}, {"0.0", "2.5", "5.0", "7.5", "10.0", "12.5"}},
      {1e6, 4e6, 4, Extend::None, {1e6, 2e6, 3e6, 4e6}, {"1", "2", "3", "4"}},
      // A step of 0.1 has no tick inside the padded range: the finer 0.025.
      {0.11, 0.19, 2, Extend::Pad, {0.125, 0.15, 0.175}, {"0.125", "0.150", "0.175"}},
  };
  for (const Case& c : cases) {
    const AxisScale s = nice_scale(c.lo, c.hi, c.target, c.extend);
    ASSERT_EQ(s.ticks.size(), c.ticks.size()) << c.lo << " " << c.hi;
    for (std::size_t i = 0; i < s.ticks.size(); ++i) {
      EXPECT_NEAR(s.ticks[i], c.ticks[i], 1e-12);
      EXPECT_EQ(tick_label(s.ticks[i], s), c.labels[i]);
    }
  }
  EXPECT_EQ(scale_suffix(nice_scale(1e6, 4e6, 4, Extend::None)), " (\xC3\x97 10^6)");
  EXPECT_DOUBLE_EQ(nice_number(3.2), 2.5);
  EXPECT_DOUBLE_EQ(nice_number(3.6), 5);
  EXPECT_DOUBLE_EQ(nice_number(0.06), 0.05);
  EXPECT_DOUBLE_EQ(nice_number(0.074), 0.1);
  EXPECT_DOUBLE_EQ(nice_number(7.9, true), 5);
  // Whole numbers only: none lies between 1.2 and 1.8, so no tick.
  EXPECT_EQ(nice_scale(1.2, 1.8, 2, Extend::Pad, true).ticks, (std::vector<double>{}));
  // One observation: its number is the one tick, written as a whole number.
  const AxisScale one = nice_scale(1, 1, 5, Extend::Pad, true);
  EXPECT_EQ(one.ticks, (std::vector<double>{1}));
  EXPECT_EQ(tick_label(1, one), "1");
}

TEST(SampleStatisticsTest, QuantilesAndBoxesAgreeWithR) {
  // R: quantile(c(1, 2, 3, 4, 10, 40), c(.25, .5, .75)) gives 2.25, 3.5, 8.5;
  // boxplot.stats uses hinges, we use these quartiles with 1.5 IQR fences.
  const std::vector<double> v = {10, 1, 3, 40, 2, 4, std::nan("")};
  const std::vector<double> sorted = sorted_finite(v);
  EXPECT_DOUBLE_EQ(quantile(sorted, 0.25), 2.25);
  EXPECT_DOUBLE_EQ(quantile(sorted, 0.5), 3.5);
  EXPECT_DOUBLE_EQ(quantile(sorted, 0.75), 8.5);
  const BoxStatistics b = box_statistics(v);
  EXPECT_EQ(b.outliers, std::vector<double>{40});  // above 8.5 + 1.5 * 6.25
  EXPECT_DOUBLE_EQ(b.high, 10);
  EXPECT_DOUBLE_EQ(b.low, 1);
  EXPECT_DOUBLE_EQ(b.mean, 10);
  const Moments m = moments({2, 4, 4, 4, 5, 5, 7, 9});
  EXPECT_DOUBLE_EQ(m.mean, 5);
  EXPECT_DOUBLE_EQ(m.sd, std::sqrt(32.0 / 7));
  const Histogram h = histogram({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});  // IQR 4.5: width 4.18 -> 5
  EXPECT_EQ(h.edges, (std::vector<double>{0, 5, 10}));
  EXPECT_EQ(h.counts, (std::vector<double>{4, 6}));  // 10 closes the last bin
  // One value: one bar 10% of it wide (1 wide about zero).
  for (const auto& [v, lo, hi] : {std::tuple{3.0, 2.85, 3.15}, std::tuple{0.0, -0.5, 0.5}}) {
    const Histogram one = histogram({v, v, v});
    ASSERT_EQ(one.edges.size(), 2u);
    EXPECT_DOUBLE_EQ(one.edges[0], lo);
    EXPECT_DOUBLE_EQ(one.edges[1], hi);
    EXPECT_EQ(one.counts, (std::vector<double>{3}));
  }
}

TEST(LoessTest, LocalLinearFitsReproduceALineAndFollowACurve) {
  std::vector<double> x, line, curve;
  for (int i = 0; i < 60; ++i) {
    x.push_back(i * 0.1);
    line.push_back(3 - 0.5 * x.back());
    curve.push_back(std::sin(x.back()) + 0.05 * std::cos(37.0 * i));
  }
  const Smooth s = loess(x, line);
  ASSERT_EQ(s.x.size(), 60u);  // at the distinct x values
  for (std::size_t i = 0; i < s.x.size(); ++i) EXPECT_NEAR(s.y[i], 3 - 0.5 * s.x[i], 1e-10);
  const Smooth c = loess(x, curve);
  EXPECT_GE(c.span, 0.2);
  EXPECT_LE(c.span, 0.6);  // a sine over a period needs a local window
  for (std::size_t i = 10; i + 10 < c.x.size(); ++i) EXPECT_NEAR(c.y[i], std::sin(c.x[i]), 0.1);
  EXPECT_EQ(loess({1, 1, 2, 2}, {1, 2, 3, 4}).span, 0);  // too few distinct x
  // Five x values a thousand times each: a window holds four of them from
  // 2002 observations on, so no span below 0.45 is tried.
  std::vector<double> tx, ty;
  for (int v = 0; v < 5; ++v)
    for (int i = 0; i < 1000; ++i) tx.push_back(v), ty.push_back(v * v + std::sin(i));
  const Smooth t = loess(tx, ty);
  EXPECT_GE(t.span, 0.45);
  EXPECT_EQ(t.x, (std::vector<double>{0, 1, 2, 3, 4}));
}

TEST(DenseMarksTest, PastTheLimitTheFarthestAreKeptInTheirOrder) {
  // Scores above 1 are beyond the cut-off; the last point has no x.
  const std::vector<double> xs = {1, 2, 3, 4, 5, 6, NAN}, ys(7, 0), scores = {0.5, 3, NAN, 2, 5, 1.5, 4};
  const Flagged all = flagged_rows(xs, ys, scores, 10), two = flagged_rows(xs, ys, scores, 2);
  EXPECT_EQ(all.rows, (std::vector<std::size_t>{1, 3, 4, 5}));
  EXPECT_EQ(two.rows, (std::vector<std::size_t>{1, 4}));  // scores 3 and 5, in the data's order
  EXPECT_EQ(two.beyond, 4u);
  EXPECT_EQ(flagged_text(12345, 5000, "beyond 2"),
            "Drawn one by one: the 5,000 farthest of the 12,345 observations beyond 2.");
  EXPECT_EQ(flagged_text(1, 1, "beyond 2"), "Drawn one by one: the 1 observation beyond 2.");
}

// Five shades on a log scale up to the fullest bin: shade k holds the
// counts c with (k/5) log(most + 1) < log(c + 1) <= ((k + 1)/5) log(most + 1),
// which for 1,000 ends at floor(1001^(k/5 + 1/5) - 1): 2, 14, 62, 250, 1000.
TEST(DenseMarksTest, CountClassesCoverEveryCountOnceOnALogScale) {
  using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;
  EXPECT_EQ(CountClasses{1000}.ranges(), (Ranges{{1, 2}, {3, 14}, {15, 62}, {63, 250}, {251, 1000}}));
  // One point a bin: the one shade that count takes is the darkest.
  EXPECT_EQ(CountClasses{1}.ranges(), (Ranges{{1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, 1}}));
  const CountClasses classes{4};
  const Ranges r = classes.ranges();
  for (std::size_t c = 1; c <= 4; ++c) {
    const auto [lo, hi] = r[static_cast<std::size_t>(classes.shade(c))];
    EXPECT_TRUE(lo <= c && c <= hi) << c;
  }
}

// The shoelace area of a band's polygon.
double polygon_area(const BandPolygon& p) {
  double a = 0;
  for (std::size_t k = 0; k < p.points.size(); ++k) {
    const Point& u = p.points[k];
    const Point& v = p.points[(k + 1) % p.points.size()];
    a += u.x * v.y - v.x * u.y;
  }
  return std::fabs(a) / 2;
}

TEST(ContourTest, BandsTileThePlaneAndLinesLieOnTheirLevel) {
  SurfaceGrid g;
  for (int i = 0; i <= 4; ++i) g.x.push_back(i), g.y.push_back(i);
  for (double x : g.x)
    for (double y : g.y) g.z.push_back(x + 2 * y);  // z = x + 2y on [0, 4]^2
  const std::vector<double> levels = {0, 3, 6, 9, 12};
  double area[4] = {0, 0, 0, 0};
  for (const BandPolygon& p : band_polygons(g, levels)) area[p.band] += polygon_area(p);
  // The square's area 16 cut by x + 2y = 3, 6, 9: corner triangles of 2.25
  // and two bands of 5.75 between them.
  EXPECT_NEAR(area[0], 2.25, 1e-12);
  EXPECT_NEAR(area[1], 5.75, 1e-12);
  EXPECT_NEAR(area[2], 5.75, 1e-12);
  EXPECT_NEAR(area[3], 2.25, 1e-12);
  for (const auto& [a, b] : contour_segments(g, 6)) {
    EXPECT_NEAR(a.x + 2 * a.y, 6, 1e-12);
    EXPECT_NEAR(b.x + 2 * b.y, 6, 1e-12);
  }
  // A missing value at (2, 2) leaves out the four cells around it.
  g.z[2 * 5 + 2] = NAN;
  double covered = 0;
  for (const BandPolygon& p : band_polygons(g, levels)) covered += polygon_area(p);
  EXPECT_NEAR(covered, 12, 1e-12);
}

}  // namespace
}  // namespace platform::graphs
