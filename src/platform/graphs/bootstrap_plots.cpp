// The bootstrap distribution of one estimate (histogram with a normal
// curve over a box plot, the fit's estimate marked) and of two estimates
// together (scatter plot crossed at the fit's estimates).
#include <cmath>

#include "platform/graphs/dense_marks.h"
#include "platform/graphs/distribution_marks.h"
#include "platform/graphs/graph_page.h"
#include "platform/graphs/graph_templates.h"

namespace platform::graphs {
namespace {

const GraphTable* samples(const GraphSources& s, std::string* why) {
  const GraphTable* t = s.table(0);
  if (!t) *why = "the bootstrap samples of the graph are not in the output";
  return t;
}

}  // namespace

std::string draw_bootstrap_histogram(const GraphSources& s, std::string* why) {
  const GraphTable* t = samples(s, why);
  if (!t) return {};
  const GraphRequest& r = s.request;
  const std::vector<double> v = t->values(r.text_or("_PARM", "ParameterValue1"));
  const Histogram h = histogram(v);
  if (h.n == 0) {
    *why = "no bootstrap sample converged";
    return {};
  }
  const Moments m = moments(v);
  const double estimate = r.number("_PARM_RUVA_VAL");
  const std::string name = r.text("_PARMNAME");
  const SeriesStyle curve{colour::kVermillion, Marker::Circle, "", 1.5};
  const SeriesStyle mark{colour::kBlack, Marker::Circle, kDashed, 1.5};
  std::vector<LegendEntry> legend = {{"Bootstrap estimates", LegendEntry::Fill, {}, kBarPaint}};
  if (draws_normal_curve(m)) legend.push_back({"Normal density", LegendEntry::Line, curve});
  if (std::isfinite(estimate)) legend.push_back({"Estimate", LegendEntry::Line, mark});

  GraphPage page(r, kGraphWidth, 500);
  const double legend_h = legend_height(legend, page.body.w - 20, 11);
  const Box body{page.body.x, page.body.y, page.body.w, page.body.h - legend_h};
  const Box top{body.x, body.y, body.w, body.h * 0.76}, bottom{body.x, body.y + body.h * 0.76, body.w, body.h * 0.24};

  // Both plots share the x axis: the same extent and the same left margin.
  AxisSpec xa{"", h.edges.front(), h.edges.back(), Extend::Pad};
  include(xa, estimate);
  double ymax = highest_percent(h);
  if (m.sd > 0) ymax = std::max(ymax, 100 * h.width / (m.sd * 2.5066282746310002));
  AxisSpec ya{"Percent", 0, nice_scale(0, ymax * 1.05, 5, Extend::ToTicks).hi, Extend::None};
  xa.labels = false;
  PlotOptions options;
  options.left_margin = Plot::needed_left_margin(xa, ya, top, options);
  Plot hist(page.svg, top, xa, ya, options);
  hist.frame();
  histogram_bars(hist, h, "bootstrap");
  normal_curve(hist, h, m, curve);
  hist.vline(estimate, Paint{mark.colour, "", mark.line_width, mark.dash});
  hist.inset({{"Samples", std::to_string(h.n)},
              {"Mean", format_value(m.mean, 5)},
              {"Std. deviation", format_value(m.sd, 4)}});
  hist.finish();

  AxisSpec xb = xa;
  xb.labels = true;
  xb.title = name.empty() ? t->label("ParameterValue1") : name;
  AxisSpec yb{"", 0, 1, Extend::None};
  yb.labels = yb.ticks = false;
  Plot box(page.svg, bottom, xb, yb, options);
  box.frame();
  BoxStatistics b = box_statistics(v);
  if (b.outliers.size() > kMarkLimit) thin_outliers(b, box, true);
  box_plot(box, b, 0.5, 0.22, series_style(0), true);
  box.vline(estimate, Paint{mark.colour, "", mark.line_width, mark.dash});
  box.finish();
  draw_legend(page.svg, Box{page.body.x, body.y + body.h, page.body.w, legend_h}, legend, 11, 3.2);
  return page.svg.str();
}

std::string draw_bootstrap_scatter(const GraphSources& s, std::string* why) {
  const GraphTable* t = samples(s, why);
  if (!t) return {};
  const GraphRequest& r = s.request;
  const std::vector<double> x = t->values(r.text_or("_PARMX", "ParameterValue1"));
  const std::vector<double> y = t->values(r.text_or("_PARMY", "ParameterValue2"));
  const double ex = r.number("_PARM_X_RUVA_VAL"), ey = r.number("_PARM_Y_RUVA_VAL");
  // The sample correlation of the pairs present.
  const Moments mx = moments(x), my = moments(y);
  double sxy = 0;
  std::size_t n = 0;
  for (std::size_t i = 0; i < x.size() && i < y.size(); ++i)
    if (std::isfinite(x[i]) && std::isfinite(y[i])) sxy += (x[i] - mx.mean) * (y[i] - my.mean), ++n;
  if (n == 0) {
    *why = "no bootstrap sample converged";
    return {};
  }
  const double corr = n > 1 && mx.sd > 0 && my.sd > 0 ? sxy / ((static_cast<double>(n) - 1) * mx.sd * my.sd) : kNaN;
  AxisSpec xa = axis_over(r.text("_PARMNAMEX"), {&x}), ya = axis_over(r.text("_PARMNAMEY"), {&y});
  include(xa, ex);
  include(ya, ey);
  SeriesStyle points = series_style(0);
  const SeriesStyle estimate{colour::kVermillion, Marker::Diamond, "", 1.5, true};
  PlotOptions options;
  options.marker = n > 500 ? 2.2 : 2.8;
  GraphPage page(r, kGraphWidth, 520);
  const MarkPlan plan = mark_plan(n, 1);
  if (plan.dense) footnote(page, dense_note(n, "bootstrap samples", kBinnedPoints, ""));
  options.legend = {{"Bootstrap estimates", plan.dense ? LegendEntry::Bins : LegendEntry::Markers, points},
                    {"Estimate", LegendEntry::Markers, estimate}};
  if (plan.dense) options.key = count_key_room(n);
  Plot plot(page.svg, page.body, xa, ya, options);
  plot.frame();
  series_bins(plot, {{x, y, points.colour, "bootstrap"}}, plan);
  plot.vline(ex, reference_paint(true));
  plot.hline(ey, reference_paint(true));
  series_points(plot, x, y, points, "bootstrap", plan, {});
  if (std::isfinite(ex) && std::isfinite(ey)) plot.points({ex}, {ey}, estimate, "estimate");
  plot.inset({{"Samples", std::to_string(n)}, {"Correlation", format_value(corr, 3)}});
  plot.finish();
  return page.svg.str();
}

}  // namespace platform::graphs
