// The fit plot: observations, the fitted curve, the confidence band for the
// mean and the prediction limits, drawn from the score grid. When the model
// uses other variables of the data set besides the regressor, the grid
// holds one curve for each combination of their values, and each curve is
// drawn with its observations in a style of its own.
#include <algorithm>
#include <cmath>

#include "platform/graphs/graph_page.h"
#include "platform/graphs/graph_templates.h"

namespace platform::graphs {
namespace {

// The score grid's first 201 rows (for each curve) are the curve; rows
// after them are the observations of the BY group in order.
constexpr std::size_t kCurveRows = 201;

std::vector<double> head(const std::vector<double>& v, std::size_t n) {
  return std::vector<double>(v.begin(), v.begin() + static_cast<long>(std::min(n, v.size())));
}
std::vector<double> tail(const std::vector<double>& v, std::size_t n) {
  return n < v.size() ? std::vector<double>(v.begin() + static_cast<long>(n), v.end()) : std::vector<double>{};
}
// The elements of v whose curve number is `curve`, NaN elsewhere.
std::vector<double> of_curve(const std::vector<double>& v, const std::vector<double>& curves, double curve) {
  std::vector<bool> keep(v.size());
  for (std::size_t i = 0; i < v.size() && i < curves.size(); ++i) keep[i] = curves[i] == curve;
  return kept(v, keep);
}

// The curve's columns over the grid rows.
struct Curve {
  std::vector<double> x, fit, ucm, lcm, uci, lci;
};

Curve curve_of(const GraphRequest& r, const GraphTable& grid, std::size_t rows, const std::vector<double>& curves,
               double curve) {
  auto column = [&](const std::string& name) {
    std::vector<double> v = head(grid.values(name), rows);
    return curves.empty() ? v : of_curve(v, curves, curve);
  };
  return {column(r.text_or("_XPRED", "xgrid")), column(r.text_or("_YPRED", "ygrid")), column(r.text("_UCM")),
          column(r.text("_LCM")), column(r.text("_UCI")), column(r.text("_LCI"))};
}

// The observations the fit used; with weights their own prediction limits
// come from the grid's observation rows, otherwise the output statistics
// hold them.
struct Observations {
  std::vector<double> x, y, upper, lower;
};

Observations observations_of(const GraphRequest& r, const GraphTable& grid, const GraphTable* stats,
                             bool per_observation, std::size_t curve_rows) {
  Observations o;
  std::vector<bool> used;
  if (stats) used = used_rows(*stats);
  if (per_observation || !stats) {
    o.x = tail(grid.values(r.text_or("_XPRED", "xgrid")), curve_rows);
    o.y = tail(grid.values(r.text_or("_YVARGRID", "yvargrid")), curve_rows);
    if (used.size() == o.x.size()) o.x = kept(o.x, used);
  } else {
    o.x = kept(stats->values(r.text("_XVAR")), used);
    o.y = kept(stats->values(r.text_or("_YVAR", "Observed")), used);
  }
  if (per_observation)
    o.upper = tail(grid.values(r.text("_UCI")), curve_rows), o.lower = tail(grid.values(r.text("_LCI")), curve_rows);
  return o;
}

Observations of_curve(const Observations& o, const std::vector<double>& curves, double curve) {
  return {of_curve(o.x, curves, curve), o.y, o.upper, o.lower};
}

// Vertical prediction limits at each observation of a weighted fit.
void prediction_bars(Plot& plot, const Observations& o, const SeriesStyle& style) {
  plot.svg().begin_layer("prediction-bars");
  for (std::size_t i = 0; i < o.x.size() && i < o.upper.size(); ++i)
    if (std::isfinite(o.x[i]) && std::isfinite(o.upper[i]) && std::isfinite(o.lower[i]))
      plot.svg().line({plot.px(o.x[i]), plot.py(o.lower[i])}, {plot.px(o.x[i]), plot.py(o.upper[i])},
                      Paint{style.colour, "", 1, style.dash});
  plot.svg().end_layer();
}

// How one curve and its observations are drawn.
struct CurveStyle {
  std::string label;       // the combination the curve is for; "" for a single curve
  SeriesStyle fit, limits, observed;
  Paint band;
};

CurveStyle single_curve_style() {
  return {"", SeriesStyle{colour::kVermillion, Marker::Circle, "", 2}, SeriesStyle{colour::kGreen, Marker::Circle, kDashed, 1.5},
          series_style(0), Paint{"", colour::kSkyBlue, 1, "", 0.35}};
}

// Curve g of several: its series' colour, marker and dash throughout.
CurveStyle group_curve_style(int g, std::string label) {
  const SeriesStyle s = series_style(g);
  return {std::move(label), SeriesStyle{s.colour, s.marker, s.dash, 2}, SeriesStyle{s.colour, s.marker, kDotted, 1},
          s, Paint{"", s.colour, 1, "", 0.18}};
}

std::vector<LegendEntry> legend_of(const GraphRequest& r, const std::vector<CurveStyle>& styles, bool clm, bool cli) {
  std::vector<LegendEntry> legend;
  const bool several = styles.size() > 1;
  const std::string confidence = r.text_or("_CONFLABEL", "Confidence limits");
  const std::string prediction = r.text_or("_PREDLIMLABEL", "Prediction limits");
  if (!several) {
    const CurveStyle& s = styles.front();
    legend.push_back({"Fit", LegendEntry::Line, s.fit});
    if (clm) legend.push_back({confidence, LegendEntry::Fill, {}, s.band});
    if (cli) legend.push_back({prediction, LegendEntry::Line, s.limits});
    legend.push_back({r.text_or("_YVAR", "Observed"), LegendEntry::Markers, s.observed});
    return legend;
  }
  for (const CurveStyle& s : styles) legend.push_back({s.label, LegendEntry::LineMarker, s.fit});
  if (clm) legend.push_back({confidence, LegendEntry::Fill, {}, Paint{"", colour::kReference, 1, "", 0.3}});
  if (cli) legend.push_back({prediction, LegendEntry::Line, SeriesStyle{colour::kReference, Marker::Circle, kDotted, 1}});
  return legend;
}

}  // namespace

std::string draw_fit_plot(const GraphSources& s, std::string* why) {
  const GraphRequest& r = s.request;
  const GraphTable* grid = s.table(1);
  if (!grid) {
    *why = "the score grid of the fit plot is not in the output";
    return {};
  }
  // Several curves: one per combination of the other variables.
  const long long n_curves = std::clamp<long long>(r.integer("_NCURVES", 1), 1, 16);
  const std::vector<double> curve_column = n_curves > 1 ? grid->values(r.text("_CURVEVAR")) : std::vector<double>{};
  const std::size_t curve_rows = kCurveRows * static_cast<std::size_t>(n_curves);
  const bool clm = r.flag("_HASCONFLIMITS") && !r.text("_UCM").empty();
  const bool cli = r.flag("_HASPREDLIMITS") && !r.text("_UCI").empty();
  const bool per_observation = cli && !r.text("_YVARGRID").empty();
  const Observations o = observations_of(r, *grid, s.table(0), per_observation, curve_rows);
  const std::vector<double> observed_curve = tail(curve_column, curve_rows);

  std::vector<Curve> curves;
  std::vector<CurveStyle> styles;
  for (long long g = 1; g <= n_curves; ++g) {
    curves.push_back(curve_of(r, *grid, std::min(curve_rows, grid->rows), curve_column, static_cast<double>(g)));
    styles.push_back(n_curves > 1 ? group_curve_style(static_cast<int>(g - 1), r.text("_CURVELABEL" + std::to_string(g)))
                                  : single_curve_style());
  }

  AxisSpec xa = axis_over(r.text("_XVAR").empty() ? grid->label("xgrid") : r.text("_XVAR"), {&o.x});
  AxisSpec ya = axis_over(r.text_or("_DEPLABEL", "Observed"), {&o.y, &o.upper, &o.lower});
  for (const Curve& c : curves) {
    for (const auto* v : {&c.x}) for (double d : *v) include(xa, d);
    for (const auto* v : {&c.fit, clm ? &c.ucm : nullptr, clm ? &c.lcm : nullptr,
                          cli && !per_observation ? &c.uci : nullptr, cli && !per_observation ? &c.lci : nullptr})
      if (v) for (double d : *v) include(ya, d);
  }

  PlotOptions options;
  options.inset = inset_statistics(r);
  options.legend = legend_of(r, styles, clm, cli);
  GraphPage page(r, graph_width(options.inset), 480);
  Plot plot(page.svg, page.body, xa, ya, options);
  plot.frame();
  for (std::size_t g = 0; g < curves.size(); ++g) {
    const Curve& c = curves[g];
    const std::string n = curves.size() > 1 ? " " + std::to_string(g + 1) : "";
    if (clm) plot.band(c.x, c.lcm, c.ucm, styles[g].band, "confidence" + n);
    if (cli && !per_observation) {
      plot.line(c.x, c.uci, styles[g].limits, "upper prediction" + n);
      plot.line(c.x, c.lci, styles[g].limits, "lower prediction" + n);
    }
  }
  for (std::size_t g = 0; g < curves.size(); ++g) {
    const std::string n = curves.size() > 1 ? " " + std::to_string(g + 1) : "";
    const Observations og = curves.size() > 1 ? of_curve(o, observed_curve, static_cast<double>(g + 1)) : o;
    if (per_observation) prediction_bars(plot, og, styles[g].limits);
    plot.line(curves[g].x, curves[g].fit, styles[g].fit, "fit" + n);
    plot.points(og.x, og.y, styles[g].observed, "observed" + n);
  }
  plot.finish();
  return page.svg.str();
}

}  // namespace platform::graphs
