#include "platform/graphs/dense_marks.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace platform::graphs {
namespace {

constexpr double kRootThree = 1.7320508075688772;
constexpr double kHexesAcross = 40;                 // hexagons across a data area,
constexpr double kSmallestRadius = 4;               // but none smaller, in pixels
constexpr int kShades = 5;                          // classes of count, lightest to darkest
constexpr double kLightest = 0.15, kDarkest = 0.8;  // their fill opacities
constexpr double kDenseMarker = 2.2;                // radius of the markers drawn one by one
constexpr double kFootnoteSize = 10;

bool on_axes(const Plot& plot, double x, double y) {
  return std::isfinite(x) && std::isfinite(y) && x >= plot.xscale().lo && x <= plot.xscale().hi &&
         y >= plot.yscale().lo && y <= plot.yscale().hi;
}

std::string bins_attributes(const std::string& name, std::size_t counted) {
  return "data-series=\"" + xml_escape(name) + "\" data-counted=\"" + std::to_string(counted) + "\"";
}

std::vector<std::string> wrapped(const std::string& text, double width, double size) {
  std::vector<std::string> lines(1);
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    const std::string word = text.substr(at, end - at);
    const std::string longer = lines.back().empty() ? word : lines.back() + " " + word;
    if (!lines.back().empty() && text_width(longer, size) > width) lines.push_back(word);
    else lines.back() = longer;
    at = end + 1;
  }
  return lines;
}

}  // namespace

MarkPlan mark_plan(std::size_t points, std::size_t series) {
  MarkPlan plan;
  series = std::max<std::size_t>(series, 1);
  plan.dense = points * series > kMarkLimit;
  plan.per_series = kMarkLimit / series;
  return plan;
}

std::size_t present(const std::vector<double>& xs, const std::vector<double>& ys) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i) n += std::isfinite(xs[i]) && std::isfinite(ys[i]);
  return n;
}

std::vector<double> beyond_scores(const std::vector<double>& values, double cut) {
  std::vector<double> s(values.size(), kNaN);
  if (!(cut > 0)) return s;
  for (std::size_t i = 0; i < values.size(); ++i) s[i] = std::fabs(values[i]) / cut;
  return s;
}

std::vector<double> larger_scores(std::vector<double> a, const std::vector<double>& b) {
  if (a.empty()) return b;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (std::isfinite(b[i]) && !(a[i] >= b[i])) a[i] = b[i];
  return a;
}

Flagged flagged_rows(const std::vector<double>& xs, const std::vector<double>& ys, const std::vector<double>& scores,
                     std::size_t most) {
  Flagged f;
  for (std::size_t i = 0; i < scores.size() && i < xs.size() && i < ys.size(); ++i)
    if (scores[i] > 1 && std::isfinite(xs[i]) && std::isfinite(ys[i])) f.rows.push_back(i);
  f.beyond = f.rows.size();
  if (f.rows.size() > most) {
    std::stable_sort(f.rows.begin(), f.rows.end(), [&](std::size_t a, std::size_t b) { return scores[a] > scores[b]; });
    f.rows.resize(most);
    std::sort(f.rows.begin(), f.rows.end());
  }
  return f;
}

std::vector<double> at_rows(const std::vector<double>& values, const std::vector<std::size_t>& rows) {
  std::vector<double> out;
  out.reserve(rows.size());
  for (std::size_t r : rows) out.push_back(r < values.size() ? values[r] : kNaN);
  return out;
}

HexGrid hex_bins(const Plot& plot, const std::vector<double>& xs, const std::vector<double>& ys,
                 const std::vector<double>* values) {
  const Box& a = plot.area();
  HexGrid g;
  g.radius = std::max(kSmallestRadius, a.w / (kHexesAcross * kRootThree));
  const double w = kRootThree * g.radius, dy = 1.5 * g.radius;
  const long columns = static_cast<long>(a.w / w) + 2, rows = static_cast<long>(a.h / dy) + 2;
  std::vector<HexBin> cells(static_cast<std::size_t>(columns * rows));
  for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
    if (!on_axes(plot, xs[i], ys[i])) continue;
    const double x = plot.px(xs[i]) - a.x, y = plot.py(ys[i]) - a.y;
    // The nearest centre lies in one of the two rows around the point.
    long best_col = 0, best_row = 0;
    double best = HUGE_VAL;
    for (long row = static_cast<long>(std::floor(y / dy)); row <= static_cast<long>(std::floor(y / dy)) + 1; ++row) {
      const double offset = row % 2 ? w / 2 : 0;
      const long col = std::lround((x - offset) / w);
      const double d = std::hypot(x - (col * w + offset), y - row * dy);
      if (d < best) best = d, best_col = col, best_row = row;
    }
    best_col = std::clamp(best_col, 0L, columns - 1);
    best_row = std::clamp(best_row, 0L, rows - 1);
    HexBin& bin = cells[static_cast<std::size_t>(best_row * columns + best_col)];
    bin.centre = {a.x + best_col * w + (best_row % 2 ? w / 2 : 0), a.y + best_row * dy};
    ++bin.count;
    ++g.counted;
    if (values && i < values->size() && std::isfinite((*values)[i])) ++bin.valued, bin.sum += (*values)[i];
  }
  for (const HexBin& bin : cells)
    if (bin.count) g.bins.push_back(bin);
  return g;
}

int CountClasses::shade(std::size_t count) const {
  if (most <= 1) return kShades - 1;
  const double f = std::log(static_cast<double>(count) + 1) / std::log(static_cast<double>(most) + 1);
  return std::clamp(static_cast<int>(std::ceil(f * kShades)) - 1, 0, kShades - 1);
}

std::vector<std::pair<std::size_t, std::size_t>> CountClasses::ranges() const {
  // The least count of each shade or a darker one, by bisection: shades
  // grow with the count.
  auto least = [&](int k) {
    std::size_t lo = 1, hi = most + 1;
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo) / 2;
      if (shade(mid) >= k) hi = mid;
      else lo = mid + 1;
    }
    return lo;
  };
  std::vector<std::pair<std::size_t, std::size_t>> out(kShades, {1, 0});
  for (int k = 0; k < kShades && most > 0; ++k) out[static_cast<std::size_t>(k)] = {least(k), least(k + 1) - 1};
  return out;
}

double shade_opacity(int shade) { return kLightest + (kDarkest - kLightest) * shade / (kShades - 1); }

std::vector<LegendEntry> count_key(const CountClasses& classes, const std::vector<std::string>& colours) {
  std::vector<LegendEntry> key{{"Points per bin:", LegendEntry::Caption}};
  key.front().row_start = true;
  const auto ranges = classes.ranges();
  for (int k = 0; k < kShades; ++k) {
    const auto [lo, hi] = ranges[static_cast<std::size_t>(k)];
    if (lo > hi) continue;
    const std::string label = lo == hi ? count_text(lo) : count_text(lo) + "\xE2\x80\x93" + count_text(hi);
    key.push_back({label, LegendEntry::Shade, {}, Paint{"", "", 1, "", shade_opacity(k)}});
    key.back().colours = colours;
  }
  return key;
}

std::vector<LegendEntry> count_key_room(std::size_t points) { return count_key(CountClasses{points}, {}); }

void draw_count_bins(Plot& plot, const HexGrid& grid, const std::string& colour, const std::string& name,
                     const CountClasses& classes, int slice, int slices) {
  std::vector<std::string> shades(kShades);
  for (const HexBin& b : grid.bins) {
    shades[static_cast<std::size_t>(classes.shade(b.count))] += hex_path(b.centre, grid.radius, slice, slices);
    plot.occupy(b.centre);
  }
  SvgDocument& svg = plot.svg();
  svg.begin_layer("bins", plot.clip(), bins_attributes(name, grid.counted));
  for (int k = 0; k < kShades; ++k)
    if (!shades[static_cast<std::size_t>(k)].empty())
      svg.path(shades[static_cast<std::size_t>(k)], Paint{"", colour, 1, "", shade_opacity(k)});
  svg.end_layer();
}

void draw_value_bins(Plot& plot, const HexGrid& grid, const std::function<std::string(double mean)>& fill,
                     const std::string& stroke, const std::string& name) {
  std::vector<std::pair<std::string, std::string>> by_fill;  // fill, path data, in order of first use
  for (const HexBin& b : grid.bins) {
    const std::string f = b.valued ? fill(b.sum / static_cast<double>(b.valued)) : "#FFFFFF";
    auto it = std::find_if(by_fill.begin(), by_fill.end(), [&](const auto& p) { return p.first == f; });
    if (it == by_fill.end()) it = by_fill.insert(by_fill.end(), {f, ""});
    it->second += hex_path(b.centre, grid.radius);
    plot.occupy(b.centre);
  }
  SvgDocument& svg = plot.svg();
  svg.begin_layer("bins", plot.clip(), bins_attributes(name, grid.counted));
  for (const auto& [f, d] : by_fill) svg.path(d, Paint{stroke, f, 0.5});
  svg.end_layer();
}

std::size_t fullest_bin(const Plot& plot, const std::vector<BinnedSeries>& series) {
  std::size_t most = 0;
  for (const BinnedSeries& s : series)
    for (const HexBin& b : hex_bins(plot, s.xs, s.ys).bins) most = std::max(most, b.count);
  return most;
}

CountClasses series_bins(Plot& plot, const std::vector<BinnedSeries>& series, const MarkPlan& plan,
                         CountClasses classes) {
  if (!plan.dense) return classes;
  std::vector<HexGrid> grids;
  std::vector<std::string> colours;
  for (const BinnedSeries& s : series) {
    grids.push_back(hex_bins(plot, s.xs, s.ys));
    colours.push_back(s.colour);
    if (classes.most == 0)
      for (const HexBin& b : grids.back().bins) classes.most = std::max(classes.most, b.count);
  }
  const int slices = static_cast<int>(series.size());
  for (int k = 0; k < slices; ++k) {
    const BinnedSeries& s = series[static_cast<std::size_t>(k)];
    draw_count_bins(plot, grids[static_cast<std::size_t>(k)], s.colour, s.name, classes, k, slices);
  }
  plot.set_key(count_key(classes, colours));
  return classes;
}

void series_points(Plot& plot, const std::vector<double>& xs, const std::vector<double>& ys,
                   const SeriesStyle& style, const std::string& name, const MarkPlan& plan,
                   const std::vector<double>& scores) {
  if (!plan.dense) {
    plot.points(xs, ys, style, name);
    return;
  }
  draw_markers(plot, xs, ys, flagged_rows(xs, ys, scores, plan.per_series).rows, style, name);
}

void draw_markers(Plot& plot, const std::vector<double>& xs, const std::vector<double>& ys,
                  const std::vector<std::size_t>& rows, const SeriesStyle& style, const std::string& name) {
  // The stroke is the layer's, so that each of up to the limit's markers
  // takes few bytes; small and thin, so that they leave the curves and
  // reference lines in sight.
  SvgDocument& svg = plot.svg();
  svg.begin_layer("markers", "",
                  "data-series=\"" + xml_escape(name) + "\" stroke=\"" + style.colour + "\" stroke-width=\"0.8\"");
  const Paint inside{"", style.filled ? style.colour : ""};
  const double radius = std::min(plot.marker(), kDenseMarker);
  for (std::size_t r : rows) {
    const Point p{plot.px(xs[r]), plot.py(ys[r])};
    if (style.marker == Marker::Circle) svg.circle(p, radius, inside);
    else svg.path(marker_path(style.marker, p, radius), inside);
    plot.occupy(p);
  }
  svg.end_layer();
}

void draw_needles(Plot& plot, const std::vector<double>& xs, const std::vector<double>& ys,
                  const std::vector<std::size_t>& rows, double base, const SeriesStyle& style,
                  const std::string& name) {
  const AxisScale& y = plot.yscale();
  const double b = plot.py(std::clamp(base, y.lo, y.hi));
  std::string d;
  for (std::size_t r : rows) {
    const double x = plot.px(xs[r]), tip = plot.py(std::clamp(ys[r], y.lo, y.hi));
    d += "M" + coord(x) + "," + coord(b) + "V" + coord(tip);
    for (double p = std::min(tip, b); p < std::max(tip, b); p += 6) plot.occupy({x, p});
  }
  plot.svg().begin_layer("needles", "", "data-series=\"" + xml_escape(name) + "\"");
  if (!d.empty()) plot.svg().path(d, Paint{style.colour, "", 0.8});
  plot.svg().end_layer();
  draw_markers(plot, xs, ys, rows, style, name);
}

void needle_envelope(Plot& plot, const std::vector<double>& xs, const std::vector<double>& ys, double base,
                     const std::string& colour, const std::string& name) {
  const AxisScale& y = plot.yscale();
  const double b = std::clamp(base, y.lo, y.hi);
  std::map<long, std::pair<double, double>> columns;  // pixel column: lowest and highest value reached
  for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
    if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) continue;
    const double tip = std::clamp(ys[i], y.lo, y.hi);
    auto [it, added] = columns.try_emplace(static_cast<long>(std::floor(plot.px(xs[i]))), b, b);
    it->second = {std::min(it->second.first, tip), std::max(it->second.second, tip)};
  }
  std::string d;
  for (const auto& [column, range] : columns) {
    const double x = column + 0.5, top = plot.py(range.second), bottom = plot.py(range.first);
    d += "M" + coord(x) + "," + coord(bottom) + "V" + coord(top);
    for (double p = top; p < bottom; p += 6) plot.occupy({x, p});
  }
  plot.svg().begin_layer("needles", "", "data-series=\"" + xml_escape(name) + "\" data-envelope=\"columns\"");
  if (!d.empty()) plot.svg().path(d, Paint{colour, "", 1});
  plot.svg().end_layer();
}

void thin_outliers(BoxStatistics& box, const Plot& plot, bool horizontal) {
  std::vector<double> kept;
  long last = 0;
  std::sort(box.outliers.begin(), box.outliers.end());
  for (double v : box.outliers) {
    const long pixel = std::lround(horizontal ? plot.px(v) : plot.py(v));
    if (kept.empty() || pixel != last) kept.push_back(v);
    last = pixel;
  }
  box.outliers.swap(kept);
}

std::vector<double> studentized_scores(const GraphTable& table, const std::vector<bool>& used,
                                       const std::string& column) {
  const std::string name = column.rfind("Studentized", 0) == 0 ? column : "Studentized" + column;
  if (!table.column(name)) return {};
  return beyond_scores(kept(table.values(name), used), 2);
}

std::string count_text(std::size_t n) {
  std::string digits = std::to_string(n), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string dense_note(std::size_t n, const std::string& unit, const std::string& shown, const std::string& flagged) {
  std::string note = count_text(n) + " " + unit + " make more marks than the " + count_text(kMarkLimit) +
                     " a graph draws one by one: " + shown + ".";
  return flagged.empty() ? note : note + " " + flagged;
}

std::string flagged_text(std::size_t beyond, std::size_t drawn, const std::string& what) {
  if (beyond == 0) return "Drawn one by one: the observations " + what + "; there are none.";
  if (drawn < beyond)
    return "Drawn one by one: the " + count_text(drawn) + " farthest of the " + count_text(beyond) + " observations " +
           what + ".";
  return "Drawn one by one: the " + count_text(beyond) + (beyond == 1 ? " observation " : " observations ") + what + ".";
}

std::size_t beyond_count(const std::vector<double>& scores) {
  return static_cast<std::size_t>(std::count_if(scores.begin(), scores.end(), [](double s) { return s > 1; }));
}

namespace {
// " (raw: 4,597 in all; projected: 4,601 in all)"
std::string totals_text(const SeriesTotals& totals) {
  std::string text;
  for (const auto& [series, n] : totals) text += (text.empty() ? " (" : "; ") + series + ": " + count_text(n) + " in all";
  return text.empty() ? text : text + ")";
}
}  // namespace

std::string capped_text(std::size_t per_series, const std::string& unit, const std::string& what,
                        const SeriesTotals& totals) {
  return "Drawn one by one, at most " + count_text(per_series) + " " + unit + ", the farthest first: the observations " +
         what + totals_text(totals) + ".";
}

std::string outliers_text(std::size_t per_series, const SeriesTotals& residuals, const SeriesTotals& leverage) {
  std::string what = "with a studentized residual beyond \xC2\xB1" "2" + totals_text(residuals);
  if (!leverage.empty()) what += " or a leverage above 2p/n" + totals_text(leverage);
  return capped_text(per_series, "a series", what, {});
}

void footnote(GraphPage& page, const std::string& text) {
  const std::vector<std::string> lines = wrapped(text, page.body.w - 8, kFootnoteSize);
  const double line_h = kFootnoteSize * 1.25;
  page.body.h -= line_h * static_cast<double>(lines.size()) + 6;
  double y = page.body.y + page.body.h + 4 + cap_height(kFootnoteSize);
  page.svg.begin_layer("footnote");
  for (const std::string& line : lines) {
    page.svg.text({page.body.x + 4, y}, line, TextStyle{kFootnoteSize, Anchor::Start, FontWeight::Normal, colour::kMutedText});
    y += line_h;
  }
  page.svg.end_layer();
}

}  // namespace platform::graphs
