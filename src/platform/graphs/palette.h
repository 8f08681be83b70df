// Colours, markers and dash patterns of the graphs. The colours are Okabe
// and Ito's palette, which colour-blind readers tell apart; each series also
// differs in marker or dash so that it survives grey-scale printing.
#pragma once

#include <string>
#include <utility>

namespace platform::graphs {

namespace colour {
inline const std::string kBlack = "#000000";
inline const std::string kOrange = "#E69F00";
inline const std::string kSkyBlue = "#56B4E9";
inline const std::string kGreen = "#009E73";
inline const std::string kYellow = "#F0E442";
inline const std::string kBlue = "#0072B2";
inline const std::string kVermillion = "#D55E00";
inline const std::string kPurple = "#CC79A7";
// Frame, grid and reference lines.
inline const std::string kFrame = "#333333";
inline const std::string kGrid = "#EBEBEB";
inline const std::string kReference = "#808080";
inline const std::string kText = "#000000";
inline const std::string kMutedText = "#4D4D4D";
}  // namespace colour

enum class Marker { Circle, Triangle, Square, Diamond, Cross };

// How one series is drawn.
struct SeriesStyle {
  SeriesStyle(std::string line_colour = colour::kBlue, Marker mark = Marker::Circle, std::string dash_array = "",
              double width = 1.5, bool fill = false)
      : colour(std::move(line_colour)), marker(mark), dash(std::move(dash_array)), line_width(width), filled(fill) {}
  std::string colour = colour::kBlue;
  Marker marker = Marker::Circle;
  std::string dash;         // "" solid
  double line_width = 1.5;
  bool filled = false;      // markers filled rather than open
};

// The n-th series of a plot (0-based): blue circles, vermillion triangles,
// green squares, purple diamonds, orange crosses.
SeriesStyle series_style(int n);

// Dash patterns, told apart in grey scale.
inline const std::string kDashed = "6 4";
inline const std::string kDotted = "2 3";
inline const std::string kDashDot = "8 3 2 3";

}  // namespace platform::graphs
