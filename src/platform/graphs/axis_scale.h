// Axis ranges and tick marks at "nice" numbers: 1, 2, 2.5 or 5 times a power
// of ten (Heckbert's labelling), with tick labels that carry no more decimals
// than the step needs.
#pragma once

#include <string>
#include <vector>

namespace platform::graphs {

enum class Extend {
  Pad,      // the data range widened by 4% on each side, ticks inside it
  ToTicks,  // the range widened to the ticks just outside the data
  None      // the data range as given
};

struct AxisScale {
  double lo = 0, hi = 1;        // the axis range
  double step = 0.2;            // the tick step
  std::vector<double> ticks;    // tick values inside [lo, hi]
  int decimals = 1;             // decimals of every tick label
  int exponent = 0;             // labels in units of 10^exponent when not 0
};

// The nice number nearest `x` (> 0) from {1, 2, 2.5, 5} x 10^k; with `floor`
// the largest not above x.
double nice_number(double x, bool floor = false);

// An axis for data from `lo` to `hi` (lo may equal hi; both finite) with
// about `target` ticks; `integer` keeps the step at 1 or more.
AxisScale nice_scale(double lo, double hi, int target, Extend extend = Extend::Pad, bool integer = false);

// The label of tick value `v` on `scale`.
std::string tick_label(double v, const AxisScale& scale);
// "x 10^k" written out for a scaled axis, "" when the labels are plain.
std::string scale_suffix(const AxisScale& scale);

// A number for an inset or a legend: `digits` significant digits, without
// trailing zeros, in E notation when very large or small.
std::string format_value(double v, int digits = 4);

}  // namespace platform::graphs
