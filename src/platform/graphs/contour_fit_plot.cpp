// The contour-fit plot: the fitted surface over two regressors as filled
// bands between nice levels with their contour lines, and the observations
// coloured by the band of their observed value.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/graphs/contour_lines.h"
#include "platform/graphs/dense_marks.h"
#include "platform/graphs/graph_page.h"
#include "platform/graphs/graph_templates.h"
#include "platform/graphs/sample_statistics.h"

namespace platform::graphs {
namespace {

// ColorBrewer's sequential blues, light to dark: distinct in grey scale
// and for colour-blind readers.
std::string ramp(double t) {
  static const int stops[][3] = {{247, 251, 255}, {198, 219, 239}, {107, 174, 214}, {33, 113, 181}, {8, 48, 107}};
  t = std::clamp(t, 0.0, 1.0) * 4;
  const int i = std::min(3, static_cast<int>(t));
  const double f = t - i;
  char buf[8];
  int rgb[3];
  for (int k = 0; k < 3; ++k) rgb[k] = static_cast<int>(std::lround(stops[i][k] + f * (stops[i + 1][k] - stops[i][k])));
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", rgb[0], rgb[1], rgb[2]);
  return buf;
}

std::string band_colour(std::size_t band, const std::vector<double>& levels) {
  const double bands = std::max<double>(1, static_cast<double>(levels.size()) - 1);
  return ramp((static_cast<double>(band) + 0.5) / bands);
}

// A level as the reader must read it: where the levels' scale counts in a
// power of ten, the power is written on the level itself (2.5E+12), for
// neither the contour lines nor the colour legend has an axis title to
// carry it.
std::string level_label(double level, const AxisScale& scale) {
  std::string text = tick_label(level, scale);
  if (scale.exponent == 0 || text.find_first_not_of("-0.") == std::string::npos) return text;
  char power[16];
  std::snprintf(power, sizeof power, "E%+03d", scale.exponent);
  return text + power;
}

void colour_legend(SvgDocument& svg, const Box& box, const std::vector<double>& levels, const AxisScale& scale,
                   const std::string& title) {
  svg.begin_layer("colour-legend");
  const double x = box.x + 8, w = 14, top = box.y + 24, h = box.h - 48;
  svg.text({box.x + 4, box.y + 12}, fit_text(title, box.w - 6, 10), TextStyle{10});
  const double span = levels.back() - levels.front();
  for (std::size_t b = 0; b + 1 < levels.size(); ++b) {
    const double y0 = top + h - (levels[b + 1] - levels.front()) / span * h;
    const double y1 = top + h - (levels[b] - levels.front()) / span * h;
    svg.rect(x, y0, w, y1 - y0, Paint{"", band_colour(b, levels)});
  }
  svg.rect(x, top, w, h, Paint{colour::kFrame, "", 0.8});
  for (double level : levels) {
    const double y = top + h - (level - levels.front()) / span * h;
    svg.line({x + w, y}, {x + w + 3, y}, Paint{colour::kFrame, "", 0.8});
    svg.text({x + w + 5, y + cap_height(10) / 2}, level_label(level, scale), TextStyle{10});
  }
  svg.end_layer();
}

// The grid's rows run over y within x: the first x holds ny rows.
bool surface_of(const GraphRequest& r, const GraphTable& grid, SurfaceGrid* surface, std::string* why) {
  const std::vector<double> gx = grid.values(r.text_or("_XPRED", "xgrid"));
  const std::vector<double> gy = grid.values(r.text_or("_YPRED", "ygrid"));
  std::size_t ny = 1;
  while (ny < grid.rows && gx[ny] == gx[0]) ++ny;
  const std::size_t nx = grid.rows / ny;
  if (nx < 2 || ny < 2 || nx * ny != grid.rows) {
    *why = "the contour-fit plot's grid is not a rectangular grid";
    return false;
  }
  for (std::size_t i = 0; i < nx; ++i) surface->x.push_back(gx[i * ny]);
  for (std::size_t j = 0; j < ny; ++j) surface->y.push_back(gy[j]);
  surface->z = grid.values(r.text_or("_ZPRED", "zgrid"));
  return true;
}

// The bands, each edged in its own colour so that no seam shows, and the
// contour lines between them.
void draw_surface(Plot& plot, const SurfaceGrid& surface, const std::vector<double>& levels) {
  SvgDocument& svg = plot.svg();
  svg.begin_layer("surface", plot.clip());
  for (const BandPolygon& band : band_polygons(surface, levels)) {
    std::vector<Point> pixels;
    for (const Point& p : band.points) pixels.push_back({plot.px(p.x), plot.py(p.y)});
    const std::string colour = band_colour(band.band, levels);
    svg.polygon(pixels, Paint{colour, colour, 0.8});
  }
  svg.end_layer();
  svg.begin_layer("contours", plot.clip());
  for (std::size_t l = 1; l + 1 < levels.size(); ++l) {
    std::string d;
    for (const auto& [a, b] : contour_segments(surface, levels[l]))
      d += "M" + coord(plot.px(a.x)) + "," + coord(plot.py(a.y)) + "L" + coord(plot.px(b.x)) + "," + coord(plot.py(b.y));
    if (!d.empty()) svg.path(d, Paint{"#404040", "", 0.7});
  }
  svg.end_layer();
}

// The pixels the observations' markers cover, in cells of 4 pixels, so
// that a label can keep off them at a cost that does not grow with their
// number.
class MarkerCover {
 public:
  MarkerCover(const Box& area, const std::vector<Point>& markers)
      : area_(area), columns_(cells(area.w)), rows_(cells(area.h)), covered_(columns_ * rows_) {
    for (const Point& p : markers) mark(p, 5);
  }
  // Whether the disc of radius r about p touches a marker.
  bool touches(Point p, double r) const {
    bool any = false;
    for_cells(p, r, [&](std::size_t k) { any = any || covered_[k]; });
    return any;
  }

 private:
  static std::size_t cells(double pixels) { return static_cast<std::size_t>(std::max(1.0, std::ceil(pixels / 4))); }
  // The cells of the square about p of half-side r.
  template <class F>
  void for_cells(Point p, double r, F&& f) const {
    auto cell = [](double v, std::size_t n) { return std::min(n - 1, static_cast<std::size_t>(std::max(0.0, v / 4))); };
    for (std::size_t i = cell(p.x - r - area_.x, columns_); i <= cell(p.x + r - area_.x, columns_); ++i)
      for (std::size_t j = cell(p.y - r - area_.y, rows_); j <= cell(p.y + r - area_.y, rows_); ++j) f(j * columns_ + i);
  }
  void mark(Point p, double r) {
    for_cells(p, r, [&](std::size_t k) { covered_[k] = true; });
  }
  Box area_;
  std::size_t columns_, rows_;
  std::vector<bool> covered_;
};

// Each contour line's level written along it, on a light patch, where the
// labels stand farthest from each other and from the edges of the plot,
// off the observations.
void label_contours(Plot& plot, const SurfaceGrid& surface, const std::vector<double>& levels,
                    const AxisScale& scale, const MarkerCover& markers) {
  constexpr double kSize = 9;
  const Box& a = plot.area();
  std::vector<Point> placed;
  plot.svg().begin_layer("contour-labels");
  for (std::size_t l = 1; l + 1 < levels.size(); ++l) {
    const std::string text = level_label(levels[l], scale);
    const double half_w = text_width(text, kSize) / 2 + 2, half_h = cap_height(kSize) / 2 + 2;
    double best_room = -1;
    Point at{}, along{1, 0};
    for (const auto& [p, q] : contour_segments(surface, levels[l])) {
      const Point m{(plot.px(p.x) + plot.px(q.x)) / 2, (plot.py(p.y) + plot.py(q.y)) / 2};
      double room = std::min({m.x - a.x, a.x + a.w - m.x, m.y - a.y, a.y + a.h - m.y}) - half_w - 4;
      if (room <= best_room || markers.touches(m, half_w)) continue;
      for (const Point& o : placed) room = std::min(room, std::hypot(m.x - o.x, m.y - o.y) - 2 * half_w);
      if (room <= best_room) continue;
      best_room = room, at = m;
      along = {plot.px(q.x) - plot.px(p.x), plot.py(q.y) - plot.py(p.y)};
    }
    if (best_room < 0) continue;
    // Along the line, never upside down.
    if (along.x < 0) along = {-along.x, -along.y};
    const double len = std::hypot(along.x, along.y);
    const Point u = len > 0 ? Point{along.x / len, along.y / len} : Point{1, 0};
    const Point n{-u.y, u.x};
    auto corner = [&](double s, double t) { return Point{at.x + s * u.x + t * n.x, at.y + s * u.y + t * n.y}; };
    Paint patch{"", "#FFFFFF", 1, "", 0.8};
    plot.svg().polygon({corner(-half_w, -half_h), corner(half_w, -half_h), corner(half_w, half_h), corner(-half_w, half_h)},
                       patch);
    TextStyle style{kSize, Anchor::Middle, FontWeight::Normal, "#202020"};
    style.rotate = std::atan2(u.y, u.x) * 180 / 3.14159265358979323846;
    plot.svg().text(corner(0, cap_height(kSize) / 2), text, style);
    placed.push_back(at);
  }
  plot.svg().end_layer();
}

// The observations the fit used: their two regressors and observed
// response, and which of them are drawn one by one (all, or in a dense
// plot those whose studentized residual lies beyond +-2, the farthest
// first).
struct Observed {
  std::vector<double> x, y, z;
  std::vector<std::size_t> rows;
  bool dense = false;
  std::size_t present = 0, beyond = 0;
};

Observed observed_of(const GraphRequest& r, const GraphTable& stats) {
  const std::vector<bool> used = used_rows(stats);
  Observed o{kept(stats.values(r.text("_XVAR")), used), kept(stats.values(r.text("_YVAR")), used),
             kept(stats.values(r.text_or("_ZVAR", "Observed")), used), {}, false, 0, 0};
  // An observation without a response was not fitted and has no colour:
  // it is not drawn, rather than drawn in the lightest band's white.
  for (std::size_t i = 0; i < o.z.size() && i < o.x.size(); ++i)
    if (!std::isfinite(o.z[i])) o.x[i] = kNaN;
  o.present = present(o.x, o.y);
  const MarkPlan plan = mark_plan(o.present, 1);
  o.dense = plan.dense;
  if (!o.dense) {
    o.rows.resize(o.x.size());
    for (std::size_t i = 0; i < o.rows.size(); ++i) o.rows[i] = i;
    return o;
  }
  const Flagged f = flagged_rows(o.x, o.y, studentized_scores(stats, used, "Residual"), plan.per_series);
  o.rows = f.rows;
  o.beyond = f.beyond;
  return o;
}

// The footnote of a dense plot: how its observations are shown.
void dense_footnote(GraphPage& page, const Observed& o) {
  footnote(page, dense_note(o.present, "observations",
                            "they are shown as hexagonal bins coloured by the mean observed value of the "
                            "observations in each",
                            flagged_text(o.beyond, o.rows.size(), "with a studentized residual beyond \xC2\xB1" "2")));
}

// How the request's style draws observations: 1 filled with the colour of
// their observed value's band, 2 outlined only, 3 both.
struct ObservedPaint {
  const std::vector<double>& levels;
  long long style;
  std::string stroke() const { return style == 1 ? "#404040" : colour::kBlack; }
  std::string fill(double z) const {
    if (style == 2) return "";
    return std::isfinite(z) ? band_colour(band_of(z, levels), levels) : "#FFFFFF";
  }
};

// A dense plot's observations as hexagonal bins, coloured by the mean
// observed value in each and outlined like the markers.
void draw_observed_bins(Plot& plot, const Observed& o, const ObservedPaint& paint) {
  draw_value_bins(plot, hex_bins(plot, o.x, o.y, &o.z), [&](double z) { return paint.fill(z); }, paint.stroke(),
                  "observed");
}

// The observations drawn one by one, in pixels.
std::vector<Point> marker_points(const Plot& plot, const Observed& o) {
  std::vector<Point> markers;
  for (std::size_t i : o.rows)
    if (std::isfinite(o.x[i]) && std::isfinite(o.y[i])) markers.push_back({plot.px(o.x[i]), plot.py(o.y[i])});
  return markers;
}

// The observations drawn one by one.
void draw_observations(Plot& plot, const Observed& o, const ObservedPaint& paint) {
  plot.svg().begin_layer("markers", "", "data-series=\"observed\"");
  for (std::size_t i : o.rows) {
    if (!std::isfinite(o.x[i]) || !std::isfinite(o.y[i])) continue;
    plot.point(o.x[i], o.y[i], Paint{paint.stroke(), paint.fill(o.z[i]), 1});
  }
  plot.svg().end_layer();
}

}  // namespace

std::string draw_contour_fit_plot(const GraphSources& s, std::string* why) {
  const GraphRequest& r = s.request;
  const GraphTable* grid = s.table(1);
  SurfaceGrid surface;
  if (!grid || grid->rows < 4) {
    *why = "the two-regressor score grid of the contour-fit plot is not in the output";
    return {};
  }
  if (!surface_of(r, *grid, &surface, why)) return {};
  const GraphTable* stats = s.table(0);
  const Observed observed = stats ? observed_of(r, *stats) : Observed{};
  // The levels span the observed responses too, so that no observation
  // takes an end colour that is not its own.
  std::vector<double> z = sorted_finite(surface.z);
  if (z.empty()) {
    *why = "the fitted surface has no value on the grid";
    return {};
  }
  for (std::size_t i = 0; i < observed.z.size(); ++i)
    if (std::isfinite(observed.x[i]) && std::isfinite(observed.y[i]) && std::isfinite(observed.z[i]))
      z.push_back(observed.z[i]);
  const auto [zlo, zhi] = std::minmax_element(z.begin(), z.end());
  const AxisScale zscale = nice_scale(*zlo, *zhi, 8, Extend::ToTicks);
  const std::vector<double>& levels = zscale.ticks;

  const bool legend = r.flag("_SHOWCONTLEGEND");
  PlotOptions options;
  options.inset = inset_statistics(r);
  options.inset_outside = true;  // the surface leaves no corner empty
  GraphPage page(r, graph_width(options.inset, true) + (legend ? 96 : 0), 520);
  const long long obs_style = stats ? r.integer("_SHOWOBS", 3) : 0;
  if (obs_style > 0 && observed.dense) dense_footnote(page, observed);
  Box area = page.body;
  if (legend) area.w -= 96;
  Plot plot(page.svg, area, AxisSpec{r.text("_XLABEL"), surface.x.front(), surface.x.back(), Extend::None},
            AxisSpec{r.text("_YLABEL"), surface.y.front(), surface.y.back(), Extend::None}, options);
  plot.frame();
  draw_surface(plot, surface, levels);
  const ObservedPaint paint{levels, obs_style};
  // A dense plot's bins lie under the level labels, which keep off the
  // observations drawn one by one.
  if (obs_style > 0 && observed.dense) draw_observed_bins(plot, observed, paint);
  label_contours(plot, surface, levels, zscale,
                 MarkerCover(plot.area(), obs_style > 0 ? marker_points(plot, observed) : std::vector<Point>{}));
  if (obs_style > 0) draw_observations(plot, observed, paint);
  plot.finish();
  if (legend)
    colour_legend(page.svg, Box{area.x + area.w + 4, plot.area().y, 92, plot.area().h}, levels, zscale,
                  r.text("_DEPLABEL"));
  return page.svg.str();
}

}  // namespace platform::graphs
