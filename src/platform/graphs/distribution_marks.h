// Marks that show a distribution inside a plot: histogram bars in percent
// with a normal curve, and Tukey's box plot.
#pragma once

#include <string>

#include "platform/graphs/plot_area.h"
#include "platform/graphs/sample_statistics.h"

namespace platform::graphs {

inline const Paint kBarPaint{"#3A6F9A", "#A6C8E0", 0.6};

// The histogram's highest bar in percent (for the y axis).
double highest_percent(const Histogram& h);
// The bars of `h` in percent of its values.
void histogram_bars(Plot& plot, const Histogram& h, const std::string& name);
// Whether values of moments `m` have a normal curve: three or more with a
// spread, so that a legend names the curve only where it is drawn.
bool draws_normal_curve(const Moments& m);
// The normal density with the values' mean and standard deviation, scaled to
// percent per bin of the histogram; returns false when it cannot be drawn.
bool normal_curve(Plot& plot, const Histogram& h, const Moments& m, const SeriesStyle& style);
// A box at `centre` with half-width `half` (in the other axis' data units):
// box from Q1 to Q3, median line, mean diamond, whiskers, outliers as
// circles. Horizontal boxes run along the x axis.
void box_plot(Plot& plot, const BoxStatistics& b, double centre, double half, const SeriesStyle& style,
              bool horizontal);

}  // namespace platform::graphs
