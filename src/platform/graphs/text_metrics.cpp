#include "platform/graphs/text_metrics.h"

#include <algorithm>

#include "platform/graphs/font_metrics_table.h"
#include "platform/listing/visible_text.h"
#include "platform/utf8.h"

namespace platform::graphs {
namespace {

constexpr long kWideUnits = 2048;  // a full em

// The advance of `c` in the face, null when the table lacks it.
const Advance* find_advance(const FaceMetrics& face, char32_t c) {
  const auto it = std::lower_bound(face.advances.begin(), face.advances.end(), c,
                                   [](const Advance& a, char32_t code) { return char32_t{a.code} < code; });
  return it != face.advances.end() && char32_t{it->code} == c ? &*it : nullptr;
}

int kerning(const FaceMetrics& face, char32_t left, char32_t right) {
  const std::uint32_t key = static_cast<std::uint32_t>(left) << 16 | static_cast<std::uint32_t>(right);
  const auto it = std::lower_bound(face.kerning.begin(), face.kerning.end(), key,
                                   [](const Kerning& k, std::uint32_t pair) { return k.pair < pair; });
  return it != face.kerning.end() && it->pair == key ? it->units : 0;
}

}  // namespace

// A character outside the table takes no kerning on either side. An East
// Asian wide or fullwidth character or an emoji (two columns in the
// listing) shows a full em wide in any font that has it, so it measures
// 1 em; any other (one the face lacks, or of a script the graphs do not
// expect) takes the advance of the face's missing-glyph box, 1229 units
// (0.6 em): the width that measuring with the font file gave it.
double text_width(std::string_view text, double size, FontWeight weight) {
  const FaceMetrics& face = dejavu_sans(weight);
  long total = 0;
  char32_t previous = 0;  // 0: no kerning with the character after
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = decode_utf8(text, i);
    const Advance* a = find_advance(face, c);
    if (previous && a) total += kerning(face, previous, c);
    total += a ? a->units : double_width(c) ? kWideUnits : face.missing;
    previous = a ? c : 0;
  }
  return size * (static_cast<double>(total) / kFontUnitsPerEm);
}

// DejaVu Sans: capitals 1493 and descenders 483 font units of 2048.
double cap_height(double size) { return size * 0.729; }
double descent(double size) { return size * 0.236; }

}  // namespace platform::graphs
