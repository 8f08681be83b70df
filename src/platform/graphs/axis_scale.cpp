#include "platform/graphs/axis_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace platform::graphs {

double nice_number(double x, bool floor) {
  if (!(x > 0) || !std::isfinite(x)) return 1;
  const double power = std::pow(10.0, std::floor(std::log10(x)));
  const double f = x / power;
  static const double steps[] = {1, 2, 2.5, 5, 10};
  if (floor) {
    double best = 1;
    for (double s : steps)
      if (s <= f * (1 + 1e-12)) best = s;
    return best * power;
  }
  // Nearest on a log scale, so 3.2 goes to 2.5 and 3.6 to 5.
  double best = 1, distance = 1e300;
  for (double s : steps) {
    const double d = std::fabs(std::log(f / s));
    if (d < distance) distance = d, best = s;
  }
  return best * power;
}

namespace {

// Decimals a label needs for multiples of `step`.
int decimals_for(double step) {
  const int k = static_cast<int>(std::floor(std::log10(step) + 1e-9));
  const double mantissa = step / std::pow(10.0, k);
  const int extra = std::fabs(mantissa - 2.5) < 1e-6 ? 1 : 0;
  return std::max(0, -k + extra);
}

std::vector<double> ticks_in(double lo, double hi, double step) {
  std::vector<double> ticks;
  const double first = std::ceil(lo / step - 1e-9);
  const double last = std::floor(hi / step + 1e-9);
  for (double i = first; i <= last && ticks.size() < 1000; ++i) {
    double t = i * step;
    if (std::fabs(t) < step * 1e-9) t = 0;
    ticks.push_back(t);
  }
  return ticks;
}

}  // namespace

AxisScale nice_scale(double lo, double hi, int target, Extend extend, bool integer) {
  if (lo > hi) std::swap(lo, hi);
  if (hi - lo <= std::max(std::fabs(lo), std::fabs(hi)) * 1e-12) {
    // One value: a range around it that still shows nice ticks.
    const double half = lo == 0 ? 1 : std::fabs(lo) * 0.1;
    lo -= half;
    hi += half;
    if (extend == Extend::None) extend = Extend::Pad;
  }
  target = std::max(2, target);
  AxisScale s;
  double step = nice_number((hi - lo) / (target - 1));
  // Whole numbers only: a step of 2.5 becomes 2.
  if (integer) step = std::max(std::floor(step), 1.0);
  double axis_lo = lo, axis_hi = hi;
  if (extend == Extend::Pad) {
    const double pad = 0.04 * (hi - lo);
    axis_lo = lo - pad;
    axis_hi = hi + pad;
  }
  std::vector<double> ticks = ticks_in(axis_lo, axis_hi, step);
  // Too few ticks inside a padded range: a finer nice step.
  while (ticks.size() < 2 && extend != Extend::ToTicks && step > (hi - lo) * 1e-6) {
    const double finer = nice_number(step * 0.45, true);
    if (integer && finer < 1) break;
    step = finer;
    ticks = ticks_in(axis_lo, axis_hi, step);
  }
  if (extend == Extend::ToTicks) {
    axis_lo = std::floor(lo / step + 1e-9) * step;
    axis_hi = std::ceil(hi / step - 1e-9) * step;
    ticks = ticks_in(axis_lo, axis_hi, step);
  }
  s.lo = axis_lo;
  s.hi = axis_hi;
  s.step = step;
  s.ticks = ticks;
  s.decimals = decimals_for(step);
  double biggest = 0;
  for (double t : ticks) biggest = std::max(biggest, std::fabs(t));
  // Very large or very small labels are written in units of a power of ten
  // named once beside the axis title.
  if (biggest >= 1e6 || (biggest > 0 && biggest < 1e-3)) {
    s.exponent = static_cast<int>(std::floor(std::log10(biggest)));
    s.decimals = std::max(0, decimals_for(step / std::pow(10.0, s.exponent)));
  }
  return s;
}

std::string tick_label(double v, const AxisScale& scale) {
  if (scale.exponent != 0) v /= std::pow(10.0, scale.exponent);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", scale.decimals, v);
  std::string s = buf;
  if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);
  return s;
}

std::string scale_suffix(const AxisScale& scale) {
  if (scale.exponent == 0) return {};
  return " (\xC3\x97 10^" + std::to_string(scale.exponent) + ")";
}

std::string format_value(double v, int digits) {
  if (!std::isfinite(v)) return ".";
  char buf[64];
  const double a = std::fabs(v);
  if (a != 0 && (a >= 1e7 || a < 1e-4)) {
    std::snprintf(buf, sizeof buf, "%.*E", digits - 1, v);
    std::string s = buf;
    const auto e = s.find('E');
    std::string mant = s.substr(0, e), ex = s.substr(e);
    if (mant.find('.') != std::string::npos) {
      while (mant.back() == '0') mant.pop_back();
      if (mant.back() == '.') mant.pop_back();
    }
    return mant + ex;
  }
  const int magnitude = a == 0 ? 0 : static_cast<int>(std::floor(std::log10(a)));
  const int decimals = std::max(0, digits - 1 - magnitude);
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  std::string s = buf;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

}  // namespace platform::graphs
