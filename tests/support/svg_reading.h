// Readers of the graphs' SVG for tests: a layer (a group with a class), the
// axes' ranges with their ends in pixels, the vertices of a polygon.
#pragma once

#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

// The values at the pixel ends p0 and p1 of an axis.
struct AxisRange {
  double lo = 0, hi = 0, p0 = 0, p1 = 0;
  double value(double px) const { return lo + (px - p0) / (p1 - p0) * (hi - lo); }
};

// The first (or nth) layer <g class="cls" ...> (with data-series="series"
// when given) up to its own closing tag.
inline std::string layer(const std::string& svg, const std::string& cls, const std::string& series = "", int nth = 0) {
  std::string start = "<g class=\"" + cls + "\"";
  std::size_t at = 0;
  for (int found = -1;;) {
    at = svg.find(start, at);
    if (at == std::string::npos) return {};
    const std::string head = svg.substr(at, svg.find('>', at) - at);
    if (series.empty() || head.find("data-series=\"" + series + "\"") != std::string::npos)
      if (++found == nth) break;
    ++at;
  }
  // Up to the closing tag that matches, counting nested groups.
  int depth = 0;
  for (std::size_t i = at; i < svg.size(); ++i) {
    if (svg.compare(i, 2, "<g") == 0) ++depth;
    if (svg.compare(i, 4, "</g>") == 0 && --depth == 0) return svg.substr(at, i + 4 - at);
  }
  return svg.substr(at);
}

inline int occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

inline AxisRange axis(const std::string& svg, const std::string& cls, int nth = 0) {
  static const std::regex attrs(R"re(data-lo="([^"]+)" data-hi="([^"]+)" data-px="([^ ]+) ([^"]+)")re");
  const std::string g = layer(svg, cls, "", nth);
  std::smatch m;
  AxisRange a;
  if (std::regex_search(g, m, attrs))
    a = {std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4])};
  return a;
}

inline std::vector<std::pair<double, double>> vertices(const std::string& text, const std::string& element = "polygon") {
  std::vector<std::pair<double, double>> points;
  const std::string start = "<" + element + " points=\"";
  const auto at = text.find(start);
  if (at == std::string::npos) return points;
  const auto from = at + start.size();
  std::istringstream in(text.substr(from, text.find('"', from) - from));
  std::string pair;
  while (in >> pair) {
    const auto comma = pair.find(',');
    points.emplace_back(std::stod(pair.substr(0, comma)), std::stod(pair.substr(comma + 1)));
  }
  return points;
}
