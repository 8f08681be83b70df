#include "platform/graphs/svg_document.h"

#include <cmath>
#include <cstdio>

#include "platform/listing/visible_text.h"
#include "platform/utf8.h"

namespace platform::graphs {

std::string coord(double v) {
  if (!std::isfinite(v)) v = 0;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  std::string s = buf;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  if (s == "-0") s = "0";
  return s;
}

std::string xml_escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t start = i;
    char32_t c = decode_utf8(text, i);
    // Bytes that are not UTF-8 become U+FFFD, as in the JSON output; so
    // do U+FFFE and U+FFFF, which XML 1.0 does not allow.
    if (c == 0xFFFE || c == 0xFFFF) c = kReplacementChar;
    if (shown_escaped(c)) {
      out += visible_text(text.substr(start, i - start));
      continue;
    }
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: append_utf8(out, c);
    }
  }
  return out;
}

SvgDocument::SvgDocument(double width, double height, std::string id, std::string title)
    : width_(width), height_(height), id_(std::move(id)), title_(std::move(title)) {}

std::string SvgDocument::paint_attributes(const Paint& p) const {
  std::string a = " fill=\"" + (p.fill.empty() ? std::string("none") : p.fill) + "\"";
  if (!p.fill.empty() && p.fill_opacity < 1) a += " fill-opacity=\"" + coord(p.fill_opacity) + "\"";
  if (!p.stroke.empty()) {
    a += " stroke=\"" + p.stroke + "\" stroke-width=\"" + coord(p.width) + "\"";
    if (!p.dash.empty()) a += " stroke-dasharray=\"" + p.dash + "\"";
  }
  return a;
}

void SvgDocument::rect(double x, double y, double w, double h, const Paint& paint) {
  body_ += "<rect x=\"" + coord(x) + "\" y=\"" + coord(y) + "\" width=\"" + coord(w) + "\" height=\"" + coord(h) +
           "\"" + paint_attributes(paint) + "/>\n";
}

void SvgDocument::line(Point a, Point b, const Paint& paint) {
  body_ += "<line x1=\"" + coord(a.x) + "\" y1=\"" + coord(a.y) + "\" x2=\"" + coord(b.x) + "\" y2=\"" +
           coord(b.y) + "\"" + paint_attributes(paint) + "/>\n";
}

namespace {
std::string point_list(const std::vector<Point>& points) {
  std::string s;
  for (const Point& p : points) {
    if (!s.empty()) s += ' ';
    s += coord(p.x) + "," + coord(p.y);
  }
  return s;
}
}  // namespace

void SvgDocument::polyline(const std::vector<Point>& points, const Paint& paint) {
  if (points.size() < 2) return;
  body_ += "<polyline points=\"" + point_list(points) + "\"" + paint_attributes(paint) +
           " stroke-linejoin=\"round\"/>\n";
}

void SvgDocument::polygon(const std::vector<Point>& points, const Paint& paint) {
  if (points.size() < 3) return;
  body_ += "<polygon points=\"" + point_list(points) + "\"" + paint_attributes(paint) + "/>\n";
}

void SvgDocument::circle(Point c, double r, const Paint& paint) {
  body_ += "<circle cx=\"" + coord(c.x) + "\" cy=\"" + coord(c.y) + "\" r=\"" + coord(r) + "\"" +
           paint_attributes(paint) + "/>\n";
}

void SvgDocument::path(const std::string& data, const Paint& paint) {
  body_ += "<path d=\"" + data + "\"" + paint_attributes(paint) + "/>\n";
}

void SvgDocument::text(Point at, std::string_view content, const TextStyle& s) {
  if (content.empty()) return;
  static const char* const anchors[] = {"start", "middle", "end"};
  std::string t = "<text x=\"" + coord(at.x) + "\" y=\"" + coord(at.y) + "\" font-size=\"" + coord(s.size) + "\"";
  if (s.anchor != Anchor::Start) t += std::string(" text-anchor=\"") + anchors[static_cast<int>(s.anchor)] + "\"";
  if (s.weight == FontWeight::Bold) t += " font-weight=\"bold\"";
  if (s.colour != "#000000") t += " fill=\"" + s.colour + "\"";
  if (s.rotate != 0)
    t += " transform=\"rotate(" + coord(s.rotate) + " " + coord(at.x) + " " + coord(at.y) + ")\"";
  body_ += t + ">" + xml_escape(content) + "</text>\n";
}

std::string SvgDocument::define_clip(double x, double y, double w, double h) {
  const std::string id = id_ + "-clip" + std::to_string(++clips_);
  defs_ += "<clipPath id=\"" + id + "\"><rect x=\"" + coord(x) + "\" y=\"" + coord(y) + "\" width=\"" + coord(w) +
           "\" height=\"" + coord(h) + "\"/></clipPath>\n";
  return id;
}

void SvgDocument::begin_layer(std::string_view cls, const std::string& clip, const std::string& attributes) {
  std::string g = "<g class=\"" + xml_escape(cls) + "\"";
  if (!clip.empty()) g += " clip-path=\"url(#" + clip + ")\"";
  if (!attributes.empty()) g += " " + attributes;
  body_ += g + ">\n";
}

void SvgDocument::end_layer() { body_ += "</g>\n"; }

std::string SvgDocument::str() const {
  std::string s = "<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"" + xml_escape(id_) + "\" width=\"" +
                  coord(width_) + "\" height=\"" + coord(height_) + "\" viewBox=\"0 0 " + coord(width_) + " " +
                  coord(height_) + "\" font-family=\"" + kFontFamily + "\" role=\"img\" aria-labelledby=\"" +
                  xml_escape(id_) + "-title\">\n";
  s += "<title id=\"" + xml_escape(id_) + "-title\">" + xml_escape(title_) + "</title>\n";
  if (!defs_.empty()) s += "<defs>\n" + defs_ + "</defs>\n";
  s += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  s += body_;
  s += "</svg>\n";
  return s;
}

}  // namespace platform::graphs
