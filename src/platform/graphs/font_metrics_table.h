// The metrics of the graphs' font, DejaVu Sans, carried in the program
// (font_metrics_table.cpp, written by tools/gen_font_metrics.py from the
// font files) so that text measures the same on every machine, whatever
// fonts it has. All values are in font units, 2048 to the em.
#pragma once

#include <cstdint>
#include <span>

#include "platform/graphs/text_metrics.h"

namespace platform::graphs {

inline constexpr double kFontUnitsPerEm = 2048;

// Every character of the table lies below U+10000.
struct Advance {
  std::uint16_t code;  // a character the face maps
  std::int16_t units;  // its unhinted advance
};

struct Kerning {
  std::uint32_t pair;  // left character << 16 | right character
  std::int16_t units;  // added to the advance between them
};

struct FaceMetrics {
  std::span<const Advance> advances;  // sorted by character
  std::span<const Kerning> kerning;   // sorted by pair
  int missing;                        // the advance of any other character
};

const FaceMetrics& dejavu_sans(FontWeight weight);

}  // namespace platform::graphs
