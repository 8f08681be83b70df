#include "platform/graphs/graph_page.h"

#include <algorithm>
#include <cmath>

#include "platform/graphs/axis_scale.h"

namespace platform::graphs {

std::string graph_title(const GraphRequest& request) {
  std::string t = request.text("_TITLE");
  return t.empty() ? request.label : t;
}

namespace {

// A title too wide for one line, broken at the last blank that lets the
// first line fit; only what the second line cannot hold is cut.
std::vector<std::string> title_lines(const std::string& title, double width) {
  if (text_width(title, kTitleSize, FontWeight::Bold) <= width) return {title};
  std::size_t cut = std::string::npos;
  for (std::size_t at = title.find(' '); at != std::string::npos; at = title.find(' ', at + 1)) {
    if (text_width(std::string_view(title).substr(0, at), kTitleSize, FontWeight::Bold) > width) break;
    cut = at;
  }
  if (cut == std::string::npos) return {fit_text(title, width, kTitleSize, FontWeight::Bold)};
  return {title.substr(0, cut), fit_text(title.substr(cut + 1), width, kTitleSize, FontWeight::Bold)};
}

}  // namespace

GraphPage::GraphPage(const GraphRequest& request, double width, double height, const std::string& subtitle)
    : svg(width, height, request.id, graph_title(request).empty() ? request.name : graph_title(request)) {
  double y = 8;
  const std::string title = graph_title(request);
  for (const std::string& line : title.empty() ? std::vector<std::string>{} : title_lines(title, width - 16)) {
    y += cap_height(kTitleSize);
    svg.text({width / 2, y}, line, TextStyle{kTitleSize, Anchor::Middle, FontWeight::Bold});
    y += descent(kTitleSize) + 4;
  }
  if (!subtitle.empty()) {
    y += cap_height(11) + 2;
    svg.text({width / 2, y}, fit_text(subtitle, width - 16, 11), TextStyle{11, Anchor::Middle});
    y += descent(11) + 2;
  }
  body = {4, y + 4, width - 8, height - y - 8};
}

double graph_width(const InsetLines& inset, bool outside) {
  return kGraphWidth + (!inset.empty() && (outside || inset_beside(inset)) ? inset_width(inset, 10) + 8 : 0);
}

double graph_height(const GraphRequest& request, double fallback) {
  const double h = request.number("_HEIGHT");
  return std::isfinite(h) && h >= 200 && h <= 2000 ? h : fallback;
}

void draw_note(SvgDocument& svg, const Box& box, const std::string& text) {
  svg.rect(box.x, box.y, box.w, box.h, Paint{colour::kGrid, "", 1});
  svg.text({box.x + box.w / 2, box.y + box.h / 2}, fit_text(text, box.w - 8, 11),
           TextStyle{11, Anchor::Middle, FontWeight::Normal, colour::kMutedText});
}

InsetLines inset_statistics(const GraphRequest& r) {
  InsetLines lines;
  if (!r.flag("_SHOWSTATS")) return lines;
  auto add = [&](const char* show, const char* label, const char* value, bool integer) {
    if (!r.flag(show)) return;
    const double v = r.number(value);
    lines.emplace_back(label, integer && std::isfinite(v) ? std::to_string(std::llround(v)) : format_value(v, 4));
  };
  add("_SHOWNOBS", "Observations", "_NOBS", true);
  add("_SHOWNPARM", "Parameters", "_NPARM", true);
  add("_SHOWMSE", "MSE", "_MSE", false);
  add("_SHOWVAR", "Residual variance", "_VAR", false);
  add("_SHOWPVAR", "Projected variance", "_PVAR", false);
  add("_SHOWMAXIN", "Max. intrinsic curv.", "_MAXIN", false);
  add("_SHOWMAXPE", "Max. param.-effects curv.", "_MAXPE", false);
  add("_SHOWCURVCRIT", "Critical curvature", "_CURVCRIT", false);
  add("_SHOWRMSIN", "RMS intrinsic curv.", "_RMSIN", false);
  add("_SHOWRMSPE", "RMS param.-effects curv.", "_RMSPE", false);
  return lines;
}

std::vector<bool> used_rows(const GraphTable& table) {
  std::vector<bool> used(table.rows, true);
  if (const auto* w = table.column("Weight"))
    for (std::size_t i = 0; i < table.rows; ++i) used[i] = std::isfinite((*w)[i]) && (*w)[i] > 0;
  return used;
}

std::vector<bool> fitted_rows(const GraphTable& table) {
  std::vector<bool> used = used_rows(table);
  if (const auto* e = table.column("Residual"))
    for (std::size_t i = 0; i < table.rows; ++i) used[i] = used[i] && std::isfinite((*e)[i]);
  return used;
}

std::size_t used_count(const std::vector<bool>& used) {
  return static_cast<std::size_t>(std::count(used.begin(), used.end(), true));
}

std::vector<double> kept(const std::vector<double>& values, const std::vector<bool>& keep) {
  std::vector<double> out(values.size(), kNaN);
  for (std::size_t i = 0; i < values.size() && i < keep.size(); ++i)
    if (keep[i]) out[i] = values[i];
  return out;
}

AxisSpec axis_over(std::string title, std::initializer_list<const std::vector<double>*> series, Extend extend) {
  AxisSpec a;
  a.title = std::move(title);
  a.extend = extend;
  for (const auto* s : series) {
    if (!s) continue;
    for (double v : *s) include(a, v);
  }
  return a;
}

void include(AxisSpec& axis, double v) {
  if (!std::isfinite(v)) return;
  axis.lo = std::isfinite(axis.lo) ? std::min(axis.lo, v) : v;
  axis.hi = std::isfinite(axis.hi) ? std::max(axis.hi, v) : v;
}

Paint reference_paint(bool dashed) { return Paint{colour::kReference, "", 1, dashed ? "4 3" : ""}; }

}  // namespace platform::graphs
