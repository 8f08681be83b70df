#include "platform/graphs/distribution_marks.h"

#include <algorithm>
#include <cmath>

namespace platform::graphs {

double highest_percent(const Histogram& h) {
  double top = 0;
  for (double c : h.counts) top = std::max(top, c);
  return h.n ? 100 * top / static_cast<double>(h.n) : 0;
}

void histogram_bars(Plot& plot, const Histogram& h, const std::string& name) {
  std::vector<double> left, right, height;
  for (std::size_t i = 0; i < h.counts.size(); ++i) {
    left.push_back(h.edges[i]);
    right.push_back(h.edges[i + 1]);
    height.push_back(100 * h.counts[i] / static_cast<double>(h.n));
  }
  plot.bars(left, right, height, kBarPaint, name);
}

bool draws_normal_curve(const Moments& m) { return m.n >= 3 && m.sd > 0; }

bool normal_curve(Plot& plot, const Histogram& h, const Moments& m, const SeriesStyle& style) {
  if (!draws_normal_curve(m)) return false;
  std::vector<double> xs, ys;
  const double lo = plot.xscale().lo, hi = plot.xscale().hi;
  constexpr double kRootTwoPi = 2.5066282746310002;
  for (int i = 0; i <= 120; ++i) {
    const double x = lo + (hi - lo) * i / 120;
    const double z = (x - m.mean) / m.sd;
    xs.push_back(x);
    ys.push_back(100 * h.width * std::exp(-0.5 * z * z) / (m.sd * kRootTwoPi));
  }
  plot.line(xs, ys, style, "normal");
  return true;
}

void box_plot(Plot& plot, const BoxStatistics& b, double centre, double half, const SeriesStyle& style,
              bool horizontal) {
  if (b.n == 0) return;
  SvgDocument& svg = plot.svg();
  // (value, position across) to pixels.
  auto at = [&](double value, double across) {
    return horizontal ? Point{plot.px(value), plot.py(across)} : Point{plot.px(across), plot.py(value)};
  };
  const Paint edge{style.colour, "", 1.2};
  svg.begin_layer("box");
  const Point a = at(b.q1, centre - half), c = at(b.q3, centre + half);
  svg.rect(std::min(a.x, c.x), std::min(a.y, c.y), std::fabs(c.x - a.x), std::fabs(c.y - a.y),
           Paint{style.colour, "#FFFFFF", 1.2});
  svg.line(at(b.median, centre - half), at(b.median, centre + half), Paint{style.colour, "", 2});
  svg.line(at(b.q1, centre), at(b.low, centre), edge);
  svg.line(at(b.q3, centre), at(b.high, centre), edge);
  svg.line(at(b.low, centre - half / 2), at(b.low, centre + half / 2), edge);
  svg.line(at(b.high, centre - half / 2), at(b.high, centre + half / 2), edge);
  const Point m = at(b.mean, centre);
  svg.path(marker_path(Marker::Diamond, m, 3.5), Paint{style.colour, style.colour, 1});
  svg.end_layer();
  plot.occupy(at(b.low, centre - half), at(b.high, centre + half));
  std::vector<double> ox, oy;
  for (double v : b.outliers) {
    ox.push_back(horizontal ? v : centre);
    oy.push_back(horizontal ? centre : v);
  }
  if (!ox.empty()) plot.points(ox, oy, style, "outliers");
}

}  // namespace platform::graphs
