#include "platform/graphs/plot_area.h"

#include <algorithm>

#include "platform/utf8.h"

namespace platform::graphs {
namespace {

constexpr double kTick = 4;        // tick length, outside the data area
constexpr double kGap = 3;         // between a tick and its label
constexpr double kLegendSwatch = 22;
constexpr double kLegendSpacing = 14;

double label_height(double font) { return cap_height(font) + descent(font); }

constexpr std::size_t kInsetLinesInside = 6;
constexpr double kInsetPad = 5;

}  // namespace

bool inset_beside(const InsetLines& lines) { return lines.size() > kInsetLinesInside; }

double inset_width(const InsetLines& lines, double f) {
  double lw = 0, vw = 0;
  for (const auto& [label, value] : lines) {
    lw = std::max(lw, text_width(label, f));
    vw = std::max(vw, text_width(value, f));
  }
  return kInsetPad * 2 + lw + 10 + vw;
}

// Draws the inset's box with its top-left corner at `at`.
void draw_inset(SvgDocument& svg, Point at, const InsetLines& lines, double f) {
  const double line_h = f * 1.3, w = inset_width(lines, f);
  const double h = kInsetPad * 2 + line_h * static_cast<double>(lines.size()) - (line_h - f);
  svg.begin_layer("inset");
  Paint box{"#999999", "#FFFFFF", 0.6};
  box.fill_opacity = 0.9;
  svg.rect(at.x, at.y, w, h, box);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const double y = at.y + kInsetPad + cap_height(f) + line_h * static_cast<double>(i);
    svg.text({at.x + kInsetPad, y}, lines[i].first, TextStyle{f});
    svg.text({at.x + w - kInsetPad, y}, lines[i].second, TextStyle{f, Anchor::End});
  }
  svg.end_layer();
}

namespace {

// Room above the data area.
constexpr double kTopBand = 6;

double bottom_band(const AxisSpec& x, const PlotOptions& o) {
  double b = kTick + kGap + 4;
  if (x.labels) b += label_height(o.font);
  if (!x.title.empty()) b += o.font + 1 + 6;
  return b;
}

std::pair<double, double> extent(const AxisSpec& a) {
  if (!std::isfinite(a.lo) || !std::isfinite(a.hi)) return {0, 1};
  return {a.lo, a.hi};
}

AxisScale y_scale_for(const AxisSpec& y, double height) {
  const auto [lo, hi] = extent(y);
  const int target = std::clamp(static_cast<int>(height / 45) + 1, 3, 8);
  return nice_scale(lo, hi, target, y.extend, y.integer);
}

double widest_label(const AxisScale& s, double font) {
  double w = 0;
  for (double t : s.ticks) w = std::max(w, text_width(tick_label(t, s), font));
  return w;
}

double left_band(const AxisSpec& y, const AxisScale& ys, const PlotOptions& o) {
  double l = kTick + kGap + 4;
  if (y.labels) l += widest_label(ys, o.font);
  if (!y.title.empty()) l += o.font + 1 + 8;
  return l;
}

// An axis title with its scale's suffix, shortened to `width`: the title
// gives way before the suffix, without which the values cannot be read.
std::string axis_title(const std::string& title, const AxisScale& scale, double width, double size) {
  const std::string suffix = scale_suffix(scale), whole = title + suffix;
  if (suffix.empty() || text_width(whole, size) <= width) return fit_text(whole, width, size);
  const std::string shortened = fit_text(title, width - text_width(suffix, size), size);
  return shortened.empty() ? fit_text(suffix, width, size) : shortened + suffix;
}

}  // namespace

std::string fit_text(const std::string& text, double width, double size, FontWeight weight) {
  if (text_width(text, size, weight) <= width) return text;
  static const std::string ellipsis = "\xE2\x80\xA6";
  // Where each character ends: a cut never splits a UTF-8 sequence.
  std::vector<std::size_t> ends;
  for (std::size_t i = 0; i < text.size();) {
    decode_utf8(text, i);
    ends.push_back(i);
  }
  auto shortened = [&](std::size_t characters) { return text.substr(0, ends[characters - 1]) + ellipsis; };
  auto fits = [&](std::size_t characters) { return text_width(shortened(characters), size, weight) <= width; };
  // The longest proper prefix that fits with the ellipsis, by bisection: a
  // prefix is never narrower than a shorter one (but for kerning's fraction
  // of a pixel), so a long label costs a few dozen measurements, not one
  // per character.
  if (ends.size() < 2 || !fits(1)) return {};
  std::size_t good = 1, bad = ends.size();
  while (bad - good > 1) {
    const std::size_t mid = good + (bad - good) / 2;
    (fits(mid) ? good : bad) = mid;
  }
  return shortened(good);
}

std::vector<Box> grid_cells(const Box& outer, int rows, int columns, double gap) {
  std::vector<Box> cells;
  rows = std::max(rows, 1);
  columns = std::max(columns, 1);
  const double w = (outer.w - gap * (columns - 1)) / columns;
  const double h = (outer.h - gap * (rows - 1)) / rows;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) cells.push_back({outer.x + c * (w + gap), outer.y + r * (h + gap), w, h});
  return cells;
}

std::string marker_path(Marker m, Point p, double r) {
  auto pt = [](double x, double y) { return coord(x) + "," + coord(y); };
  switch (m) {
    case Marker::Triangle: {
      const double s = r * 1.2;
      return "M" + pt(p.x, p.y - s) + "L" + pt(p.x + s * 0.866, p.y + s * 0.5) + "L" + pt(p.x - s * 0.866, p.y + s * 0.5) +
             "Z";
    }
    case Marker::Square: {
      const double s = r * 0.85;
      return "M" + pt(p.x - s, p.y - s) + "H" + coord(p.x + s) + "V" + coord(p.y + s) + "H" + coord(p.x - s) + "Z";
    }
    case Marker::Diamond: {
      const double s = r * 1.2;
      return "M" + pt(p.x, p.y - s) + "L" + pt(p.x + s, p.y) + "L" + pt(p.x, p.y + s) + "L" + pt(p.x - s, p.y) + "Z";
    }
    case Marker::Cross: {
      const double s = r * 0.8;
      return "M" + pt(p.x - s, p.y - s) + "L" + pt(p.x + s, p.y + s) + "M" + pt(p.x - s, p.y + s) + "L" +
             pt(p.x + s, p.y - s);
    }
    case Marker::Circle: break;
  }
  return {};
}

std::string hex_path(Point c, double r, int slice, int slices) {
  constexpr double kRootThree = 1.7320508075688772;
  const double half = kRootThree * r / 2;
  if (slices <= 1)
    return "M" + coord(c.x) + "," + coord(c.y - r) + "l" + coord(half) + "," + coord(r / 2) + "v" + coord(r) + "l" +
           coord(-half) + "," + coord(r / 2) + "l" + coord(-half) + "," + coord(-r / 2) + "v" + coord(-r) + "z";
  // The strip [a, b] across: under the top edges, which rise from -r/2 at
  // the sides to -r at the middle, and over the bottom ones.
  const double a = -half + 2 * half * slice / slices, b = a + 2 * half / slices;
  auto top = [&](double x) { return -r + r / 2 * std::fabs(x) / half; };
  auto pt = [&](double x, double y) { return coord(c.x + x) + "," + coord(c.y + y); };
  std::string d = "M" + pt(a, top(a));
  if (a < 0 && b > 0) d += "L" + pt(0, -r);
  d += "L" + pt(b, top(b)) + "L" + pt(b, -top(b));
  if (a < 0 && b > 0) d += "L" + pt(0, r);
  return d + "L" + pt(a, -top(a)) + "Z";
}

namespace {
constexpr double kKeySwatch = 14;  // a count key's hexagon

double entry_width(const LegendEntry& e, double font) {
  const double text = text_width(e.label, font);
  if (e.kind == LegendEntry::Caption) return text + 6;
  if (e.kind == LegendEntry::Shade) return kKeySwatch + 3 + text + 10;
  return kLegendSwatch + 4 + text + kLegendSpacing;
}

// The entries of each legend row, fitted to `width`.
std::vector<std::vector<std::size_t>> legend_layout(const std::vector<LegendEntry>& entries, double width,
                                                    double font, std::vector<double>* row_widths) {
  std::vector<std::vector<std::size_t>> rows(1);
  row_widths->assign(1, 0);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const double w = entry_width(entries[i], font);
    if (!rows.back().empty() && (entries[i].row_start || row_widths->back() + w > width))
      rows.emplace_back(), row_widths->push_back(0);
    rows.back().push_back(i);
    row_widths->back() += w;
  }
  return rows;
}

// The swatch of a legend entry of the bins drawn, centred at c.
void bin_swatch(SvgDocument& svg, const LegendEntry& e, Point c, double marker) {
  if (e.kind == LegendEntry::Binned || e.kind == LegendEntry::Bins) {
    svg.path(hex_path(c, 8), Paint{"", e.style.colour, 1, "", 0.45});
    if (e.kind == LegendEntry::Bins) return;
    const Paint paint{e.style.colour, e.style.filled ? e.style.colour : "#FFFFFF", 0.8};
    if (e.style.marker == Marker::Circle) svg.circle(c, marker * 0.8, paint);
    else svg.path(marker_path(e.style.marker, c, marker * 0.8), paint);
    return;
  }
  const int slices = static_cast<int>(e.colours.size());
  for (int k = 0; k < slices; ++k)
    svg.path(hex_path(c, kKeySwatch / 2, k, slices),
             Paint{"", e.colours[static_cast<std::size_t>(k)], 1, "", e.fill.fill_opacity});
}
}  // namespace

double legend_height(const std::vector<LegendEntry>& entries, double width, double font) {
  if (entries.empty()) return 0;
  std::vector<double> widths;
  return static_cast<double>(legend_layout(entries, width, font, &widths).size()) * font * 1.5 + 4;
}

void draw_legend(SvgDocument& svg, const Box& strip, const std::vector<LegendEntry>& entries, double font,
                 double marker) {
  if (entries.empty()) return;
  std::vector<double> widths;
  const auto rows = legend_layout(entries, strip.w - 20, font, &widths);
  const double row_h = font * 1.5;
  double y = strip.y + 2;
  svg.begin_layer("legend");
  for (std::size_t r = 0; r < rows.size(); ++r, y += row_h) {
    double x = std::max(strip.x + 4, strip.x + strip.w / 2 - (widths[r] - kLegendSpacing) / 2);
    const double mid = y + row_h / 2;
    for (std::size_t i : rows[r]) {
      const LegendEntry& e = entries[i];
      const double text_y = mid + cap_height(font) / 2;
      if (e.kind == LegendEntry::Caption || e.kind == LegendEntry::Shade) {
        if (e.kind == LegendEntry::Shade) bin_swatch(svg, e, {x + kKeySwatch / 2, mid}, marker);
        const double at = e.kind == LegendEntry::Shade ? x + kKeySwatch + 3 : x;
        svg.text({at, text_y}, e.label, TextStyle{font, Anchor::Start, FontWeight::Normal, colour::kMutedText});
        x += entry_width(e, font);
        continue;
      }
      if (e.kind == LegendEntry::Binned || e.kind == LegendEntry::Bins) {
        bin_swatch(svg, e, {x + kLegendSwatch / 2, mid}, marker);
        svg.text({x + kLegendSwatch + 4, text_y}, e.label, TextStyle{font});
        x += entry_width(e, font);
        continue;
      }
      if (e.kind == LegendEntry::Line || e.kind == LegendEntry::LineMarker)
        svg.line({x, mid}, {x + kLegendSwatch, mid}, Paint{e.style.colour, "", e.style.line_width, e.style.dash});
      if (e.kind == LegendEntry::Fill) {
        svg.rect(x + 2, mid - 5, kLegendSwatch - 4, 10, e.fill);
      } else if (e.kind != LegendEntry::Line) {
        // An open marker on a line is filled white, so that it reads as the marker.
        const std::string inside = e.kind == LegendEntry::LineMarker ? "#FFFFFF" : "";
        const Paint paint{e.style.colour, e.style.filled ? e.style.colour : inside, 1};
        const Point c{x + kLegendSwatch / 2, mid};
        if (e.style.marker == Marker::Circle) svg.circle(c, marker, paint);
        else svg.path(marker_path(e.style.marker, c, marker), paint);
      }
      svg.text({x + kLegendSwatch + 4, text_y}, e.label, TextStyle{font});
      x += entry_width(e, font);
    }
  }
  svg.end_layer();
}

std::vector<LegendEntry> legend_and_key(const PlotOptions& o) {
  std::vector<LegendEntry> entries = o.legend;
  entries.insert(entries.end(), o.key.begin(), o.key.end());
  return entries;
}

double legend_room(const PlotOptions& o, double width) {
  const std::vector<LegendEntry> entries = legend_and_key(o);
  return entries.size() >= 2 ? legend_height(entries, width, o.font) : 0;
}

double Plot::needed_left_margin(const AxisSpec& x, const AxisSpec& y, const Box& outer, const PlotOptions& o) {
  double h = outer.h - kTopBand - bottom_band(x, o);
  h -= legend_room(o, outer.w - 20);
  h = std::max(20.0, h);
  return left_band(y, y_scale_for(y, h), o);
}

Plot::Plot(SvgDocument& svg, Box outer, AxisSpec x, AxisSpec y, PlotOptions options)
    : svg_(svg), xspec_(std::move(x)), yspec_(std::move(y)), options_(std::move(options)), outer_(outer) {
  layout(outer);
}

void Plot::layout(const Box& outer) {
  const double top = kTopBand;
  legend_h_ = legend_room(options_, outer.w - 20);
  const double bottom = bottom_band(xspec_, options_) + legend_h_;
  const double h = std::max(20.0, outer.h - top - bottom);
  ys_ = y_scale_for(yspec_, h);
  const double left = options_.left_margin >= 0 ? options_.left_margin : left_band(yspec_, ys_, options_);
  const auto [xlo, xhi] = extent(xspec_);
  // The last tick label may stand out half its width past the data area.
  // An axis with ticks but no labels (a histogram over the box plot that
  // labels it) takes the same room and ticks as its labelled twin, so
  // that both map a value to the same pixel.
  AxisScale guess = nice_scale(xlo, xhi, 5, xspec_.extend, xspec_.integer);
  const double right = xspec_.ticks && !guess.ticks.empty()
                           ? std::max(10.0, text_width(tick_label(guess.ticks.back(), guess), options_.font) / 2 + 4)
                           : 10.0;
  const double beside =
      !options_.inset.empty() && inset_beside_area() ? inset_width(options_.inset, options_.font - 1) + 8 : 0;
  const double w = std::max(20.0, outer.w - left - right - beside);
  // As many ticks as fit without their labels touching.
  for (int target = std::clamp(static_cast<int>(std::lround(w / 80)) + 1, 4, 8);; --target) {
    xs_ = nice_scale(xlo, xhi, target, xspec_.extend, xspec_.integer);
    const double need = (widest_label(xs_, options_.font) + 10) * static_cast<double>(xs_.ticks.size());
    if (target <= 2 || !xspec_.ticks || need <= w) break;
  }
  area_ = {outer.x + left, outer.y + top, w, h};
}

void Plot::frame() {
  const Box& a = area_;
  svg_.rect(a.x, a.y, a.w, a.h, Paint{"", "#FFFFFF"});
  const double f = options_.font;
  const Paint grid{colour::kGrid, "", 0.8};
  const Paint tick{colour::kFrame, "", 0.8};
  TextStyle label{f, Anchor::Middle, FontWeight::Normal, colour::kMutedText};

  // The axis' range and its ends in pixels, for readers of the picture.
  svg_.begin_layer("x-axis", "", "data-lo=\"" + format_value(xs_.lo, 10) + "\" data-hi=\"" +
                                     format_value(xs_.hi, 10) + "\" data-px=\"" + coord(a.x) + " " +
                                     coord(a.x + a.w) + "\"");
  for (double t : xs_.ticks) {
    if (!xspec_.ticks) break;
    const double x = px(t);
    svg_.line({x, a.y}, {x, a.y + a.h}, grid);
    svg_.line({x, a.y + a.h}, {x, a.y + a.h + kTick}, tick);
    if (xspec_.labels) svg_.text({x, a.y + a.h + kTick + kGap + cap_height(f)}, tick_label(t, xs_), label);
  }
  if (!xspec_.title.empty()) {
    const double y = a.y + a.h + kTick + kGap + (xspec_.labels ? label_height(f) : 0) + 6 + cap_height(f + 1);
    svg_.text({a.x + a.w / 2, y}, axis_title(xspec_.title, xs_, a.w, f + 1), TextStyle{f + 1, Anchor::Middle});
  }
  svg_.end_layer();

  svg_.begin_layer("y-axis", "", "data-lo=\"" + format_value(ys_.lo, 10) + "\" data-hi=\"" +
                                     format_value(ys_.hi, 10) + "\" data-px=\"" + coord(a.y + a.h) + " " +
                                     coord(a.y) + "\"");
  label.anchor = Anchor::End;
  double widest = 0;
  for (double t : ys_.ticks) {
    if (!yspec_.ticks) break;
    const double y = py(t);
    svg_.line({a.x, y}, {a.x + a.w, y}, grid);
    svg_.line({a.x - kTick, y}, {a.x, y}, tick);
    if (yspec_.labels) {
      const std::string text = tick_label(t, ys_);
      widest = std::max(widest, text_width(text, f));
      svg_.text({a.x - kTick - kGap, y + cap_height(f) / 2}, text, label);
    }
  }
  if (!yspec_.title.empty()) {
    const double x = a.x - kTick - kGap - widest - 8 - descent(f + 1);
    TextStyle t{f + 1, Anchor::Middle};
    t.rotate = -90;
    svg_.text({x, a.y + a.h / 2}, axis_title(yspec_.title, ys_, a.h, f + 1), t);
  }
  svg_.end_layer();
}

bool Plot::inside(double x, double y) const {
  return std::isfinite(x) && std::isfinite(y) && x >= xs_.lo && x <= xs_.hi && y >= ys_.lo && y <= ys_.hi;
}

void Plot::draw_marker(Point p, const SeriesStyle& style) {
  const Paint paint{style.colour, style.filled ? style.colour : "", 1};
  if (style.marker == Marker::Circle) svg_.circle(p, options_.marker, paint);
  else svg_.path(marker_path(style.marker, p, options_.marker), paint);
  occupied_.push_back(p);
}

int Plot::points(const std::vector<double>& xs, const std::vector<double>& ys, const SeriesStyle& style,
                 const std::string& name) {
  int drawn = 0;
  svg_.begin_layer("markers", "", "data-series=\"" + xml_escape(name) + "\"");
  for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
    if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) continue;
    draw_marker({px(xs[i]), py(ys[i])}, style);
    ++drawn;
  }
  svg_.end_layer();
  return drawn;
}

void Plot::point(double x, double y, const Paint& paint) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  const Point p{px(x), py(y)};
  svg_.circle(p, options_.marker, paint);
  occupied_.push_back(p);
}

void Plot::line(const std::vector<double>& xs, const std::vector<double>& ys, const SeriesStyle& style,
                const std::string& name) {
  svg_.begin_layer("line", clip(), "data-series=\"" + xml_escape(name) + "\"");
  const Paint paint{style.colour, "", style.line_width, style.dash};
  std::vector<Point> run;
  for (std::size_t i = 0; i <= xs.size() && i <= ys.size(); ++i) {
    const bool ok = i < xs.size() && i < ys.size() && std::isfinite(xs[i]) && std::isfinite(ys[i]);
    if (ok) {
      run.push_back({px(xs[i]), py(ys[i])});
      if (inside(xs[i], ys[i])) occupied_.push_back(run.back());
      continue;
    }
    svg_.polyline(run, paint);
    run.clear();
  }
  svg_.end_layer();
}

void Plot::band(const std::vector<double>& xs, const std::vector<double>& lower, const std::vector<double>& upper,
                const Paint& paint, const std::string& name) {
  svg_.begin_layer("band", clip(), "data-series=\"" + xml_escape(name) + "\"");
  std::vector<Point> top, bottom;
  auto flush = [&] {
    if (top.size() >= 2) {
      std::vector<Point> polygon = top;
      polygon.insert(polygon.end(), bottom.rbegin(), bottom.rend());
      svg_.polygon(polygon, paint);
    }
    top.clear();
    bottom.clear();
  };
  for (std::size_t i = 0; i < xs.size() && i < lower.size() && i < upper.size(); ++i) {
    if (!std::isfinite(xs[i]) || !std::isfinite(lower[i]) || !std::isfinite(upper[i])) {
      flush();
      continue;
    }
    top.push_back({px(xs[i]), py(upper[i])});
    bottom.push_back({px(xs[i]), py(lower[i])});
  }
  flush();
  svg_.end_layer();
}

void Plot::hline(double y, const Paint& paint, const std::string& label) {
  if (!std::isfinite(y) || y < ys_.lo || y > ys_.hi) return;
  svg_.begin_layer("reference");
  svg_.line({area_.x, py(y)}, {area_.x + area_.w, py(y)}, paint);
  if (!label.empty()) {
    // Above the line, or below it where the line is too near the top for
    // the label to stay inside the frame.
    TextStyle t{options_.font - 1, Anchor::End, FontWeight::Normal, colour::kMutedText};
    const double above = py(y) - 3, below = py(y) + 3 + cap_height(t.size);
    svg_.text({area_.x + area_.w - 3, above - cap_height(t.size) < area_.y ? below : above}, label, t);
  }
  svg_.end_layer();
}

void Plot::vline(double x, const Paint& paint) {
  if (!std::isfinite(x) || x < xs_.lo || x > xs_.hi) return;
  svg_.begin_layer("reference");
  svg_.line({px(x), area_.y}, {px(x), area_.y + area_.h}, paint);
  svg_.end_layer();
}

void Plot::diagonal(const Paint& paint) {
  const double lo = std::max(xs_.lo, ys_.lo), hi = std::min(xs_.hi, ys_.hi);
  if (!(lo < hi)) return;
  svg_.begin_layer("reference");
  svg_.line({px(lo), py(lo)}, {px(hi), py(hi)}, paint);
  svg_.end_layer();
  // The line of equality is read against the points: the inset keeps off it.
  const double steps = std::ceil(std::hypot(px(hi) - px(lo), py(hi) - py(lo)) / 6);
  for (double k = 0; k <= steps; ++k) {
    const double v = lo + (hi - lo) * k / std::max(steps, 1.0);
    occupied_.push_back({px(v), py(v)});
  }
}

void Plot::needles(const std::vector<double>& xs, const std::vector<double>& ys, double base,
                   const SeriesStyle& style, const std::string& name) {
  svg_.begin_layer("needles", "", "data-series=\"" + xml_escape(name) + "\"");
  const Paint stem{style.colour, "", 0.8};
  const double b = std::clamp(base, ys_.lo, ys_.hi);
  for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
    if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) continue;
    const double top = py(std::clamp(ys[i], ys_.lo, ys_.hi)), bottom = py(b);
    svg_.line({px(xs[i]), bottom}, {px(xs[i]), top}, stem);
    // The stem covers the plot as much as its tip, for the inset's corner.
    for (double y = std::min(top, bottom); y < std::max(top, bottom); y += 6) occupied_.push_back({px(xs[i]), y});
  }
  svg_.end_layer();
  points(xs, ys, style, name);
}

void Plot::bars(const std::vector<double>& left, const std::vector<double>& right,
                const std::vector<double>& height, const Paint& paint, const std::string& name) {
  svg_.begin_layer("bars", "", "data-series=\"" + xml_escape(name) + "\"");
  for (std::size_t i = 0; i < left.size() && i < right.size() && i < height.size(); ++i) {
    const double top = py(std::min(height[i], ys_.hi)), bottom = py(std::max(0.0, ys_.lo));
    svg_.rect(px(left[i]), top, px(right[i]) - px(left[i]), bottom - top, paint);
    occupied_.push_back({(px(left[i]) + px(right[i])) / 2, top});
    for (double y = top; y < bottom; y += 6) occupied_.push_back({(px(left[i]) + px(right[i])) / 2, y});
  }
  svg_.end_layer();
}

bool Plot::inset_beside_area() const { return options_.inset_outside || inset_beside(options_.inset); }

void Plot::occupy(Point a, Point b) {
  for (double x = std::min(a.x, b.x);; x += 6) {
    for (double y = std::min(a.y, b.y);; y += 6) {
      occupied_.push_back({std::min(x, std::max(a.x, b.x)), std::min(y, std::max(a.y, b.y))});
      if (y >= std::max(a.y, b.y)) break;
    }
    if (x >= std::max(a.x, b.x)) break;
  }
}

void Plot::point_label(double x, double y, const std::string& text) {
  if (!inside(x, y)) return;
  TextStyle t{options_.font - 2, Anchor::Start, FontWeight::Normal, colour::kMutedText};
  Point p{px(x) + options_.marker + 1, py(y) - options_.marker - 1};
  // Below the marker where above it the label would cross the frame.
  if (p.y - cap_height(t.size) < area_.y) p.y = py(y) + options_.marker + 1 + cap_height(t.size);
  if (p.x + text_width(text, t.size) > area_.x + area_.w) {
    t.anchor = Anchor::End;
    p.x = px(x) - options_.marker - 1;
  }
  svg_.text(p, text, t);
}

void Plot::inset(const InsetLines& lines) {
  if (lines.empty()) return;
  const double f = options_.font - 1, line_h = f * 1.3;
  const double w = inset_width(lines, f);
  const double h = kInsetPad * 2 + line_h * static_cast<double>(lines.size()) - (line_h - f);
  if (w > area_.w - 8 || h > area_.h - 8) return;
  // The corner whose box covers the fewest drawn data points.
  const Point corners[] = {{area_.x + area_.w - 4 - w, area_.y + 4},
                           {area_.x + 4, area_.y + 4},
                           {area_.x + area_.w - 4 - w, area_.y + area_.h - 4 - h},
                           {area_.x + 4, area_.y + area_.h - 4 - h}};
  std::size_t best = 0, best_count = SIZE_MAX;
  for (std::size_t c = 0; c < 4; ++c) {
    std::size_t count = 0;
    for (const Point& p : occupied_)
      if (p.x >= corners[c].x - 4 && p.x <= corners[c].x + w + 4 && p.y >= corners[c].y - 4 &&
          p.y <= corners[c].y + h + 4)
        ++count;
    if (count < best_count) best_count = count, best = c;
  }
  draw_inset(svg_, corners[best], lines, f);
}

void Plot::finish() {
  if (!options_.inset.empty() && inset_beside_area())
    draw_inset(svg_, {area_.x + area_.w + 8, area_.y}, options_.inset, options_.font - 1);
  else
    inset(options_.inset);
  if (legend_h_ > 0)
    draw_legend(svg_, Box{outer_.x, outer_.y + outer_.h - legend_h_, outer_.w, legend_h_}, legend_and_key(options_),
                options_.font, options_.marker);
  svg_.rect(area_.x, area_.y, area_.w, area_.h, Paint{colour::kFrame, "", 0.8});
}

}  // namespace platform::graphs
