// Widths of text in the graphs' font, DejaVu Sans, so that labels are placed
// where they fit. Widths come from the font's unhinted advances and kerning
// pairs, carried in the program (font_metrics_table.h), in pixels for a
// given size: the same on every run and every machine, whatever fonts it
// has.
#pragma once

#include <string_view>

namespace platform::graphs {

enum class FontWeight { Normal, Bold };

// Width in pixels of `text` (UTF-8) set at `size` pixels.
double text_width(std::string_view text, double size, FontWeight weight = FontWeight::Normal);
// Height above the baseline of capital letters and below it of descenders,
// as fractions of the size.
double cap_height(double size);
double descent(double size);

// The family name written into the SVG, matching the measured font.
inline constexpr const char* kFontFamily = "DejaVu Sans, Verdana, sans-serif";

}  // namespace platform::graphs
