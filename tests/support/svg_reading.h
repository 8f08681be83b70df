// Readers of the graphs' SVG for tests: a layer (a group with a class), the
// axes' ranges with their ends in pixels, the vertices of a polygon.
#pragma once

#include <cmath>
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

// The value of attribute `name` in an element's text, NaN when absent.
inline double attribute(const std::string& element, const std::string& name) {
  const std::string key = " " + name + "=\"";
  const auto at = element.find(key);
  return at == std::string::npos ? std::nan("") : std::stod(element.substr(at + key.size()));
}

// The elements <tag .../> (or <tag ...>...</tag>) of a text, in order.
inline std::vector<std::string> elements(const std::string& text, const std::string& tag) {
  std::vector<std::string> out;
  const std::string start = "<" + tag + " ";
  for (auto at = text.find(start); at != std::string::npos; at = text.find(start, at + 1))
    out.push_back(text.substr(at, text.find('>', at) - at + 1));
  return out;
}

// The centre of each marker of a layer, in pixels: a circle's centre, or
// the mean of a marker path's vertices (triangle, square, diamond, plus
// and cross are all symmetric about their centre).
inline std::vector<std::pair<double, double>> marker_centres(const std::string& layer_text) {
  std::vector<std::pair<double, double>> out;
  for (const std::string& c : elements(layer_text, "circle")) out.emplace_back(attribute(c, "cx"), attribute(c, "cy"));
  static const std::regex step(R"(([MLHV])([-0-9.]+)(?:,([-0-9.]+))?)");
  for (const std::string& p : elements(layer_text, "path")) {
    const std::string d = p.substr(p.find("d=\"") + 3, p.find('"', p.find("d=\"") + 3) - p.find("d=\"") - 3);
    double x = 0, y = 0, sx = 0, sy = 0;
    int n = 0;
    for (std::sregex_iterator it(d.begin(), d.end(), step), end; it != end; ++it, ++n) {
      const char c = (*it)[1].str()[0];
      if (c == 'H') x = std::stod((*it)[2]);
      else if (c == 'V') y = std::stod((*it)[2]);
      else x = std::stod((*it)[2]), y = std::stod((*it)[3]);
      sx += x, sy += y;
    }
    if (n) out.emplace_back(sx / n, sy / n);
  }
  return out;
}
