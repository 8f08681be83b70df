// An SVG picture written as text: shapes, paths and text elements with
// coordinates in fixed two-decimal form, ids made from one prefix, so the
// same drawing always gives the same bytes. Text stays text, in the font
// whose widths text_metrics.h measures.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/graphs/text_metrics.h"

namespace platform::graphs {

struct Point {
  double x = 0, y = 0;
};

// How a shape is painted; empty colours paint nothing.
struct Paint {
  Paint(std::string stroke_colour = "", std::string fill_colour = "", double line_width = 1,
        std::string dash_array = "", double opacity = 1)
      : stroke(std::move(stroke_colour)), fill(std::move(fill_colour)), width(line_width),
        dash(std::move(dash_array)), fill_opacity(opacity) {}
  std::string stroke;
  std::string fill;
  double width = 1;
  std::string dash;          // an SVG dash array, "" for solid
  double fill_opacity = 1;   // below 1 written as fill-opacity
};

enum class Anchor { Start, Middle, End };

struct TextStyle {
  TextStyle(double font_size = 11, Anchor text_anchor = Anchor::Start, FontWeight font_weight = FontWeight::Normal,
            std::string text_colour = "#000000")
      : size(font_size), anchor(text_anchor), weight(font_weight), colour(std::move(text_colour)) {}
  double size = 11;
  Anchor anchor = Anchor::Start;
  FontWeight weight = FontWeight::Normal;
  std::string colour = "#000000";
  double rotate = 0;  // degrees about the text's anchor point
};

class SvgDocument {
 public:
  // `id` names the picture; element ids are derived from it.
  SvgDocument(double width, double height, std::string id, std::string title);

  double width() const { return width_; }
  double height() const { return height_; }

  void rect(double x, double y, double w, double h, const Paint& paint);
  void line(Point a, Point b, const Paint& paint);
  void polyline(const std::vector<Point>& points, const Paint& paint);
  // A closed polygon (a band, a box).
  void polygon(const std::vector<Point>& points, const Paint& paint);
  void circle(Point centre, double r, const Paint& paint);
  // A path with its data already written (markers other than circles).
  void path(const std::string& data, const Paint& paint);
  void text(Point at, std::string_view content, const TextStyle& style);

  // A clipping rectangle; returns its id for begin_layer.
  std::string define_clip(double x, double y, double w, double h);
  // A group of elements with a class (and a clip when `clip` is not empty)
  // and further attributes written as given; end_layer() closes it.
  void begin_layer(std::string_view cls, const std::string& clip = "", const std::string& attributes = "");
  void end_layer();

  // The finished document.
  std::string str() const;

 private:
  std::string paint_attributes(const Paint& paint) const;

  double width_, height_;
  std::string id_, title_;
  std::string defs_, body_;
  int clips_ = 0;
};

// A number in SVG coordinates: two decimals, no trailing zeros, no "-0".
std::string coord(double v);
// Text with the XML special characters escaped and made well-formed XML
// 1.0 in valid UTF-8, whatever the bytes: control characters and invisible
// ones are shown as \xHH, as the listing shows them (visible_text.h); bytes
// that are not UTF-8, U+FFFE and U+FFFF become U+FFFD. SVG and HTML text
// alike go through it.
std::string xml_escape(std::string_view text);

}  // namespace platform::graphs
