// The fit plot: observations, the fitted curve, the confidence band for the
// mean and the prediction limits, drawn from the score grid. When the model
// uses other variables of the data set besides the regressor, the grid
// holds one curve for each combination of their values, and each curve is
// drawn with its observations in a style of its own.
#include <algorithm>
#include <cmath>

#include "platform/graphs/dense_marks.h"
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

// The observations the fit used. With prediction limits they come from the
// grid's observation rows, which also hold each observation's own limits,
// scored at the observation with its own values of every variable, as
// OUTPUT computes them; otherwise from the output statistics.
struct Observations {
  std::vector<double> x, y, upper, lower;
};

Observations observations_of(const GraphRequest& r, const GraphTable& grid, const GraphTable* stats, bool cli,
                             std::size_t curve_rows) {
  Observations o;
  std::vector<bool> used;
  if (stats) used = used_rows(*stats);
  if (cli || !stats) {
    o.x = tail(grid.values(r.text_or("_XPRED", "xgrid")), curve_rows);
    o.y = tail(grid.values(r.text_or("_YVARGRID", "yvargrid")), curve_rows);
    if (used.size() == o.x.size()) o.x = kept(o.x, used);
  } else {
    o.x = kept(stats->values(r.text("_XVAR")), used);
    o.y = kept(stats->values(r.text_or("_YVAR", "Observed")), used);
  }
  if (cli)
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

// The legend; a dense plot shows a single curve's observations as bins.
std::vector<LegendEntry> legend_of(const GraphRequest& r, const std::vector<CurveStyle>& styles, bool clm, bool cli,
                                   bool dense) {
  std::vector<LegendEntry> legend;
  const bool several = styles.size() > 1;
  const std::string confidence = r.text_or("_CONFLABEL", "Confidence limits");
  const std::string prediction = r.text_or("_PREDLIMLABEL", "Prediction limits");
  if (!several) {
    const CurveStyle& s = styles.front();
    legend.push_back({"Fit", LegendEntry::Line, s.fit});
    if (clm) legend.push_back({confidence, LegendEntry::Fill, {}, s.band});
    if (cli) legend.push_back({prediction, LegendEntry::Line, s.limits});
    legend.push_back({r.text_or("_YVAR", "Observed"), dense ? LegendEntry::Binned : LegendEntry::Markers, s.observed});
    return legend;
  }
  for (const CurveStyle& s : styles) legend.push_back({s.label, LegendEntry::LineMarker, s.fit});
  if (clm) legend.push_back({confidence, LegendEntry::Fill, {}, Paint{"", colour::kReference, 1, "", 0.3}});
  if (cli) legend.push_back({prediction, LegendEntry::Line, SeriesStyle{colour::kReference, Marker::Circle, kDotted, 1}});
  return legend;
}

// How far outside [lower, upper] each y lies, in widths of the interval
// past 1; 0 inside it.
std::vector<double> outside_scores(const std::vector<double>& y, const std::vector<double>& lower,
                                   const std::vector<double>& upper) {
  std::vector<double> s(y.size(), kNaN);
  for (std::size_t i = 0; i < y.size() && i < lower.size() && i < upper.size(); ++i) {
    const double w = upper[i] - lower[i];
    if (!(w > 0) || !std::isfinite(y[i])) continue;
    s[i] = y[i] > upper[i] ? 1 + (y[i] - upper[i]) / w : y[i] < lower[i] ? 1 + (lower[i] - y[i]) / w : 0;
  }
  return s;
}

// The observations that matter when the fit plot has more than it draws
// one by one: those outside their own prediction limits, or without limits
// those with a studentized residual beyond +-2. Says which in `what`.
std::vector<double> observation_scores(const Observations& o, const GraphTable* stats, bool cli, std::string* what) {
  *what = "outside the prediction limits";
  if (cli) return outside_scores(o.y, o.lower, o.upper);
  *what = "with a studentized residual beyond \xC2\xB1" "2";
  return stats ? studentized_scores(*stats, used_rows(*stats), "Residual") : std::vector<double>{};
}

// The rows among `rows` whose observation belongs to curve `curve`.
std::vector<std::size_t> rows_of_curve(const std::vector<std::size_t>& rows, const std::vector<double>& observed_curve,
                                       double curve) {
  std::vector<std::size_t> out;
  for (std::size_t r : rows)
    if (r < observed_curve.size() && observed_curve[r] == curve) out.push_back(r);
  return out;
}

// Each curve's observations in bins of its colour, side by side in each
// hexagon.
void curve_bins(Plot& plot, const Observations& o, const std::vector<double>& observed_curve,
                const std::vector<CurveStyle>& styles, const MarkPlan& plan) {
  const std::size_t curves = styles.size();
  std::vector<std::vector<double>> xs;  // each curve's observations' x, the others' NaN
  for (std::size_t g = 0; g < curves; ++g)
    xs.push_back(curves > 1 ? of_curve(o.x, observed_curve, static_cast<double>(g + 1)) : o.x);
  std::vector<BinnedSeries> bins;
  for (std::size_t g = 0; g < curves; ++g)
    bins.push_back({xs[g], o.y, styles[g].observed.colour, curves > 1 ? "observed " + std::to_string(g + 1) : "observed"});
  series_bins(plot, bins, plan);
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
  const Observations o = observations_of(r, *grid, s.table(0), cli, curve_rows);
  const std::vector<double> observed_curve = tail(curve_column, curve_rows);

  std::vector<Curve> curves;
  std::vector<CurveStyle> styles;
  for (long long g = 1; g <= n_curves; ++g) {
    curves.push_back(curve_of(r, *grid, std::min(curve_rows, grid->rows), curve_column, static_cast<double>(g)));
    styles.push_back(n_curves > 1 ? group_curve_style(static_cast<int>(g - 1), r.text("_CURVELABEL" + std::to_string(g)))
                                  : single_curve_style());
  }

  AxisSpec xa = axis_over(r.text("_XVAR").empty() ? grid->label("xgrid") : r.text("_XVAR"), {&o.x});
  AxisSpec ya = axis_over(r.text_or("_DEPLABEL", "Observed"),
                          {&o.y, per_observation ? &o.upper : nullptr, per_observation ? &o.lower : nullptr});
  for (const Curve& c : curves) {
    for (const auto* v : {&c.x}) for (double d : *v) include(xa, d);
    for (const auto* v : {&c.fit, clm ? &c.ucm : nullptr, clm ? &c.lcm : nullptr,
                          cli && !per_observation ? &c.uci : nullptr, cli && !per_observation ? &c.lci : nullptr})
      if (v) for (double d : *v) include(ya, d);
  }

  PlotOptions options;
  options.inset = inset_statistics(r);
  GraphPage page(r, graph_width(options.inset), 480);
  // Observations, and prediction bars with weights, are the marks that
  // grow with the data. Past the limit, the observations that matter are
  // chosen from all the curves' together, the farthest first, so that the
  // curves share the limit as their observations call for it.
  const std::size_t n = present(o.x, o.y);
  const MarkPlan plan = mark_plan(n, per_observation ? 2 : 1);
  std::vector<std::size_t> flagged;
  if (plan.dense) {
    std::string what;
    const std::vector<double> scores = observation_scores(o, s.table(0), cli, &what);
    const Flagged f = flagged_rows(o.x, o.y, scores, plan.per_series);
    flagged = f.rows;
    const std::string shown = curves.size() > 1 ? std::string(kBinnedPoints) + ", in the colour of their curve"
                                                : std::string(kBinnedPoints);
    footnote(page, dense_note(n, "observations", shown, flagged_text(f.beyond, f.rows.size(), what)));
    options.key = count_key_room(n);
  }
  options.legend = legend_of(r, styles, clm, cli, plan.dense);
  Plot plot(page.svg, page.body, xa, ya, options);
  plot.frame();
  auto suffix = [&](std::size_t g) { return curves.size() > 1 ? " " + std::to_string(g + 1) : std::string(); };
  // Curve g's observations, the others' left out; no copy for one curve.
  Observations of_one;
  auto observations = [&](std::size_t g) -> const Observations& {
    if (curves.size() == 1) return o;
    of_one = of_curve(o, observed_curve, static_cast<double>(g + 1));
    return of_one;
  };
  if (plan.dense) curve_bins(plot, o, observed_curve, styles, plan);
  for (std::size_t g = 0; g < curves.size(); ++g) {
    const Curve& c = curves[g];
    if (clm) plot.band(c.x, c.lcm, c.ucm, styles[g].band, "confidence" + suffix(g));
    if (cli && !per_observation) {
      plot.line(c.x, c.uci, styles[g].limits, "upper prediction" + suffix(g));
      plot.line(c.x, c.lci, styles[g].limits, "lower prediction" + suffix(g));
    }
  }
  for (std::size_t g = 0; g < curves.size(); ++g) {
    const std::string name = "observed" + suffix(g);
    if (!plan.dense) {
      const Observations& og = observations(g);
      if (per_observation) prediction_bars(plot, og, styles[g].limits);
      plot.line(curves[g].x, curves[g].fit, styles[g].fit, "fit" + suffix(g));
      plot.points(og.x, og.y, styles[g].observed, name);
      continue;
    }
    const std::vector<std::size_t> rows =
        curves.size() > 1 ? rows_of_curve(flagged, observed_curve, static_cast<double>(g + 1)) : flagged;
    if (per_observation)
      prediction_bars(plot, {at_rows(o.x, rows), at_rows(o.y, rows), at_rows(o.upper, rows), at_rows(o.lower, rows)},
                      styles[g].limits);
    plot.line(curves[g].x, curves[g].fit, styles[g].fit, "fit" + suffix(g));
    draw_markers(plot, o.x, o.y, rows, styles[g].observed, name);
  }
  plot.finish();
  return page.svg.str();
}

}  // namespace platform::graphs
