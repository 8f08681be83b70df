// Residuals against each regressor: panels of up to six cells that share
// the residual axis, or one plot per regressor; raw and projected residuals
// with an optional LOESS smooth of each.
#include <algorithm>
#include <optional>

#include "platform/graphs/dense_marks.h"
#include "platform/graphs/graph_page.h"
#include "platform/graphs/graph_templates.h"
#include "platform/graphs/loess_smooth.h"

namespace platform::graphs {
namespace {

struct ResidualKind {
  std::string column, smooth_column, legend, smooth_legend;
  SeriesStyle style, smooth_style;
  std::vector<double> values;  // the residuals of the used rows, NaN elsewhere
};

// The residual kinds the request shows, each with its smooth when asked for.
std::vector<ResidualKind> kinds_shown(const GraphRequest& r, const GraphTable& t, const std::vector<bool>& used) {
  std::vector<ResidualKind> kinds;
  const bool smooth = r.flag("_SHOWSMOOTH");
  auto add = [&](const char* show, const char* column, const char* smooth_column, const char* legend,
                 const char* smooth_legend, int style) {
    const std::string name = r.text(column);
    if (!r.flag(show) || name.empty() || !t.column(name)) return;
    ResidualKind k{name, smooth ? r.text(smooth_column) : "", r.text(legend), r.text(smooth_legend),
                   series_style(style), series_style(style), kept(t.values(name), used)};
    if (k.legend.empty()) k.legend = t.label(name);
    if (k.smooth_legend.empty()) k.smooth_legend = "LOESS";
    // Black and heavier than any marker's stroke, so that the smooth stays
    // in sight over thousands of markers or bins of either kind; the kinds'
    // smooths differ in dash.
    k.smooth_style = SeriesStyle{colour::kBlack, k.style.marker, style == 0 ? "" : kDashed, 2.5};
    kinds.push_back(k);
  };
  add("_SHOWRAW", "_RAWRESD", "_SMOOTHRAWRESD", "_RAWLEGENDLABEL", "_LOESS_LEG_RAW", 0);
  add("_SHOWPROJ", "_PROJRESD", "_SMOOTHPROJRESD", "_PROJLEGENDLABEL", "_LOESS_LEG_PROJ", 1);
  return kinds;
}

// The legend; a dense graph shows each kind's bins.
std::vector<LegendEntry> legend_of(const std::vector<ResidualKind>& kinds, const GraphTable& t, bool dense) {
  std::vector<LegendEntry> legend;
  for (const ResidualKind& k : kinds)
    legend.push_back({k.legend, dense ? LegendEntry::Binned : LegendEntry::Markers, k.style});
  for (const ResidualKind& k : kinds)
    if (!k.smooth_column.empty() && t.column(k.smooth_column))
      legend.push_back({k.smooth_legend, LegendEntry::Line, k.smooth_style});
  return legend;
}

AxisSpec residual_axis(const std::vector<ResidualKind>& kinds, const std::string& title) {
  AxisSpec a = axis_over(title, {});
  include(a, 0);
  for (const ResidualKind& k : kinds)
    for (double v : k.values) include(a, v);
  return a;
}

std::vector<std::string> kind_colours(const std::vector<ResidualKind>& kinds) {
  std::vector<std::string> colours;
  for (const ResidualKind& k : kinds) colours.push_back(k.style.colour);
  return colours;
}

std::vector<BinnedSeries> binned(const std::vector<ResidualKind>& kinds, const std::vector<double>& x) {
  std::vector<BinnedSeries> series;
  for (const ResidualKind& k : kinds) series.push_back({x, k.values, k.style.colour, k.column});
  return series;
}

// One regressor's cell: markers of each kind, their smooths, the zero line;
// when dense the kinds' bins, shaded by `classes`.
void residual_cell(Plot& plot, const std::vector<ResidualKind>& kinds, const GraphTable& t,
                   const std::vector<bool>& used, const std::vector<double>& x, const MarkPlan& plan,
                   const CountClasses& classes = {}) {
  plot.frame();
  series_bins(plot, binned(kinds, x), plan, classes);
  plot.hline(0, reference_paint());
  for (const ResidualKind& k : kinds)
    series_points(plot, x, k.values, k.style, k.column, plan, studentized_scores(t, used, k.column));
  for (const ResidualKind& k : kinds) {
    if (k.smooth_column.empty() || !t.column(k.smooth_column)) continue;
    const Smooth s = loess(x, kept(t.values(k.smooth_column), used));
    if (s.span > 0) plot.line(s.x, s.y, k.smooth_style, "loess " + k.smooth_column);
  }
  plot.finish();
}

// The plan of `cells` cells of every kind shown; a dense graph gets its
// footnote, with how many observations of each kind lie beyond +-2.
MarkPlan plan_cells(GraphPage& page, const GraphTable& t, const std::vector<bool>& used,
                    const std::vector<ResidualKind>& kinds, std::size_t cells) {
  const std::size_t n = used_count(used);
  const std::size_t series = kinds.size() * cells;
  const MarkPlan plan = mark_plan(n, series);
  if (!plan.dense || series == 0) return series > 0 ? plan : MarkPlan{};
  SeriesTotals totals;
  for (const ResidualKind& k : kinds) totals.push_back({k.legend, beyond_count(studentized_scores(t, used, k.column))});
  footnote(page, dense_note(n, "observations", kBinnedPoints, outliers_text(plan.per_series, totals)));
  return plan;
}

}  // namespace

std::string draw_residual_plot(const GraphSources& s, std::string* why) {
  const GraphTable* t = s.output_statistics(why);
  if (!t) return {};
  const GraphRequest& r = s.request;
  const std::string xcolumn = r.text("_XVAR");
  if (!t->column(xcolumn)) {
    *why = "the output-statistics table has no column " + xcolumn;
    return {};
  }
  const std::vector<bool> used = used_rows(*t);
  const std::vector<ResidualKind> kinds = kinds_shown(r, *t, used);
  const std::vector<double> x = kept(t->values(xcolumn), used);
  GraphPage page(r, kGraphWidth, graph_height(r, 420), r.label != graph_title(r) ? r.label : "");
  const MarkPlan plan = plan_cells(page, *t, used, kinds, 1);
  PlotOptions options;
  options.legend = legend_of(kinds, *t, plan.dense);
  if (plan.dense) options.key = count_key_room(used_count(used));
  Plot plot(page.svg, page.body, axis_over(or_else(r.text("_X_LABEL"), xcolumn), {&x}),
            residual_axis(kinds, or_else(r.text("_Y_LABEL"), "Residual")), options);
  residual_cell(plot, kinds, *t, used, x, plan);
  return page.svg.str();
}

std::string draw_residual_panel(const GraphSources& s, std::string* why) {
  const GraphTable* t = s.output_statistics(why);
  if (!t) return {};
  const GraphRequest& r = s.request;
  const int rows = static_cast<int>(std::clamp<long long>(r.integer("_NROWS", 2), 1, 6));
  const int columns = static_cast<int>(std::clamp<long long>(r.integer("_NCOLS", 3), 1, 6));
  const int cells = static_cast<int>(std::clamp<long long>(r.integer("_NPLOTS", rows * columns), 0, rows * columns));
  if (cells == 0) {
    *why = "the model uses no variable of the input data set to plot the residuals against";
    return {};
  }
  const bool shrink = r.flag("_SHRINKFONTS");
  const std::vector<bool> used = used_rows(*t);
  const std::vector<ResidualKind> kinds = kinds_shown(r, *t, used);

  const double height = std::max(graph_height(r, 480), 250.0 * rows + 40);
  std::string subtitle = r.label != graph_title(r) ? r.label : "";
  if (!r.text("_PanelLabel").empty()) subtitle += (subtitle.empty() ? "" : " \xE2\x80\x94 ") + r.text("_PanelLabel");
  GraphPage page(r, 760, height, subtitle);
  std::size_t drawn_cells = 0;
  for (int c = 1; c <= cells; ++c) drawn_cells += t->column(r.text("_XVAR" + std::to_string(c))) != nullptr;
  const MarkPlan plan = plan_cells(page, *t, used, kinds, drawn_cells);
  // The cells share the legend and, when dense, the key of their bins,
  // sized in the font they are drawn in.
  const double font = shrink ? 9 : 10;
  PlotOptions shared;
  shared.font = font;
  shared.legend = legend_of(kinds, *t, plan.dense);
  if (plan.dense) shared.key = count_key_room(used_count(used));
  const double legend_h = legend_room(shared, page.body.w - 20);
  Box area = page.body;
  area.h -= legend_h;

  // The residual axis is shared: its labels and title only in the first
  // column, whose cells are wider by the room they take.
  AxisSpec ya = residual_axis(kinds, or_else(r.text(shrink ? "_SHORT_Y_LABEL" : "_Y_LABEL"), "Residual"));
  PlotOptions options;
  options.font = font;
  options.marker = shrink ? 2.4 : 2.8;
  const double gap = 8, cell_h = (area.h - gap * (rows - 1)) / rows;
  const AxisSpec any_x{"x"};
  const double first_left = Plot::needed_left_margin(any_x, ya, Box{0, 0, 0, cell_h}, options);
  const double other_left = Plot::needed_left_margin(any_x, AxisSpec{"", ya.lo, ya.hi, ya.extend, false, false},
                                                     Box{0, 0, 0, cell_h}, options);
  const double data_w = (area.w - first_left - other_left * (columns - 1) - gap * (columns - 1)) / columns;
  auto cell_box = [&](int c) {
    const int row = (c - 1) / columns, col = (c - 1) % columns;
    return Box{area.x + col * (data_w + gap + other_left) + (col ? first_left - other_left : 0),
               area.y + row * (cell_h + gap), data_w + (col ? other_left : first_left), cell_h};
  };
  std::vector<std::vector<double>> xs(static_cast<std::size_t>(cells) + 1);
  // Cell c's plot; none when the output statistics lack its regressor.
  auto cell_plot = [&](int c) -> std::optional<Plot> {
    const int col = (c - 1) % columns;
    const std::string n = std::to_string(c), xcolumn = r.text("_XVAR" + n);
    if (!t->column(xcolumn)) return std::nullopt;
    std::vector<double>& x = xs[static_cast<std::size_t>(c)];
    if (x.empty()) x = kept(t->values(xcolumn), used);
    AxisSpec xa = axis_over(or_else(r.text((shrink ? "_SHORTLABEL" : "_LABEL") + n), xcolumn), {&x});
    AxisSpec y = ya;
    if (col) y.title.clear(), y.labels = false;
    PlotOptions cell = options;
    cell.left_margin = col ? other_left : first_left;
    return Plot(page.svg, cell_box(c), xa, y, cell);
  };
  // One key for every cell: shades up to the fullest bin of them all.
  CountClasses classes;
  for (int c = 1; c <= cells && plan.dense; ++c)
    if (const std::optional<Plot> plot = cell_plot(c))
      classes.most = std::max(classes.most, fullest_bin(*plot, binned(kinds, xs[static_cast<std::size_t>(c)])));
  for (int c = 1; c <= cells; ++c) {
    page.svg.begin_layer("cell", "", "data-cell=\"" + std::to_string(c) + "\"");
    if (std::optional<Plot> plot = cell_plot(c)) {
      residual_cell(*plot, kinds, *t, used, xs[static_cast<std::size_t>(c)], plan, classes);
    } else {
      draw_note(page.svg, cell_box(c), r.text("_XVAR" + std::to_string(c)) + ": not in the output statistics");
    }
    page.svg.end_layer();
  }
  if (plan.dense) shared.key = count_key(classes, kind_colours(kinds));
  if (legend_h > 0)
    draw_legend(page.svg, Box{page.body.x, area.y + area.h, page.body.w, legend_h}, legend_and_key(shared), font,
                options.marker);
  return page.svg.str();
}

}  // namespace platform::graphs
