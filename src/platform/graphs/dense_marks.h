// Graphs of many observations. A graph draws at most kMarkLimit data marks
// (markers, needles, prediction bars) one by one; past that its scatters
// show the points as counts in hexagonal bins, darker for more, its needle
// plots the range of the needles in each pixel column, and the points that
// matter to the diagnostic (those beyond the plot's cut-offs) are still
// drawn one by one, the farthest first, up to the same limit. A footnote
// says so. Files stay a few hundred kilobytes whatever the number of
// observations.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/graphs/graph_page.h"
#include "platform/graphs/plot_area.h"
#include "platform/graphs/sample_statistics.h"

namespace platform::graphs {

inline constexpr std::size_t kMarkLimit = 5000;

// How a graph draws the points of its series.
struct MarkPlan {
  bool dense = false;          // summarised rather than one by one
  std::size_t per_series = 0;  // when dense, the most points of one series drawn one by one
};
// The plan of a graph with `series` series of `points` points each.
MarkPlan mark_plan(std::size_t points, std::size_t series);
// The points present in both coordinates.
std::size_t present(const std::vector<double>& xs, const std::vector<double>& ys);

// How far past a cut-off each value lies: |v| / cut, above 1 beyond it,
// NaN where the value is missing.
std::vector<double> beyond_scores(const std::vector<double>& values, double cut);
// The larger of two scores, element by element; an empty vector counts as none.
std::vector<double> larger_scores(std::vector<double> a, const std::vector<double>& b);

// The rows scored above 1 where both coordinates are present, the farthest
// `most` of them in row order, and how many there are in all.
struct Flagged {
  std::vector<std::size_t> rows;
  std::size_t beyond = 0;
};
Flagged flagged_rows(const std::vector<double>& xs, const std::vector<double>& ys, const std::vector<double>& scores,
                     std::size_t most);
std::vector<double> at_rows(const std::vector<double>& values, const std::vector<std::size_t>& rows);

// Hexagonal bins, pointed at the top, over the plot's data area: each with
// its centre in pixels, the points it holds and the sum of their `values`.
struct HexBin {
  Point centre;
  std::size_t count = 0, valued = 0;
  double sum = 0;
};
struct HexGrid {
  double radius = 0;
  std::vector<HexBin> bins;  // the bins that hold points, row by row
  std::size_t counted = 0;   // the points inside the data area
};
HexGrid hex_bins(const Plot& plot, const std::vector<double>& xs, const std::vector<double>& ys,
                 const std::vector<double>* values = nullptr);
// The shades of bins filled by count: five classes on a log scale, from a
// bin of one point (lightest) to the fullest, `most` (darkest).
struct CountClasses {
  std::size_t most = 0;
  int shade(std::size_t count) const;
  // The least and the most points of each shade's bins; none for a shade
  // that no count takes.
  std::vector<std::pair<std::size_t, std::size_t>> ranges() const;
};
// The fill opacity of a shade.
double shade_opacity(int shade);
// The count key of `classes`, each shade a bin split among `colours` as
// the plot's bins are.
std::vector<LegendEntry> count_key(const CountClasses& classes, const std::vector<std::string>& colours);
// A key as wide as that of any bins of `points` points, for PlotOptions::key.
std::vector<LegendEntry> count_key_room(std::size_t points);
// The bins filled with `colour` by `classes`, each its `slice`-th of
// `slices` vertical strips so that the series of one plot lie side by side.
void draw_count_bins(Plot& plot, const HexGrid& grid, const std::string& colour, const std::string& name,
                     const CountClasses& classes, int slice = 0, int slices = 1);
// The bins painted by the mean of their values; `stroke` outlines them.
void draw_value_bins(Plot& plot, const HexGrid& grid, const std::function<std::string(double mean)>& fill,
                     const std::string& stroke, const std::string& name);

// The series of points of one plot, each drawn in two layers: under the
// curves and reference lines, its counts in hexagonal bins when the plan is
// dense (nothing otherwise); over them, its points one by one, or when
// dense those scored beyond 1.
struct BinnedSeries {
  const std::vector<double>& xs;
  const std::vector<double>& ys;
  std::string colour, name;
};
// The fullest bin of the series in the plot.
std::size_t fullest_bin(const Plot& plot, const std::vector<BinnedSeries>& series);
// The series' bins side by side in each hexagon, shaded by `classes` (by
// the fullest of these bins when its `most` is 0), and their key given to
// the plot; returns the classes.
CountClasses series_bins(Plot& plot, const std::vector<BinnedSeries>& series, const MarkPlan& plan,
                         CountClasses classes = {});
void series_points(Plot& plot, const std::vector<double>& xs, const std::vector<double>& ys,
                   const SeriesStyle& style, const std::string& name, const MarkPlan& plan,
                   const std::vector<double>& scores);
// The points at `rows` one by one, in few bytes each.
void draw_markers(Plot& plot, const std::vector<double>& xs, const std::vector<double>& ys,
                  const std::vector<std::size_t>& rows, const SeriesStyle& style, const std::string& name);
// The needles at `rows` from `base`, with their markers, in few bytes each.
void draw_needles(Plot& plot, const std::vector<double>& xs, const std::vector<double>& ys,
                  const std::vector<std::size_t>& rows, double base, const SeriesStyle& style,
                  const std::string& name);
// Needles from `base` drawn as the range of their tips in each pixel column.
void needle_envelope(Plot& plot, const std::vector<double>& xs, const std::vector<double>& ys, double base,
                     const std::string& colour, const std::string& name);
// The box plot's outliers, one per pixel along the axis: the same picture.
void thin_outliers(BoxStatistics& box, const Plot& plot, bool horizontal);

// How far beyond +-2 the studentized residual of the residual kind of
// `column` (the studentized residual itself, or the raw or projected
// residual it studentizes) lies in the used rows; empty when the table has
// no such column.
std::vector<double> studentized_scores(const GraphTable& table, const std::vector<bool>& used,
                                       const std::string& column);

// How a dense graph shows its points and its needles, for its footnote.
inline constexpr const char* kBinnedPoints = "the points are shown as counts in hexagonal bins, darker for more";
inline constexpr const char* kNeedleRanges = "the needles are drawn as the range of the values in each pixel column";

// A number with thousands separators: 200,000.
std::string count_text(std::size_t n);
// The footnote of a dense graph: `n` and what they are, how they are
// shown, and which are drawn one by one.
std::string dense_note(std::size_t n, const std::string& unit, const std::string& shown, const std::string& flagged);
// Which of `beyond` points (a phrase after "the") are drawn one by one when
// at most `drawn` are.
std::string flagged_text(std::size_t beyond, std::size_t drawn, const std::string& what);
// How many observations of each series lie beyond a cut-off, the series
// named as the footnote names it.
using SeriesTotals = std::vector<std::pair<std::string, std::size_t>>;
// How many scores lie above 1.
std::size_t beyond_count(const std::vector<double>& scores);
// The footnote's sentence on residual scatters: the observations with a
// studentized residual beyond +-2 (or, when `leverage` names any series, a
// leverage above 2p/n) are drawn one by one, at most `per_series` a series,
// and how many there are of each series in all.
std::string outliers_text(std::size_t per_series, const SeriesTotals& residuals, const SeriesTotals& leverage = {});
// The same for series of one cut-off, `what` after "the observations".
std::string capped_text(std::size_t per_series, const std::string& unit, const std::string& what,
                        const SeriesTotals& totals);
// Takes room for `text` at the bottom of the page's body and writes it there.
void footnote(GraphPage& page, const std::string& text);

}  // namespace platform::graphs
