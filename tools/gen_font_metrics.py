#!/usr/bin/env python3
"""Writes src/platform/graphs/font_metrics_table.cpp: DejaVu Sans' metrics.

The graphs measure their text with these numbers instead of a font file, so
that a picture comes out the same on every machine. For each face (regular
and bold) the table holds, in font units:

  * the advance of every character of BLOCKS that the face maps, as the
    face's hmtx table gives it (the unhinted advance);
  * the face's kerning pairs (its 'kern' table, format 0, the values added
    up over the subtables) between those characters;
  * the advance of the missing-glyph box, which a character outside the
    table takes (but for an East Asian wide or fullwidth character or an
    emoji, which measures a full em).

Characters the face does not map are left out: they measure as the missing
glyph, as they did when the font file was read. The values are the font's
own, so the table changes only with the font.

Needs fontTools (Debian: python3-fonttools) and the font files (Debian:
fonts-dejavu-core); only to regenerate the table, not to build.

Usage: tools/gen_font_metrics.py [FONT_DIR [OUTPUT]]
  (defaults /usr/share/fonts/truetype/dejavu and
   src/platform/graphs/font_metrics_table.cpp)
"""

import os
import sys

from fontTools.ttLib import TTFont

FACES = [("Regular", "DejaVuSans.ttf"), ("Bold", "DejaVuSans-Bold.ttf")]

# The characters the graphs can show from data, labels and their own text:
# Latin with its accents, phonetic letters and spacing accents, Greek,
# Cyrillic, and the punctuation, symbols and shapes of statistics, units and
# tables (check marks, sex symbols, ligatures copied from documents). The
# font's other scripts and symbols measure as the missing glyph, or a full
# em when wide.
BLOCKS = [
    (0x0000, 0x007F, "Basic Latin"),
    (0x0080, 0x00FF, "Latin-1 Supplement"),
    (0x0100, 0x017F, "Latin Extended-A"),
    (0x0180, 0x024F, "Latin Extended-B"),
    (0x0250, 0x02AF, "IPA Extensions"),
    (0x02B0, 0x02FF, "Spacing Modifier Letters"),
    (0x0300, 0x036F, "Combining Diacritical Marks"),
    (0x0370, 0x03FF, "Greek and Coptic"),
    (0x0400, 0x04FF, "Cyrillic"),
    (0x1E00, 0x1EFF, "Latin Extended Additional"),
    (0x2000, 0x206F, "General Punctuation"),
    (0x2070, 0x209F, "Superscripts and Subscripts"),
    (0x20A0, 0x20CF, "Currency Symbols"),
    (0x2100, 0x214F, "Letterlike Symbols"),
    (0x2150, 0x218F, "Number Forms"),
    (0x2190, 0x21FF, "Arrows"),
    (0x2200, 0x22FF, "Mathematical Operators"),
    (0x2300, 0x23FF, "Miscellaneous Technical"),
    (0x25A0, 0x25FF, "Geometric Shapes"),
    (0x2600, 0x26FF, "Miscellaneous Symbols"),
    (0x2700, 0x27BF, "Dingbats"),
    (0xFB00, 0xFB06, "Latin ligatures"),
    (0xFFFD, 0xFFFD, "the replacement character"),
]


def face_metrics(path):
    font = TTFont(path)
    cmap = font.getBestCmap()
    hmtx = font["hmtx"]
    chars = [c for lo, hi, _ in BLOCKS for c in range(lo, hi + 1) if c in cmap]
    advances = {c: hmtx[cmap[c]][0] for c in chars}
    glyph_pairs = {}
    for table in font["kern"].kernTables if "kern" in font else []:
        # Horizontal kerning of format 0 that is not a minimum, as FreeType
        # reads it; an override bit (8) replaces the sum of those before.
        if table.format != 0 or (table.coverage & 0x03) != 0x01:
            continue
        for pair, value in table.kernTable.items():
            glyph_pairs[pair] = (value if table.coverage & 0x08 else glyph_pairs.get(pair, 0) + value)
    by_glyph = {}
    for c in chars:
        by_glyph.setdefault(cmap[c], []).append(c)
    pairs = {}
    for (left, right), value in glyph_pairs.items():
        if value == 0:
            continue
        for a in by_glyph.get(left, []):
            for b in by_glyph.get(right, []):
                pairs[(a, b)] = value
    missing = hmtx[font.getGlyphOrder()[0]][0]
    version = font["name"].getDebugName(5)
    return font["head"].unitsPerEm, missing, advances, pairs, version


def rows(items, per_line):
    out = []
    for i in range(0, len(items), per_line):
        out.append("    " + " ".join(items[i:i + per_line]))
    return "\n".join(out)


def render(font_dir):
    parts, notes = [], []
    for name, file in FACES:
        units, missing, advances, pairs, version = face_metrics(os.path.join(font_dir, file))
        assert units == 2048, (file, units)
        assert all(c < 0x10000 for c in advances), "characters are 16-bit in the table"
        notes.append(f"// {name}: {len(advances)} characters, {len(pairs)} kerning pairs "
                     f"(DejaVu Sans {version}).")
        adv = [f"{{0x{c:04X}, {a}}}," for c, a in sorted(advances.items())]
        kern = [f"{{0x{a:04X}{b:04X}, {v}}}," for (a, b), v in sorted(pairs.items())]
        parts.append(f"""\
constexpr Advance k{name}Advances[] = {{
{rows(adv, 6)}
}};
constexpr Kerning k{name}Kerning[] = {{
{rows(kern, 5)}
}};
static_assert(std::is_sorted(std::begin(k{name}Advances), std::end(k{name}Advances), by_code));
static_assert(std::is_sorted(std::begin(k{name}Kerning), std::end(k{name}Kerning), by_pair));
""")
        notes.append(f"constexpr int k{name}Missing = {missing};")
    body = "\n".join(parts)
    regular_missing, bold_missing = notes[1], notes[3]
    return f"""\
// DejaVu Sans' advances and kerning pairs in font units (2048 to the em).
// Generated by tools/gen_font_metrics.py from the font files; do not edit
// by hand.
{notes[0]}
{notes[2]}
#include "platform/graphs/font_metrics_table.h"

#include <algorithm>
#include <iterator>

namespace platform::graphs {{
namespace {{

constexpr bool by_code(const Advance& a, const Advance& b) {{ return a.code < b.code; }}
constexpr bool by_pair(const Kerning& a, const Kerning& b) {{ return a.pair < b.pair; }}

{body}
// The advance of the face's missing-glyph box.
{regular_missing}
{bold_missing}

}}  // namespace

const FaceMetrics& dejavu_sans(FontWeight weight) {{
  static constexpr FaceMetrics regular{{kRegularAdvances, kRegularKerning, kRegularMissing}};
  static constexpr FaceMetrics bold{{kBoldAdvances, kBoldKerning, kBoldMissing}};
  return weight == FontWeight::Bold ? bold : regular;
}}

}}  // namespace platform::graphs
"""


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    font_dir = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/fonts/truetype/dejavu"
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(root, "src/platform/graphs/font_metrics_table.cpp")
    with open(out, "w", encoding="utf-8") as f:
        f.write(render(font_dir))


if __name__ == "__main__":
    main()
