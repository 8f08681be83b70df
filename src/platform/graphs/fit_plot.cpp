// The fit plot: observations, the fitted curve, the confidence band for the
// mean and the prediction limits, drawn from the score grid.
#include <algorithm>
#include <cmath>

#include "platform/graphs/dense_marks.h"
#include "platform/graphs/graph_page.h"
#include "platform/graphs/graph_templates.h"

namespace platform::graphs {
namespace {

// The score grid's first 201 rows are the curve; rows after them are the
// observations of the BY group in order.
constexpr std::size_t kCurveRows = 201;

std::vector<double> head(const std::vector<double>& v, std::size_t n) {
  return std::vector<double>(v.begin(), v.begin() + static_cast<long>(std::min(n, v.size())));
}
std::vector<double> tail(const std::vector<double>& v, std::size_t n) {
  return n < v.size() ? std::vector<double>(v.begin() + static_cast<long>(n), v.end()) : std::vector<double>{};
}

// The curve's columns over the grid rows.
struct Curve {
  std::vector<double> x, fit, ucm, lcm, uci, lci;
};

Curve curve_of(const GraphRequest& r, const GraphTable& grid, std::size_t rows) {
  return {head(grid.values(r.text_or("_XPRED", "xgrid")), rows), head(grid.values(r.text_or("_YPRED", "ygrid")), rows),
          head(grid.values(r.text("_UCM")), rows),  head(grid.values(r.text("_LCM")), rows),
          head(grid.values(r.text("_UCI")), rows),  head(grid.values(r.text("_LCI")), rows)};
}

// The observations the fit used; with weights their own prediction limits
// come from the grid's observation rows, otherwise the output statistics
// hold them.
struct Observations {
  std::vector<double> x, y, upper, lower;
};

Observations observations_of(const GraphRequest& r, const GraphTable& grid, const GraphTable* stats,
                             bool per_observation) {
  Observations o;
  std::vector<bool> used;
  if (stats) used = used_rows(*stats);
  if (per_observation || !stats) {
    o.x = tail(grid.values(r.text_or("_XPRED", "xgrid")), kCurveRows);
    o.y = tail(grid.values(r.text_or("_YVARGRID", "yvargrid")), kCurveRows);
    if (used.size() == o.x.size()) o.x = kept(o.x, used);
  } else {
    o.x = kept(stats->values(r.text("_XVAR")), used);
    o.y = kept(stats->values(r.text_or("_YVAR", "Observed")), used);
  }
  if (per_observation) o.upper = tail(grid.values(r.text("_UCI")), kCurveRows), o.lower = tail(grid.values(r.text("_LCI")), kCurveRows);
  return o;
}

// Vertical prediction limits at each observation of a weighted fit.
void prediction_bars(Plot& plot, const Observations& o) {
  plot.svg().begin_layer("prediction-bars");
  for (std::size_t i = 0; i < o.x.size() && i < o.upper.size(); ++i)
    if (std::isfinite(o.x[i]) && std::isfinite(o.upper[i]) && std::isfinite(o.lower[i]))
      plot.svg().line({plot.px(o.x[i]), plot.py(o.lower[i])}, {plot.px(o.x[i]), plot.py(o.upper[i])},
                      Paint{colour::kGreen, "", 1, kDashed});
  plot.svg().end_layer();
}

// The curve's values at each x, linear between the grid's points; NaN
// outside the grid.
std::vector<double> along(const std::vector<double>& grid_x, const std::vector<double>& grid_y,
                          const std::vector<double>& x) {
  std::vector<double> out(x.size(), kNaN);
  for (std::size_t i = 0; i < x.size(); ++i) {
    const auto hi = std::lower_bound(grid_x.begin(), grid_x.end(), x[i]);
    if (!std::isfinite(x[i]) || hi == grid_x.end()) continue;
    const std::size_t k = static_cast<std::size_t>(hi - grid_x.begin());
    if (k == 0 || *hi == x[i]) {
      out[i] = k < grid_y.size() ? grid_y[k] : kNaN;
      continue;
    }
    const double f = (x[i] - grid_x[k - 1]) / (grid_x[k] - grid_x[k - 1]);
    out[i] = grid_y[k - 1] + f * (grid_y[k] - grid_y[k - 1]);
  }
  return out;
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
// one by one: those outside their prediction limits, or without limits
// those with a studentized residual beyond +-2. Says which in `what`.
std::vector<double> observation_scores(const Observations& o, const Curve& c, const GraphTable* stats, bool cli,
                                       bool per_observation, std::string* what) {
  *what = "outside the prediction limits";
  if (per_observation) return outside_scores(o.y, o.lower, o.upper);
  if (cli) return outside_scores(o.y, along(c.x, c.lci, o.x), along(c.x, c.uci, o.x));
  *what = "with a studentized residual beyond \xC2\xB1" "2";
  return stats ? studentized_scores(*stats, used_rows(*stats), "Residual") : std::vector<double>{};
}

}  // namespace

std::string draw_fit_plot(const GraphSources& s, std::string* why) {
  const GraphRequest& r = s.request;
  const GraphTable* grid = s.table(1);
  if (!grid) {
    *why = "the score grid of the fit plot is not in the output";
    return {};
  }
  const Curve c = curve_of(r, *grid, std::min(kCurveRows, grid->rows));
  const bool clm = r.flag("_HASCONFLIMITS") && !r.text("_UCM").empty();
  const bool cli = r.flag("_HASPREDLIMITS") && !r.text("_UCI").empty();
  const bool per_observation = cli && !r.text("_YVARGRID").empty();
  const Observations o = observations_of(r, *grid, s.table(0), per_observation);

  AxisSpec xa = axis_over(r.text("_XVAR").empty() ? grid->label("xgrid") : r.text("_XVAR"), {&c.x, &o.x});
  AxisSpec ya = axis_over(r.text_or("_DEPLABEL", "Observed"), {&c.fit, &o.y, &o.upper, &o.lower});
  if (clm) ya = axis_over(ya.title, {&c.fit, &o.y, &o.upper, &o.lower, &c.ucm, &c.lcm});
  if (cli && !per_observation) ya = axis_over(ya.title, {&c.fit, &o.y, &c.ucm, &c.lcm, &c.uci, &c.lci});

  const SeriesStyle observed = series_style(0);
  const SeriesStyle fitted{colour::kVermillion, Marker::Circle, "", 2};
  const SeriesStyle limits{colour::kGreen, Marker::Circle, kDashed, 1.5};
  const Paint band{"", colour::kSkyBlue, 1, "", 0.35};
  PlotOptions options;
  options.inset = inset_statistics(r);
  options.legend.push_back({"Fit", LegendEntry::Line, fitted});
  if (clm) options.legend.push_back({r.text_or("_CONFLABEL", "Confidence limits"), LegendEntry::Fill, {}, band});
  if (cli) options.legend.push_back({r.text_or("_PREDLIMLABEL", "Prediction limits"), LegendEntry::Line, limits});
  options.legend.push_back({r.text_or("_YVAR", "Observed"), LegendEntry::Markers, observed});

  GraphPage page(r, graph_width(options.inset), 480);
  // Observations, and prediction bars with weights, are the marks that
  // grow with the data.
  const std::size_t n = present(o.x, o.y);
  const MarkPlan plan = mark_plan(n, per_observation ? 2 : 1);
  std::vector<double> scores;
  Observations flagged;
  if (plan.dense) {
    std::string what;
    scores = observation_scores(o, c, s.table(0), cli, per_observation, &what);
    const Flagged f = flagged_rows(o.x, o.y, scores, plan.per_series);
    flagged = {at_rows(o.x, f.rows), at_rows(o.y, f.rows), at_rows(o.upper, f.rows), at_rows(o.lower, f.rows)};
    footnote(page, dense_note(n, "observations", kBinnedPoints, flagged_text(f.beyond, f.rows.size(), what)));
  }
  Plot plot(page.svg, page.body, xa, ya, options);
  plot.frame();
  series_bins(plot, o.x, o.y, observed, "observed", plan);
  if (clm) plot.band(c.x, c.lcm, c.ucm, band, "confidence");
  if (cli && !per_observation) {
    plot.line(c.x, c.uci, limits, "upper prediction");
    plot.line(c.x, c.lci, limits, "lower prediction");
  }
  if (per_observation) prediction_bars(plot, plan.dense ? flagged : o);
  plot.line(c.x, c.fit, fitted, "fit");
  series_points(plot, o.x, o.y, observed, "observed", plan, scores);
  plot.finish();
  return page.svg.str();
}

}  // namespace platform::graphs
