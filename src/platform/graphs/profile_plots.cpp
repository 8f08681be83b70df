// Profile graphs of one parameter: the profile-t plot (likelihood-ratio
// pivot against Wald pivot), the confidence curve with its Wald lines and
// t quantiles, and the jackknife plot of the parameter's change when each
// observation is left out.
#include <algorithm>
#include <cmath>
#include <numeric>

#include "platform/graphs/dense_marks.h"
#include "platform/graphs/graph_page.h"
#include "platform/graphs/graph_templates.h"

namespace platform::graphs {
namespace {

// Profile rows are of kind 1, jackknife rows of kind 2.
std::vector<bool> rows_of_kind(const GraphTable& t, int kind) {
  std::vector<bool> keep(t.rows, true);
  if (const auto* k = t.column("StatType"))
    for (std::size_t i = 0; i < t.rows; ++i) keep[i] = (*k)[i] == kind;
  return keep;
}

// The pairs present in both, ordered by x.
void sort_by_x(std::vector<double>& x, std::vector<double>& y) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < x.size() && i < y.size(); ++i)
    if (std::isfinite(x[i]) && std::isfinite(y[i])) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return x[a] < x[b]; });
  std::vector<double> sx, sy;
  for (std::size_t i : order) sx.push_back(x[i]), sy.push_back(y[i]);
  x.swap(sx);
  y.swap(sy);
}

const GraphTable* profile_table(const GraphSources& s, std::string* why) {
  const GraphTable* t = s.table(0);
  if (!t) *why = "the profile table of the parameter is not in the output";
  return t;
}

// Whether a profile curve of `n` points draws a marker at each; past the
// limit the footnote says it does not.
bool profile_markers(GraphPage& page, std::size_t n) {
  if (!mark_plan(n, 1).dense) return true;
  footnote(page, dense_note(n, "profile points", "the curve is drawn without a marker at each", ""));
  return false;
}

std::string subtitle_of(const GraphRequest& r) {
  const std::string p = r.text("_PARMNAME");
  return p.empty() || graph_title(r).find(p) != std::string::npos ? "" : "Parameter " + p;
}

}  // namespace

std::string draw_profile_t_plot(const GraphSources& s, std::string* why) {
  const GraphTable* t = profile_table(s, why);
  if (!t) return {};
  const GraphRequest& r = s.request;
  const std::string wcol = r.text_or("_WSTAT", "WaldPivotalStat");
  const std::string lcol = r.text_or("_LSTAT", "LikelihoodRatioPivotalStat");
  const std::vector<bool> keep = rows_of_kind(*t, 1);
  std::vector<double> w = kept(t->values(wcol), keep), l = kept(t->values(lcol), keep);
  sort_by_x(w, l);
  if (w.empty()) {
    *why = "the profile table has no profile rows with statistics";
    return {};
  }
  const SeriesStyle profile = series_style(0);
  const SeriesStyle linear{colour::kReference, Marker::Circle, kDashed, 1};
  PlotOptions options;
  options.legend = {{"Profile t", LegendEntry::Markers, profile}, {"Linear model (t = Wald)", LegendEntry::Line, linear}};
  AxisSpec xa = axis_over(t->label(wcol), {&w, &l}), ya = axis_over(t->label(lcol), {&w, &l});
  GraphPage page(r, kGraphWidth, 480, subtitle_of(r));
  const bool markers = profile_markers(page, w.size());
  if (!markers) options.legend.front().kind = LegendEntry::Line;
  Plot plot(page.svg, page.body, xa, ya, options);
  plot.frame();
  plot.hline(0, reference_paint());
  plot.vline(0, reference_paint());
  plot.diagonal(Paint{linear.colour, "", linear.line_width, linear.dash});
  plot.line(w, l, profile, "profile");
  if (markers) plot.points(w, l, profile, "profile");
  plot.finish();
  return page.svg.str();
}

std::string draw_confidence_curve(const GraphSources& s, std::string* why) {
  const GraphTable* t = profile_table(s, why);
  if (!t) return {};
  const GraphRequest& r = s.request;
  const std::vector<bool> keep = rows_of_kind(*t, 1);
  const std::string pcol = r.text_or("_PARM", "ParameterValue");
  const std::string xcol = r.text_or("_xValue", "xValue");
  std::vector<double> theta = kept(t->values(pcol), keep), x = kept(t->values(xcol), keep);
  std::vector<double> upper = kept(t->values(r.text_or("_UWALDREF", "UWaldValue")), keep);
  std::vector<double> lower = kept(t->values(r.text_or("_LWALDREF", "LWaldValue")), keep);
  std::vector<double> xu = x, xl = x;
  sort_by_x(theta, x);
  sort_by_x(upper, xu);
  sort_by_x(lower, xl);
  if (theta.empty()) {
    *why = "the profile table has no profile rows with statistics";
    return {};
  }
  struct Quantile {
    const char *value, *show, *label;
  };
  static const Quantile quantiles[] = {{"_tval99", "_show_tval99", "99%"},
                                       {"_tval95", "_show_tval95", "95%"},
                                       {"_tval90", "_show_tval90", "90%"},
                                       {"_tval80", "_show_tval80", "80%"}};
  AxisSpec xa = axis_over(r.text("_PARMNAME").empty() ? t->label(pcol) : r.text("_PARMNAME"), {&theta, &upper, &lower});
  AxisSpec ya = axis_over(t->label(xcol), {&x});
  include(ya, 0);
  for (const Quantile& q : quantiles)
    if (r.flag(q.show)) include(ya, r.number(q.value));
  const SeriesStyle lr = series_style(0);
  const SeriesStyle wald{colour::kVermillion, Marker::Triangle, kDashed, 1.5};
  PlotOptions options;
  options.legend = {{"Likelihood ratio", LegendEntry::Markers, lr}, {"Wald", LegendEntry::Line, wald}};
  GraphPage page(r, kGraphWidth, 480, subtitle_of(r));
  const bool markers = profile_markers(page, theta.size());
  if (!markers) options.legend.front().kind = LegendEntry::Line;
  Plot plot(page.svg, page.body, xa, ya, options);
  plot.frame();
  for (const Quantile& q : quantiles)
    if (r.flag(q.show)) plot.hline(r.number(q.value), reference_paint(true), q.label);
  const auto* reference = t->column("ReferenceParameterValue");
  if (reference && !reference->empty()) plot.vline((*reference)[0], reference_paint());
  plot.line(upper, xu, wald, "wald upper");
  plot.line(lower, xl, wald, "wald lower");
  plot.line(theta, x, lr, "likelihood ratio");
  if (markers) plot.points(theta, x, lr, "likelihood ratio");
  plot.finish();
  return page.svg.str();
}

std::string draw_jackknife_plot(const GraphSources& s, std::string* why) {
  const GraphTable* t = profile_table(s, why);
  if (!t) return {};
  const GraphRequest& r = s.request;
  const std::string ycol = r.text_or("_PARMPERDIF", "ParameterPercentageChange");
  const std::vector<bool> keep = rows_of_kind(*t, 2);
  const std::vector<double> obs = kept(t->values("Observation"), keep), y = kept(t->values(ycol), keep);
  AxisSpec xa = axis_over(t->label("Observation"), {&obs});
  xa.integer = true;
  AxisSpec ya = axis_over(t->label(ycol), {&y});
  include(ya, 0);
  GraphPage page(r, kGraphWidth, 420, subtitle_of(r));
  const std::size_t n = present(obs, y);
  const bool dense = mark_plan(n, 1).dense;
  if (dense) footnote(page, dense_note(n, "observations", kNeedleRanges, ""));
  Plot plot(page.svg, page.body, xa, ya);
  plot.frame();
  if (dense) needle_envelope(plot, obs, y, 0, series_style(0).colour, "jackknife");
  else plot.needles(obs, y, 0, series_style(0), "jackknife");
  plot.finish();
  return page.svg.str();
}

}  // namespace platform::graphs
