// The leverage plot (tangential and Jacobian leverage of each observation,
// one row each when both are shown) and the local-influence plot, as needle
// plots against the observation number.
#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "platform/graphs/dense_marks.h"
#include "platform/graphs/graph_page.h"
#include "platform/graphs/graph_templates.h"

namespace platform::graphs {
namespace {

// The observations of a dense needle plot drawn one by one: those beyond
// the cut-off, the farthest first; null when every needle is drawn.
std::unique_ptr<Flagged> flag_needles(const MarkPlan& plan, const std::vector<double>& obs,
                                      const std::vector<double>& values, const std::vector<double>& cutoffs) {
  if (!plan.dense) return nullptr;
  const std::vector<double> scores = beyond_scores(values, cutoffs.empty() ? kNaN : std::fabs(cutoffs.front()));
  return std::make_unique<Flagged>(flagged_rows(obs, values, scores, plan.per_series));
}

// The axes of a needle plot: observation numbers, and the values with
// zero and the cut-offs.
std::pair<AxisSpec, AxisSpec> needle_axes(const std::vector<double>& obs, const std::vector<double>& values,
                                          const std::string& xtitle, const std::string& ytitle,
                                          const std::vector<double>& cutoffs) {
  AxisSpec xa = axis_over(xtitle, {&obs});
  xa.integer = true;
  AxisSpec ya = axis_over(ytitle, {&values});
  include(ya, 0);
  for (double c : cutoffs) include(ya, c);
  return {xa, ya};
}

// Needles of `values` against the observation number, a dashed reference
// at each cut-off, and the numbers of the observations beyond them when
// the request labels data. With `flagged`, the needles are drawn as their
// range in each pixel column and only the flagged ones one by one.
// `left_margin`, when not negative, aligns the plot with others above or
// below it.
void needle_cell(SvgDocument& svg, const Box& box, const GraphRequest& r, const std::vector<double>& obs,
                 const std::vector<double>& values, const std::string& xtitle, const std::string& ytitle,
                 const std::vector<double>& cutoffs, const std::string& cutoff_label, const SeriesStyle& style,
                 bool inset, const Flagged* flagged, double left_margin = -1) {
  bool any = false;
  for (double v : values) any = any || std::isfinite(v);
  if (!any) return draw_note(svg, box, ytitle + ": no values");
  const auto [xa, ya] = needle_axes(obs, values, xtitle, ytitle, cutoffs);
  PlotOptions options;
  if (inset) options.inset = inset_statistics(r);
  options.left_margin = left_margin;
  Plot plot(svg, box, xa, ya, options);
  plot.frame();
  plot.hline(0, reference_paint());
  auto cutoff_lines = [&] {
    for (double c : cutoffs) plot.hline(c, reference_paint(true), cutoff_label);
  };
  if (flagged) {
    // The ranges fill their columns solid: the cut-offs go over them.
    needle_envelope(plot, obs, values, 0, style.colour, ytitle);
    draw_needles(plot, obs, values, flagged->rows, 0, style, ytitle);
    cutoff_lines();
  } else {
    cutoff_lines();
    plot.needles(obs, values, 0, style, ytitle);
  }
  if (r.flag("_LABEL_WITH_DATA") && !cutoffs.empty()) {
    for (std::size_t k = 0; k < (flagged ? flagged->rows.size() : obs.size()); ++k) {
      const std::size_t i = flagged ? flagged->rows[k] : k;
      if (i >= values.size()) break;
      const double v = values[i];
      bool beyond = false;
      for (double c : cutoffs) beyond = beyond || (c > 0 ? v > c : v < c);
      if (std::isfinite(v) && beyond) plot.point_label(obs[i], v, format_value(obs[i], 8));
    }
  }
  plot.finish();
}

}  // namespace

std::string draw_leverage_plot(const GraphSources& s, std::string* why) {
  const GraphTable* t = s.output_statistics(why);
  if (!t) return {};
  const GraphRequest& r = s.request;
  const std::vector<bool> used = fitted_rows(*t);
  const std::vector<double> obs = kept(t->values("Observation"), used);
  struct Row {
    const char* column;
    std::string title;
  };
  std::vector<Row> rows;
  const bool both = r.flag("_SHOW_TAN") && r.flag("_SHOW_JAC");
  if (r.flag("_SHOW_TAN") && t->column("TangentLeverage"))
    rows.push_back({"TangentLeverage", or_else(both ? r.text("_TAN_LEG") : r.text("_LEV_LABEL"), t->label("TangentLeverage"))});
  if (r.flag("_SHOW_JAC") && t->column("JacobianLeverage"))
    rows.push_back({"JacobianLeverage", or_else(both ? r.text("_JAC_LEG") : r.text("_LEV_LABEL"), t->label("JacobianLeverage"))});
  if (rows.empty()) {
    *why = "the output-statistics table has no leverage column";
    return {};
  }
  const double p = r.number("_NPARM"), n = r.number("_NOBS");
  const std::vector<double> cutoff = p > 0 && n > 0 ? std::vector<double>{2 * p / n} : std::vector<double>{};
  // With two rows the statistics stand once, beside both.
  const InsetLines stats = inset_statistics(r);
  const bool shared = rows.size() > 1 && !stats.empty();
  GraphPage page(r, shared ? kGraphWidth + inset_width(stats, 10) + 16 : graph_width(stats),
                 graph_height(r, 420) + (rows.size() > 1 ? 160 : 0));
  const MarkPlan plan = mark_plan(used_count(used), rows.size());
  std::vector<std::vector<double>> values;
  std::vector<std::unique_ptr<Flagged>> flagged;
  for (const Row& row : rows) {
    values.push_back(kept(t->values(row.column), used));
    flagged.push_back(flag_needles(plan, obs, values.back(), cutoff));
  }
  if (plan.dense) {
    const std::string what = "with a leverage above 2p/n";
    SeriesTotals totals;
    for (std::size_t i = 0; i < rows.size(); ++i) totals.push_back({rows[i].title, flagged[i]->beyond});
    footnote(page, dense_note(used_count(used), "observations", kNeedleRanges,
                              rows.size() == 1 ? flagged_text(flagged[0]->beyond, flagged[0]->rows.size(), what)
                                               : capped_text(plan.per_series, "in each plot", what, totals)));
  }
  Box cells_box = page.body;
  if (shared) {
    cells_box.w -= inset_width(stats, 10) + 16;
    draw_inset(page.svg, {cells_box.x + cells_box.w + 10, cells_box.y + 10}, stats, 10);
  }
  const std::vector<Box> cells = grid_cells(cells_box, static_cast<int>(rows.size()), 1, 6);
  const std::string xtitle = or_else(r.text("_X_LEV_LABEL"), t->label("Observation"));
  // The rows share the observation axis: their data areas start alike.
  double left = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto [xa, ya] = needle_axes(obs, values[i], xtitle, rows[i].title, cutoff);
    PlotOptions options;
    if (rows.size() == 1) options.inset = stats;
    left = std::max(left, Plot::needed_left_margin(xa, ya, cells[i], options));
  }
  for (std::size_t i = 0; i < rows.size(); ++i)
    needle_cell(page.svg, cells[i], r, obs, values[i], xtitle, rows[i].title, cutoff, "2p/n",
                series_style(static_cast<int>(i)), rows.size() == 1, flagged[i].get(), left);
  return page.svg.str();
}

std::string draw_local_influence_plot(const GraphSources& s, std::string* why) {
  const GraphTable* t = s.output_statistics(why);
  if (!t) return {};
  if (!t->column("LMAX")) {
    *why = "the output-statistics table has no local-influence column";
    return {};
  }
  const GraphRequest& r = s.request;
  const std::vector<bool> used = fitted_rows(*t);
  const std::vector<double> obs = kept(t->values("Observation"), used);
  const std::vector<double> lmax = kept(t->values("LMAX"), used);
  // The direction of largest curvature has unit length: elements beyond
  // 2/sqrt(n) in size stand out.
  std::size_t n = 0;
  for (double v : lmax) n += std::isfinite(v);
  const double cut = n ? 2 / std::sqrt(static_cast<double>(n)) : kNaN;
  std::vector<double> cutoffs;
  if (std::isfinite(cut)) cutoffs = {cut, -cut};
  GraphPage page(r, graph_width(inset_statistics(r)), graph_height(r, 420));
  const std::unique_ptr<Flagged> flagged = flag_needles(mark_plan(n, 1), obs, lmax, cutoffs);
  if (flagged)
    footnote(page, dense_note(n, "observations", kNeedleRanges,
                              flagged_text(flagged->beyond, flagged->rows.size(),
                                           "with a local influence beyond \xC2\xB1" "2/\xE2\x88\x9An")));
  needle_cell(page.svg, page.body, r, obs, lmax, or_else(r.text("_X_LMAX_LABEL"), t->label("Observation")),
              or_else(r.text("_LMAX_LABEL"), t->label("LMAX")), cutoffs, "", series_style(0), true, flagged.get());
  return page.svg.str();
}

}  // namespace platform::graphs
