// What every graph template shares: the picture with the graph's title at
// the top, the inset statistics named by the dynamic variables, the rows of
// the output-statistics table that the fit used, and axis extents over
// several series.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/graphs/graph_data.h"
#include "platform/graphs/plot_area.h"
#include "platform/graphs/svg_document.h"

namespace platform::graphs {

inline constexpr double kGraphWidth = 640;
inline constexpr double kTitleSize = 14;

// `text`, or `fallback` when it is empty.
inline std::string or_else(std::string text, const std::string& fallback) { return text.empty() ? fallback : text; }

// The title: the template variable _TITLE, else the graph's label.
std::string graph_title(const GraphRequest& request);

// A picture with the title (and `subtitle`, when given) across the top;
// `body` is the box left below them.
struct GraphPage {
  GraphPage(const GraphRequest& request, double width, double height, const std::string& subtitle = "");
  SvgDocument svg;
  Box body;
};

// The width of a one-plot picture: wider by the inset when the inset
// stands beside the plot (long, or `outside` asked), so that the data keep
// their room.
double graph_width(const InsetLines& inset, bool outside = false);

// The picture's height: the template's _HEIGHT when it has one, else `fallback`.
double graph_height(const GraphRequest& request, double fallback);

// A message in place of a plot whose data are missing.
void draw_note(SvgDocument& svg, const Box& box, const std::string& text);

// The inset statistics the show flags ask for (_SHOWSTATS and _SHOWNOBS,
// _SHOWMSE, ...), as label and value.
InsetLines inset_statistics(const GraphRequest& request);

// Whether each row of the output-statistics table belongs to an observation
// the fit used: a present, positive weight when the table has weights.
std::vector<bool> used_rows(const GraphTable& table);
// The rows used_rows() keeps that also have a residual: the observations
// the fit used, leaving out those whose response or prediction is missing
// (the tangential leverage is written for them too).
std::vector<bool> fitted_rows(const GraphTable& table);
// How many rows are used.
std::size_t used_count(const std::vector<bool>& used);
// The values of the rows marked in `keep`, NaN elsewhere.
std::vector<double> kept(const std::vector<double>& values, const std::vector<bool>& keep);

// An axis over the finite values of several series.
AxisSpec axis_over(std::string title, std::initializer_list<const std::vector<double>*> series,
                   Extend extend = Extend::Pad);
// Widens an axis to include `v` (for reference lines that must show).
void include(AxisSpec& axis, double v);

// A grey reference line, solid or dashed.
Paint reference_paint(bool dashed = false);

}  // namespace platform::graphs
