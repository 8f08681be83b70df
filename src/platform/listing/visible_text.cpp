#include "platform/listing/visible_text.h"

#include <algorithm>

#include "platform/utf8.h"

namespace platform {
namespace {

constexpr std::size_t kEscapeLength = 4;  // \xHH

struct Range {
  char32_t first, last;
};

// Combining marks, then the zero-width space, joiners, direction marks,
// word joiner and invisible operators, and the byte order mark.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x20D0, 0x20FF}, {0xFE20, 0xFE2F},
    {0x200B, 0x200F}, {0x2060, 0x2064}, {0xFEFF, 0xFEFF},
};

// Hangul Jamo and syllables, the CJK blocks, fullwidth forms, emoji.
constexpr Range kDoubleWidth[] = {
    {0x1100, 0x115F}, {0x2E80, 0xA4CF},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE30, 0xFE4F},
    {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD},
};

template <std::size_t N>
bool within(char32_t c, const Range (&ranges)[N]) {
  return std::any_of(ranges, ranges + N, [c](const Range& r) { return c >= r.first && c <= r.last; });
}

bool shown_as_is(char32_t c) { return c == '\t' || c == '\n' || (c >= 0x20 && c < 0x7F) || c >= 0xA0; }

// One character of the text, or the bytes of one that is shown escaped.
struct Unit {
  std::size_t start, end;  // its bytes
  bool escaped;
  char32_t c;
};

Unit next_unit(std::string_view text, std::size_t i) {
  Unit u{i, i, false, 0};
  u.c = decode_utf8(text, u.end);
  // decode_utf8 gives U+FFFD for a byte that starts no valid character
  // and moves on by that byte alone; U+FFFD written in UTF-8 takes three.
  const bool valid = !(u.c == kReplacementChar && u.end - u.start == 1);
  u.escaped = !valid || !shown_as_is(u.c);
  return u;
}

std::size_t columns(const Unit& u) {
  if (u.escaped) return kEscapeLength * (u.end - u.start);
  if (u.c < 0x300) return 1;  // below the first combining mark: the common case
  if (within(u.c, kZeroWidth)) return 0;
  return within(u.c, kDoubleWidth) ? 2 : 1;
}

void append_escape(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

}  // namespace

std::string visible_text(std::string_view text, std::size_t limit) {
  std::string out;
  out.reserve(std::min(text.size(), limit));
  for (std::size_t i = 0; i < text.size();) {
    const Unit u = next_unit(text, i);
    const std::size_t bytes = u.end - u.start;
    i = u.end;
    if (!u.escaped) {
      if (out.size() + bytes > limit) break;
      out.append(text, u.start, bytes);
      continue;
    }
    if (out.size() + kEscapeLength * bytes > limit) break;
    for (std::size_t k = u.start; k < u.end; ++k) append_escape(out, static_cast<unsigned char>(text[k]));
  }
  return out;
}

std::size_t display_width(std::string_view text) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < text.size();) {
    const Unit u = next_unit(text, i);
    width += columns(u);
    i = u.end;
  }
  return width;
}

std::string_view fit_width(std::string_view text, std::size_t width) {
  std::size_t used = 0, i = 0;
  while (i < text.size()) {
    const Unit u = next_unit(text, i);
    used += columns(u);
    if (used > width) break;
    i = u.end;
  }
  return text.substr(0, i);
}

}  // namespace platform
