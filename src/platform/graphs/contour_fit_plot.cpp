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
    svg.text({x + w + 5, y + cap_height(10) / 2}, tick_label(level, scale), TextStyle{10});
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

// The observations the fit used, at their two regressors, with their
// observed values.
struct Observed {
  std::vector<double> x, y, z;
  std::vector<std::size_t> rows;  // drawn one by one: all, or those that matter in a dense plot
  bool dense = false;
};

// In a dense plot, the footnote says how the observations are shown.
Observed observed_of(const GraphRequest& r, const GraphTable& stats, GraphPage& page) {
  const std::vector<bool> used = used_rows(stats);
  Observed o{kept(stats.values(r.text("_XVAR")), used), kept(stats.values(r.text("_YVAR")), used),
             stats.values(r.text_or("_ZVAR", "Observed")), {}, false};
  const std::size_t n = present(o.x, o.y);
  const MarkPlan plan = mark_plan(n, 1);
  o.dense = plan.dense;
  if (!o.dense) {
    o.rows.resize(o.x.size());
    for (std::size_t i = 0; i < o.rows.size(); ++i) o.rows[i] = i;
    return o;
  }
  const Flagged f = flagged_rows(o.x, o.y, studentized_scores(stats, used, "Residual"), plan.per_series);
  o.rows = f.rows;
  footnote(page, dense_note(n, "observations",
                            "they are shown as hexagonal bins coloured by the mean observed value of the "
                            "observations in each",
                            flagged_text(f.beyond, f.rows.size(), "with a studentized residual beyond \xC2\xB1" "2")));
  return o;
}

// Observations by the request's style: 1 filled with the colour of their
// observed value's band, 2 outlined only, 3 both; in a dense plot the bins
// first, coloured and outlined alike.
void draw_observations(Plot& plot, const Observed& o, const std::vector<double>& levels, long long style) {
  const std::string stroke = style == 1 ? "#404040" : colour::kBlack;
  auto fill = [&](double z) { return style == 2 ? std::string() : band_colour(band_of(z, levels), levels); };
  if (o.dense) draw_value_bins(plot, hex_bins(plot, o.x, o.y, &o.z), fill, stroke, "observed");
  plot.svg().begin_layer("markers", "", "data-series=\"observed\"");
  for (std::size_t i : o.rows) {
    if (!std::isfinite(o.x[i]) || !std::isfinite(o.y[i])) continue;
    plot.point(o.x[i], o.y[i], Paint{stroke, std::isfinite(o.z[i]) ? fill(o.z[i]) : style == 2 ? "" : "#FFFFFF", 1});
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
  const std::vector<double> z = sorted_finite(surface.z);
  if (z.empty()) {
    *why = "the fitted surface has no value on the grid";
    return {};
  }
  const AxisScale zscale = nice_scale(z.front(), z.back(), 8, Extend::ToTicks);
  const std::vector<double>& levels = zscale.ticks;

  const bool legend = r.flag("_SHOWCONTLEGEND");
  PlotOptions options;
  options.inset = inset_statistics(r);
  GraphPage page(r, graph_width(options.inset) + (legend ? 96 : 0), 520);
  const GraphTable* stats = s.table(0);
  const long long obs_style = r.integer("_SHOWOBS", 3);
  Observed observed;
  if (stats && obs_style > 0) observed = observed_of(r, *stats, page);
  Box area = page.body;
  if (legend) area.w -= 96;
  Plot plot(page.svg, area, AxisSpec{r.text("_XLABEL"), surface.x.front(), surface.x.back(), Extend::None},
            AxisSpec{r.text("_YLABEL"), surface.y.front(), surface.y.back(), Extend::None}, options);
  plot.frame();
  draw_surface(plot, surface, levels);
  if (stats && obs_style > 0) draw_observations(plot, observed, levels, obs_style);
  plot.finish();
  if (legend)
    colour_legend(page.svg, Box{area.x + area.w + 4, plot.area().y, 92, plot.area().h}, levels, zscale,
                  r.text("_DEPLABEL"));
  return page.svg.str();
}

}  // namespace platform::graphs
