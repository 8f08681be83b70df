// The fit plot (observations, fitted curve, confidence band for the mean,
// prediction limits) and the contour-fit plot (the fitted surface over two
// regressors with the observations), drawn from the score grids.
#include <algorithm>
#include <cmath>

#include "platform/graphs/contour_lines.h"
#include "platform/graphs/graph_page.h"
#include "platform/graphs/graph_templates.h"

namespace platform::graphs {
namespace {

// The score grid's first 201 rows are the curve; rows after them are the
// observations of the BY group in order.
constexpr std::size_t kCurveRows = 201;

std::string name_or(const GraphRequest& r, const char* var, const char* fallback) {
  std::string v = r.text(var);
  return v.empty() ? fallback : v;
}

std::vector<double> head(const std::vector<double>& v, std::size_t n) {
  return std::vector<double>(v.begin(), v.begin() + static_cast<long>(std::min(n, v.size())));
}
std::vector<double> tail(const std::vector<double>& v, std::size_t n) {
  return n < v.size() ? std::vector<double>(v.begin() + static_cast<long>(n), v.end()) : std::vector<double>{};
}

}  // namespace

std::string draw_fit_plot(const GraphSources& s, std::string* why) {
  const GraphRequest& r = s.request;
  const GraphTable* grid = s.table(1);
  if (!grid) {
    *why = "the score grid of the fit plot is not in the output";
    return {};
  }
  const GraphTable* stats = s.table(0);
  const std::size_t curve_rows = std::min(kCurveRows, grid->rows);
  const std::vector<double> all_x = grid->values(name_or(r, "_XPRED", "xgrid"));
  const std::vector<double> x = head(all_x, curve_rows);
  const std::vector<double> fit = head(grid->values(name_or(r, "_YPRED", "ygrid")), curve_rows);
  const bool clm = r.flag("_HASCONFLIMITS") && !r.text("_UCM").empty();
  const bool cli = r.flag("_HASPREDLIMITS") && !r.text("_UCI").empty();
  const std::vector<double> ucm = grid->values(r.text("_UCM")), lcm = grid->values(r.text("_LCM"));
  const std::vector<double> uci = grid->values(r.text("_UCI")), lci = grid->values(r.text("_LCI"));

  // Observations: with weights their own prediction limits come from the
  // grid's observation rows; otherwise the output statistics hold them.
  const bool per_observation = cli && !r.text("_YVARGRID").empty();
  std::vector<double> ox, oy;
  std::vector<bool> used;
  if (stats) used = used_rows(*stats);
  if (per_observation || !stats) {
    ox = tail(all_x, curve_rows);
    oy = tail(grid->values(name_or(r, "_YVARGRID", "yvargrid")), curve_rows);
    if (used.size() == ox.size()) ox = kept(ox, used);
  } else {
    ox = kept(stats->values(r.text("_XVAR")), used);
    oy = kept(stats->values(name_or(r, "_YVAR", "Observed")), used);
  }
  std::vector<double> obs_uci, obs_lci;
  if (per_observation) obs_uci = tail(uci, curve_rows), obs_lci = tail(lci, curve_rows);

  const std::vector<double> ucm_c = head(ucm, curve_rows), lcm_c = head(lcm, curve_rows);
  const std::vector<double> uci_c = head(uci, curve_rows), lci_c = head(lci, curve_rows);
  AxisSpec xa = axis_over(r.text("_XVAR"), {&x, &ox});
  AxisSpec ya = axis_over(name_or(r, "_DEPLABEL", "Observed"), {&fit, &oy});
  if (clm) ya = axis_over(ya.title, {&fit, &oy, &ucm_c, &lcm_c});
  if (cli && !per_observation) ya = axis_over(ya.title, {&fit, &oy, &ucm_c, &lcm_c, &uci_c, &lci_c});
  if (per_observation) ya = axis_over(ya.title, {&fit, &oy, &ucm_c, &lcm_c, &obs_uci, &obs_lci});
  if (xa.title.empty()) xa.title = grid->label("xgrid");

  const SeriesStyle observed = series_style(0);
  const SeriesStyle fitted{colour::kVermillion, Marker::Circle, "", 2};
  const SeriesStyle limits{colour::kGreen, Marker::Circle, kDashed, 1.5};
  const Paint band{"", colour::kSkyBlue, 1, "", 0.35};
  PlotOptions options;
  options.inset = inset_statistics(r);
  options.legend.push_back({"Fit", LegendEntry::Line, fitted});
  if (clm) options.legend.push_back({name_or(r, "_CONFLABEL", "Confidence limits"), LegendEntry::Fill, {}, band});
  if (cli) options.legend.push_back({name_or(r, "_PREDLIMLABEL", "Prediction limits"), LegendEntry::Line, limits});
  options.legend.push_back({name_or(r, "_YVAR", "Observed"), LegendEntry::Markers, observed});

  GraphPage page(r, kGraphWidth, 480);
  Plot plot(page.svg, page.body, xa, ya, options);
  plot.frame();
  if (clm) plot.band(x, lcm_c, ucm_c, band, "confidence");
  if (cli && !per_observation) {
    plot.line(x, uci_c, limits, "upper prediction");
    plot.line(x, lci_c, limits, "lower prediction");
  }
  if (per_observation) {
    page.svg.begin_layer("prediction-bars");
    for (std::size_t i = 0; i < ox.size() && i < obs_uci.size(); ++i)
      if (std::isfinite(ox[i]) && std::isfinite(obs_uci[i]) && std::isfinite(obs_lci[i]))
        page.svg.line({plot.px(ox[i]), plot.py(obs_lci[i])}, {plot.px(ox[i]), plot.py(obs_uci[i])},
                      Paint{colour::kGreen, "", 1, kDashed});
    page.svg.end_layer();
  }
  plot.line(x, fit, fitted, "fit");
  plot.points(ox, oy, observed, "observed");
  plot.finish();
  return page.svg.str();
}

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

}  // namespace

std::string draw_contour_fit_plot(const GraphSources& s, std::string* why) {
  const GraphRequest& r = s.request;
  const GraphTable* grid = s.table(1);
  if (!grid || grid->rows < 4) {
    *why = "the two-regressor score grid of the contour-fit plot is not in the output";
    return {};
  }
  const std::vector<double> gx = grid->values(name_or(r, "_XPRED", "xgrid"));
  const std::vector<double> gy = grid->values(name_or(r, "_YPRED", "ygrid"));
  const std::vector<double> gz = grid->values(name_or(r, "_ZPRED", "zgrid"));
  // Rows run over y within x: the first x holds ny rows.
  std::size_t ny = 1;
  while (ny < grid->rows && gx[ny] == gx[0]) ++ny;
  const std::size_t nx = grid->rows / ny;
  if (nx < 2 || ny < 2 || nx * ny != grid->rows) {
    *why = "the contour-fit plot's grid is not a rectangular grid";
    return {};
  }
  SurfaceGrid surface;
  for (std::size_t i = 0; i < nx; ++i) surface.x.push_back(gx[i * ny]);
  for (std::size_t j = 0; j < ny; ++j) surface.y.push_back(gy[j]);
  surface.z = gz;
  double zlo = kNaN, zhi = kNaN;
  for (double z : gz)
    if (std::isfinite(z)) zlo = std::isfinite(zlo) ? std::min(zlo, z) : z, zhi = std::isfinite(zhi) ? std::max(zhi, z) : z;
  if (!std::isfinite(zlo)) {
    *why = "the fitted surface has no value on the grid";
    return {};
  }
  const AxisScale zscale = nice_scale(zlo, zhi, 8, Extend::ToTicks);
  const std::vector<double>& levels = zscale.ticks;

  const bool legend = r.flag("_SHOWCONTLEGEND");
  GraphPage page(r, kGraphWidth, 520);
  Box area = page.body;
  if (legend) area.w -= 96;
  AxisSpec xa{r.text("_XLABEL"), surface.x.front(), surface.x.back(), Extend::None};
  AxisSpec ya{r.text("_YLABEL"), surface.y.front(), surface.y.back(), Extend::None};
  PlotOptions options;
  options.inset = inset_statistics(r);
  Plot plot(page.svg, area, xa, ya, options);
  plot.frame();

  // The bands, each edged in its own colour so that no seam shows.
  page.svg.begin_layer("surface", plot.clip());
  for (const BandPolygon& band : band_polygons(surface, levels)) {
    std::vector<Point> pixels;
    for (const Point& p : band.points) pixels.push_back({plot.px(p.x), plot.py(p.y)});
    const std::string colour = band_colour(band.band, levels);
    page.svg.polygon(pixels, Paint{colour, colour, 0.8});
  }
  page.svg.end_layer();

  page.svg.begin_layer("contours", plot.clip());
  for (std::size_t l = 1; l + 1 < levels.size(); ++l) {
    std::string d;
    for (const auto& [a, b] : contour_segments(surface, levels[l]))
      d += "M" + coord(plot.px(a.x)) + "," + coord(plot.py(a.y)) + "L" + coord(plot.px(b.x)) + "," + coord(plot.py(b.y));
    if (!d.empty()) page.svg.path(d, Paint{"#404040", "", 0.7});
  }
  page.svg.end_layer();

  if (r.flag("_SHOWOBS") || !r.dynamic.contains("_SHOWOBS")) {
    if (const GraphTable* stats = s.table(0)) {
      const std::vector<bool> used = used_rows(*stats);
      const std::vector<double> ox = kept(stats->values(r.text("_XVAR")), used);
      const std::vector<double> oy = kept(stats->values(r.text("_YVAR")), used);
      const std::vector<double> oz = stats->values(name_or(r, "_ZVAR", "Observed"));
      page.svg.begin_layer("markers", "", "data-series=\"observed\"");
      for (std::size_t i = 0; i < ox.size(); ++i) {
        if (!std::isfinite(ox[i]) || !std::isfinite(oy[i])) continue;
        const std::string fill = std::isfinite(oz[i]) ? band_colour(band_of(oz[i], levels), levels) : "#FFFFFF";
        plot.point(ox[i], oy[i], Paint{colour::kBlack, fill, 1});
      }
      page.svg.end_layer();
    }
  }
  plot.finish();
  if (legend)
    colour_legend(page.svg, Box{area.x + area.w + 4, plot.area().y, 92, plot.area().h}, levels, zscale,
                  r.text("_DEPLABEL"));
  return page.svg.str();
}

}  // namespace platform::graphs
