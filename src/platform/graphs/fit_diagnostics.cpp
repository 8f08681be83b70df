// The fit-diagnostics panel (three rows of the nine diagnostics) and each
// diagnostic as a graph of its own, drawn from the output-statistics table.
#include <algorithm>
#include <cmath>
#include <tuple>

#include "platform/graphs/dense_marks.h"
#include "platform/graphs/distribution_marks.h"
#include "platform/graphs/graph_page.h"
#include "platform/graphs/graph_templates.h"

namespace platform::graphs {
namespace {

enum class Diagnostic {
  ResidualByPredicted,
  RStudentByPredicted,
  RStudentByTanLeverage,
  ObservedByPredicted,
  ResidualExpectation,
  RStudentByJacLeverage,
  RawHistogram,
  ProjectedHistogram,
  BoxPlot
};

// The panel's cells in reading order.
constexpr Diagnostic kPanelOrder[] = {
    Diagnostic::ResidualByPredicted, Diagnostic::RStudentByPredicted, Diagnostic::RStudentByTanLeverage,
    Diagnostic::ObservedByPredicted, Diagnostic::ResidualExpectation, Diagnostic::RStudentByJacLeverage,
    Diagnostic::RawHistogram,        Diagnostic::ProjectedHistogram,  Diagnostic::BoxPlot};

struct Cell {
  const GraphRequest& r;
  const GraphTable& t;
  std::vector<bool> used;
  bool panel;     // a cell of the panel: smaller type, short labels
  MarkPlan plan;  // points one by one, or binned

  // A label: the short variable in the panel, the long one alone, else the
  // column's label, else `fallback`.
  std::string text(const char* var, const char* short_var, const char* column, const char* fallback) const {
    std::string s = panel && short_var ? r.text(short_var) : "";
    if (s.empty()) s = r.text(var);
    if (s.empty() && column) s = t.label(column);
    return s.empty() ? fallback : s;
  }
  std::vector<double> column(const char* name) const { return kept(t.values(name), used); }
  // Whether the request asks for what the switch `var` governs (all
  // when it has no such switch), and whether it can be drawn.
  bool requested(const char* var) const { return r.dynamic.contains(var) ? r.flag(var) : true; }
  bool show(const char* var, const char* column) const { return t.column(column) && requested(var); }
  std::vector<double> studentized_scores(const std::string& column) const {
    return graphs::studentized_scores(t, used, column);
  }
  // A scatter's options have room for the key of its bins when dense.
  PlotOptions options(std::vector<LegendEntry> legend = {}, bool scatter = false) const {
    PlotOptions o;
    if (panel) o.font = 9, o.marker = 2.4;
    else o.inset = inset_statistics(r);
    o.legend = std::move(legend);
    if (scatter && plan.dense) o.key = count_key_room(used_count(used));
    return o;
  }
};

struct Series {
  std::string name, legend;
  std::vector<double> values;
  SeriesStyle style;
  std::vector<double> scores;  // above 1 for the points drawn one by one in a dense graph
};

// Raw residuals are drawn alike in every graph, and projected ones, so that
// a reader can tell them apart whichever are shown.
const SeriesStyle kRawStyle = series_style(0), kProjectedStyle = series_style(1);

// The raw and projected series of a residual kind that the request shows.
std::vector<Series> residual_series(const Cell& c, const char* raw, const char* projected, const char* raw_leg,
                                    const char* proj_leg) {
  std::vector<Series> s;
  if (c.show("_SHOW_RAW", raw))
    s.push_back({raw, c.text(raw_leg, nullptr, raw, "Raw"), c.column(raw), kRawStyle, c.studentized_scores(raw)});
  if (c.show("_SHOW_PROJ", projected))
    s.push_back({projected, c.text(proj_leg, nullptr, projected, "Projected"), c.column(projected), kProjectedStyle,
                 c.studentized_scores(projected)});
  return s;
}

// A cell whose residual kind the request turned off (RESIDUALTYPE=) says
// so; a cell whose column the output statistics lack says that.
void missing_note(SvgDocument& svg, const Box& box, const std::string& title, bool requested) {
  draw_note(svg, box, title + (requested ? ": not available" : ": not requested"));
}

// Residual kinds against one x column, with reference lines at `refs`.
void scatter_cell(SvgDocument& svg, const Box& box, const Cell& c, const std::vector<double>& x,
                  const std::string& xtitle, const std::vector<Series>& series, const std::string& ytitle,
                  const std::vector<double>& refs, double vref) {
  if (series.empty()) return draw_note(svg, box, ytitle + ": not available");
  std::vector<LegendEntry> legend;
  AxisSpec xa = axis_over(xtitle, {&x}), ya = axis_over(ytitle, {});
  std::vector<BinnedSeries> bins;
  for (const Series& s : series) {
    legend.push_back({s.legend, c.plan.dense ? LegendEntry::Binned : LegendEntry::Markers, s.style});
    bins.push_back({x, s.values, s.style.colour, s.name});
    for (double v : s.values) include(ya, v);
  }
  for (double v : refs) include(ya, v);
  Plot plot(svg, box, xa, ya, c.options(legend, true));
  plot.frame();
  series_bins(plot, bins, c.plan);
  for (double v : refs) plot.hline(v, reference_paint(v != 0));
  if (std::isfinite(vref)) plot.vline(vref, reference_paint(true));
  // Past a leverage cut-off an observation matters whatever its residual.
  const std::vector<double> xscores = std::isfinite(vref) ? beyond_scores(x, vref) : std::vector<double>{};
  for (const Series& s : series)
    series_points(plot, x, s.values, s.style, s.name, c.plan, larger_scores(s.scores, xscores));
  plot.finish();
}

void histogram_cell(SvgDocument& svg, const Box& box, const Cell& c, const char* column, const char* xvar,
                    const char* xshort, const char* switch_var) {
  const std::string xtitle = c.text(xvar, xshort, column, column);
  if (!c.show(switch_var, column)) return missing_note(svg, box, xtitle, c.requested(switch_var));
  const std::vector<double> v = c.column(column);
  const Histogram h = histogram(v);
  if (h.n == 0) return draw_note(svg, box, xtitle + ": no values");
  const Moments m = moments(v);
  const SeriesStyle curve{colour::kVermillion, Marker::Circle, "", 1.5};
  std::vector<LegendEntry> legend;
  if (!c.panel) legend = {{xtitle, LegendEntry::Fill, {}, kBarPaint}};
  if (!c.panel && draws_normal_curve(m)) legend.push_back({"Normal density", LegendEntry::Line, curve});
  AxisSpec xa{xtitle, h.edges.front(), h.edges.back(), Extend::Pad};
  AxisSpec ya{c.text("_PER_LABEL", "_SHORT_PER_LABEL", nullptr, "Percent"), 0, highest_percent(h) * 1.08, Extend::None};
  // The normal curve's peak must fit too.
  if (m.sd > 0) ya.hi = std::max(ya.hi, 100 * h.width / (m.sd * 2.5066282746310002) * 1.05);
  ya = AxisSpec{ya.title, 0, nice_scale(0, ya.hi, 5, Extend::ToTicks).hi, Extend::None};
  Plot plot(svg, box, xa, ya, c.options(legend));
  plot.frame();
  histogram_bars(plot, h, column);
  normal_curve(plot, h, m, curve);
  plot.finish();
}

void box_cell(SvgDocument& svg, const Box& box, const Cell& c) {
  const std::vector<Series> series = residual_series(c, "Residual", "ProjectedResidual", "_RAW_LEG", "_PROJ_LEG");
  const std::string ytitle = c.text("_RESD_LABEL", "_SHORT_RESD_LABEL", "Residual", "Residual");
  if (series.empty()) return draw_note(svg, box, ytitle + ": not available");
  AxisSpec ya = axis_over(ytitle, {});
  for (const Series& s : series)
    for (double v : s.values) include(ya, v);
  const double n = static_cast<double>(series.size());
  AxisSpec xa{"", 0.5, n + 0.5, Extend::None};
  xa.labels = xa.ticks = false;
  // The boxes leave no corner empty: the inset stands beside them.
  PlotOptions options = c.options();
  options.inset_outside = true;
  Plot plot(svg, box, xa, ya, options);
  plot.frame();
  plot.hline(0, reference_paint());
  for (std::size_t i = 0; i < series.size(); ++i) {
    const double centre = static_cast<double>(i) + 1;
    BoxStatistics b = box_statistics(series[i].values);
    if (c.plan.dense || b.outliers.size() > kMarkLimit) thin_outliers(b, plot, false);
    box_plot(plot, b, centre, 0.25, series[i].style, false);
    svg.text({plot.px(centre), plot.area().y + plot.area().h + 4 + cap_height(plot.font())},
             fit_text(series[i].legend, plot.area().w / n, plot.font()),
             TextStyle{plot.font(), Anchor::Middle, FontWeight::Normal, colour::kMutedText});
  }
  plot.finish();
}

// The leverage above which an observation is commonly called influential.
double leverage_cutoff(const GraphRequest& r) {
  const double p = r.number("_NPARM"), n = r.number("_NOBS");
  return p > 0 && n > 0 ? 2 * p / n : kNaN;
}

void draw_cell(SvgDocument& svg, const Box& box, Diagnostic d, const Cell& c) {
  const std::vector<double> predicted = c.column("Predicted");
  const std::string xpred = c.text("_X_RESD_LABEL", "_X_SHORT_RESD_LABEL", "Predicted", "Predicted");
  const std::string resd = c.text("_RESD_LABEL", "_SHORT_RESD_LABEL", "Residual", "Residual");
  const std::string sturesd =
      c.text("_STURESD_LABEL", "_SHORT_STURESD_LABEL", "StudentizedResidual", "Studentized residual");
  auto residuals = [&] { return residual_series(c, "Residual", "ProjectedResidual", "_RAW_LEG", "_PROJ_LEG"); };
  auto students = [&] {
    return residual_series(c, "StudentizedResidual", "StudentizedProjectedResidual", "_STURAW_LEG", "_STUPROJ_LEG");
  };
  switch (d) {
    case Diagnostic::ResidualByPredicted:
      return scatter_cell(svg, box, c, predicted, xpred, residuals(), resd, {0}, kNaN);
    case Diagnostic::RStudentByPredicted:
      return scatter_cell(svg, box, c, predicted, c.text("_X_STURESD_LABEL", "_X_SHORT_STURESD_LABEL", "Predicted", "Predicted"),
                          students(), sturesd, {0, -2, 2}, kNaN);
    case Diagnostic::RStudentByTanLeverage:
    case Diagnostic::RStudentByJacLeverage: {
      const bool tan = d == Diagnostic::RStudentByTanLeverage;
      const char* column = tan ? "TangentLeverage" : "JacobianLeverage";
      const std::string xt = tan ? c.text("_X_TAN_LEV_LABEL", "_X_SHORT_TAN_LEV_LABEL", column, "Tangential leverage")
                                 : c.text("_X_JAC_LEV_LABEL", "_X_SHORT_JAC_LEV_LABEL", column, "Jacobian leverage");
      if (!c.t.column(column)) return draw_note(svg, box, xt + ": not available");
      return scatter_cell(svg, box, c, c.column(column), xt, students(), sturesd, {0, -2, 2},
                          leverage_cutoff(c.r));
    }
    case Diagnostic::ObservedByPredicted: {
      const std::vector<double> observed = c.column("Observed");
      const std::string yt = c.text("_DEPLABEL", "_SHORT_DEPLABEL", "Observed", "Observed");
      if (!c.t.column("Observed") || !c.t.column("Predicted")) return draw_note(svg, box, yt + ": not available");
      AxisSpec xa = axis_over(xpred, {&predicted, &observed}), ya = axis_over(yt, {&predicted, &observed});
      xa.title = xpred;
      Plot plot(svg, box, xa, ya, c.options({}, true));
      plot.frame();
      series_bins(plot, {{predicted, observed, series_style(0).colour, "observed"}}, c.plan);
      plot.diagonal(reference_paint());
      series_points(plot, predicted, observed, series_style(0), "observed", c.plan, c.studentized_scores("Residual"));
      plot.finish();
      return;
    }
    case Diagnostic::ResidualExpectation: {
      const std::string yt = c.text("_RESDEXPEC_LABEL", "_SHORT_RESDEXPEC_LABEL", "ResidualExpectation",
                                    "Residual expectation");
      std::vector<Series> s;
      if (c.t.column("ResidualExpectation"))
        s.push_back({"ResidualExpectation", yt, c.column("ResidualExpectation"), kRawStyle,
                     c.studentized_scores("Residual")});
      return scatter_cell(svg, box, c, predicted,
                          c.text("_X_RESDEXPEC_LABEL", "_X_SHORT_RESDEXPEC_LABEL", "Predicted", "Predicted"), s, yt,
                          {0}, kNaN);
    }
    case Diagnostic::RawHistogram:
      return histogram_cell(svg, box, c, "Residual", "_X_RAWRESD_LABEL", "_X_SHORT_RAWRESD_LABEL",
                            "_SHOW_RAW");
    case Diagnostic::ProjectedHistogram:
      return histogram_cell(svg, box, c, "ProjectedResidual", "_X_PROJRESD_LABEL", "_X_SHORT_PROJRESD_LABEL",
                            "_SHOW_PROJ");
    case Diagnostic::BoxPlot: return box_cell(svg, box, c);
  }
}

bool leverage_cell(Diagnostic d) {
  return d == Diagnostic::RStudentByTanLeverage || d == Diagnostic::RStudentByJacLeverage;
}

// How many observations of each residual kind shown lie beyond +-2, and
// of each leverage above 2p/n, for the footnote.
SeriesTotals residual_totals(const Cell& c) {
  SeriesTotals totals;
  if (c.show("_SHOW_RAW", "Residual"))
    totals.push_back({c.text("_RAW_LEG", nullptr, "Residual", "Raw"), beyond_count(c.studentized_scores("Residual"))});
  if (c.show("_SHOW_PROJ", "ProjectedResidual"))
    totals.push_back({c.text("_PROJ_LEG", nullptr, "ProjectedResidual", "Projected"),
                      beyond_count(c.studentized_scores("ProjectedResidual"))});
  return totals;
}

SeriesTotals leverage_totals(const Cell& c) {
  SeriesTotals totals;
  const double cut = leverage_cutoff(c.r);
  for (const auto& [column, var, short_var, fallback] :
       {std::tuple{"TangentLeverage", "_X_TAN_LEV_LABEL", "_X_SHORT_TAN_LEV_LABEL", "Tangential leverage"},
        std::tuple{"JacobianLeverage", "_X_JAC_LEV_LABEL", "_X_SHORT_JAC_LEV_LABEL", "Jacobian leverage"}})
    if (c.t.column(column))
      totals.push_back({c.text(var, short_var, column, fallback), beyond_count(beyond_scores(c.column(column), cut))});
  return totals;
}

// The plan of the cells `shown`: each residual cell draws a series per
// residual kind, the observed and the expectation cells one, the
// histograms and the box plot none one by one. In a dense graph the
// footnote goes to the bottom of the page.
void plan_cells(Cell& c, const std::vector<Diagnostic>& shown, GraphPage& page) {
  const std::size_t kinds = c.show("_SHOW_RAW", "Residual") + c.show("_SHOW_PROJ", "ProjectedResidual");
  std::size_t series = 0;
  bool leverage = false;
  for (Diagnostic d : shown) {
    if (d == Diagnostic::ObservedByPredicted || d == Diagnostic::ResidualExpectation) ++series;
    else if (d == Diagnostic::ResidualByPredicted || d == Diagnostic::RStudentByPredicted || leverage_cell(d))
      series += kinds;
    leverage = leverage || leverage_cell(d);
  }
  const std::size_t n = used_count(c.used);
  if (series == 0) return;
  c.plan = mark_plan(n, series);
  if (!c.plan.dense) return;
  footnote(page, dense_note(n, "observations", "the scatter plots show them as counts in hexagonal bins, darker for more",
                            outliers_text(c.plan.per_series, residual_totals(c), leverage ? leverage_totals(c) : SeriesTotals{})));
}

}  // namespace

std::string draw_fit_diagnostics_panel(const GraphSources& s, std::string* why) {
  const GraphTable* t = s.output_statistics(why);
  if (!t) return {};
  const GraphRequest& r = s.request;
  Cell c{r, *t, used_rows(*t), true, {}};
  const int rows = static_cast<int>(std::clamp<long long>(r.integer("_NROWS", 3), 1, 9));
  const int columns = (9 + rows - 1) / rows;
  const InsetLines stats = inset_statistics(r);
  const double side = stats.empty() ? 0 : inset_width(stats, 10) + 16;
  GraphPage page(r, 780 + side, 260.0 * rows);
  plan_cells(c, std::vector<Diagnostic>(std::begin(kPanelOrder), std::end(kPanelOrder)), page);
  Box cells_box = page.body;
  cells_box.w -= side;
  const std::vector<Box> cells = grid_cells(cells_box, rows, columns, 10);
  for (std::size_t i = 0; i < cells.size() && i < 9; ++i) {
    page.svg.begin_layer("cell", "", "data-cell=\"" + std::to_string(i + 1) + "\"");
    draw_cell(page.svg, cells[i], kPanelOrder[i], c);
    page.svg.end_layer();
  }
  // The fit statistics beside the cells, where they cover no data.
  if (!stats.empty()) draw_inset(page.svg, {cells_box.x + cells_box.w + 10, cells_box.y + 10}, stats, 10);
  return page.svg.str();
}

std::string draw_fit_diagnostic(const GraphSources& s, std::string* why) {
  const GraphTable* t = s.output_statistics(why);
  if (!t) return {};
  static const std::pair<const char*, Diagnostic> kinds[] = {
      {"residualbypredictedplot", Diagnostic::ResidualByPredicted},
      {"rstudentbypredictedplot", Diagnostic::RStudentByPredicted},
      {"rstudentbytanleverageplot", Diagnostic::RStudentByTanLeverage},
      {"observedbypredictedplot", Diagnostic::ObservedByPredicted},
      {"rawresidualexpectationplot", Diagnostic::ResidualExpectation},
      {"rstudentbyjacleverageplot", Diagnostic::RStudentByJacLeverage},
      {"rawresidualhistogram", Diagnostic::RawHistogram},
      {"projectedresidualhistogram", Diagnostic::ProjectedHistogram},
      {"residualboxplot", Diagnostic::BoxPlot}};
  const std::string kind = s.request.kind();
  for (const auto& [name, d] : kinds) {
    if (kind != name) continue;
    GraphPage page(s.request, graph_width(inset_statistics(s.request), d == Diagnostic::BoxPlot),
                   graph_height(s.request, 420));
    Cell c{s.request, *t, used_rows(*t), false, {}};
    plan_cells(c, {d}, page);
    draw_cell(page.svg, page.body, d, c);
    return page.svg.str();
  }
  *why = "no fit diagnostic is named " + s.request.template_path;
  return {};
}

}  // namespace platform::graphs
