// One plot inside a graph: a data area with its two axes, measured so that
// tick labels, axis titles and the legend fit in the box it is given, and
// the drawing of data in data coordinates, clipped to the data area. The
// inset of statistics goes to the corner that the drawn data leave emptiest.
#pragma once

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "platform/graphs/axis_scale.h"
#include "platform/graphs/palette.h"
#include "platform/graphs/svg_document.h"

namespace platform::graphs {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Box {
  double x = 0, y = 0, w = 0, h = 0;
};

struct AxisSpec {
  AxisSpec(std::string axis_title = "", double low = kNaN, double high = kNaN, Extend ext = Extend::Pad,
           bool integers = false, bool tick_labels = true)
      : title(std::move(axis_title)), lo(low), hi(high), extend(ext), integer(integers), labels(tick_labels) {}
  std::string title;
  double lo = kNaN, hi = kNaN;  // the data extent to show; NaN: 0 to 1
  Extend extend = Extend::Pad;
  bool integer = false;         // ticks at whole numbers only
  bool labels = true;           // tick labels shown
  bool ticks = true;            // tick marks and grid lines (off for categories)
};

struct LegendEntry {
  // LineMarker: a line with its series' marker on it; Binned: a hexagonal
  // bin of the series' colour with its marker, for a series drawn as counts
  // in bins and its points that matter one by one (Bins: none one by one);
  // Shade: a bin at one shade of a count key, split among `colours` as the
  // plot splits its bins; Caption: the label alone.
  enum Kind { Markers, Line, Fill, LineMarker, Binned, Bins, Shade, Caption };
  LegendEntry(std::string text, Kind k, SeriesStyle s = {}, Paint f = {})
      : label(std::move(text)), kind(k), style(std::move(s)), fill(std::move(f)) {}
  std::string label;
  Kind kind = Markers;
  SeriesStyle style;
  Paint fill;                        // for Fill; for Shade, the shade's opacity
  std::vector<std::string> colours;  // for Shade
  bool row_start = false;            // begins a row of the legend
};

using InsetLines = std::vector<std::pair<std::string, std::string>>;

struct PlotOptions {
  double font = 11;             // tick labels; titles one pixel larger
  double marker = 3.2;          // marker radius
  std::vector<LegendEntry> legend;  // drawn below the plot when 2 or more
  // The count key of the plot's bins, after the legend: at layout a key as
  // wide as its bins' can be, for its room; set_key() puts the real one.
  std::vector<LegendEntry> key;
  double left_margin = -1;      // a fixed left margin, so that cells align
  // Statistics shown in the corner the data leave emptiest; more than six
  // lines would hide data, so they go beside the data area instead.
  InsetLines inset;
  bool inset_outside = false;   // beside the data area however short (data with no empty corner)
};

class Plot {
 public:
  Plot(SvgDocument& svg, Box outer, AxisSpec x, AxisSpec y, PlotOptions options = {});

  // The left margin the y axis needs in a plot of `outer` with axes x, y.
  static double needed_left_margin(const AxisSpec& x, const AxisSpec& y, const Box& outer,
                                   const PlotOptions& options);

  const Box& area() const { return area_; }
  const AxisScale& xscale() const { return xs_; }
  const AxisScale& yscale() const { return ys_; }
  double px(double x) const { return area_.x + (x - xs_.lo) / (xs_.hi - xs_.lo) * area_.w; }
  double py(double y) const { return area_.y + area_.h - (y - ys_.lo) / (ys_.hi - ys_.lo) * area_.h; }

  // Background, grid lines, ticks, tick labels and axis titles.
  void frame();
  // Markers at the points where both coordinates are present; returns how
  // many were drawn.
  int points(const std::vector<double>& xs, const std::vector<double>& ys, const SeriesStyle& style,
             const std::string& name);
  // One circle painted as given (a filled marker coloured by a value).
  void point(double x, double y, const Paint& paint);
  // A line through the points, broken where a value is missing.
  void line(const std::vector<double>& xs, const std::vector<double>& ys, const SeriesStyle& style,
            const std::string& name);
  // A shaded band between two curves over xs (missing points break it).
  void band(const std::vector<double>& xs, const std::vector<double>& lower, const std::vector<double>& upper,
            const Paint& paint, const std::string& name);
  // Reference lines across the data area.
  void hline(double y, const Paint& paint, const std::string& label = "");
  void vline(double x, const Paint& paint);
  // A line of slope 1 through the origin (observed against predicted).
  void diagonal(const Paint& paint);
  // Vertical needles from `base` to each y, with a marker at the tip.
  void needles(const std::vector<double>& xs, const std::vector<double>& ys, double base, const SeriesStyle& style,
               const std::string& name);
  // Bars [left, right] x [0, height].
  void bars(const std::vector<double>& left, const std::vector<double>& right, const std::vector<double>& height,
            const Paint& paint, const std::string& name);
  // Marks the pixel rectangle spanned by a and b as covered by data, for
  // the inset's corner (marks drawn directly on the picture).
  void occupy(Point a, Point b);
  // The same for a single point of data at `p`.
  void occupy(Point p) { occupy(p, p); }
  // A small text beside a data point.
  void point_label(double x, double y, const std::string& text);
  // Lines of label and value in the emptiest corner of the data area.
  void inset(const InsetLines& lines);
  // The count key of the bins drawn, in the room the options' key took.
  void set_key(std::vector<LegendEntry> key) { options_.key = std::move(key); }
  // The options' inset, the legend and the frame's border, over the data.
  void finish();

  SvgDocument& svg() { return svg_; }
  // A clip to the data area, for drawing done directly on the picture.
  std::string clip() { return svg_.define_clip(area_.x, area_.y, area_.w, area_.h); }
  double font() const { return options_.font; }
  double marker() const { return options_.marker; }

 private:
  void layout(const Box& outer);
  bool inset_beside_area() const;
  void draw_marker(Point p, const SeriesStyle& style);
  bool inside(double x, double y) const;

  SvgDocument& svg_;
  AxisSpec xspec_, yspec_;
  PlotOptions options_;
  Box outer_, area_;
  AxisScale xs_, ys_;
  std::vector<Point> occupied_;  // drawn data, in pixels, for the inset
  double legend_h_ = 0;          // the room of the legend and key below the plot
};

// The legend and count key of a plot, and the height they take in `width`
// pixels (0 when there is nothing to show).
std::vector<LegendEntry> legend_and_key(const PlotOptions& options);
double legend_room(const PlotOptions& options, double width);

// A legend in rows centred across `strip`: each entry a marker, a line or a
// filled swatch with its label. legend_height() is the height it takes in
// `width` pixels.
void draw_legend(SvgDocument& svg, const Box& strip, const std::vector<LegendEntry>& entries, double font,
                 double marker);
double legend_height(const std::vector<LegendEntry>& entries, double width, double font);

// An inset's box of label and value lines with its top-left corner at `at`,
// and its width.
void draw_inset(SvgDocument& svg, Point at, const InsetLines& lines, double font);
double inset_width(const InsetLines& lines, double font);
// Whether a plot puts `lines` beside its data area rather than inside.
bool inset_beside(const InsetLines& lines);

// Cells of a rows x columns grid inside `outer`, row by row.
std::vector<Box> grid_cells(const Box& outer, int rows, int columns, double gap = 8);

// `text` shortened with an ellipsis to fit `width` pixels at `size`.
std::string fit_text(const std::string& text, double width, double size, FontWeight weight = FontWeight::Normal);

// The SVG path of a marker centred at p with radius r.
std::string marker_path(Marker m, Point p, double r);
// A hexagon pointed at the top, centred at c with radius r; with `slices`
// above 1, its `slice`-th of as many vertical strips, left to right.
std::string hex_path(Point c, double r, int slice = 0, int slices = 1);

}  // namespace platform::graphs
