#include "platform/listing/visible_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/utf8.h"

namespace platform {
namespace {

constexpr std::size_t kEscapeLength = 4;  // \xHH
constexpr char32_t kNoBreakSpace = 0xA0;

struct Range {
  char32_t first, last;
};

// The invisible characters shown escaped: the Arabic letter mark, zero-
// width spaces and joiners, direction marks, embeddings and overrides, the
// word joiner and invisible operators, isolates, the byte order mark.
constexpr Range kInvisible[] = {
    {0x061C, 0x061C}, {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064}, {0x2066, 0x2069}, {0xFEFF, 0xFEFF},
};

// Combining marks.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x20D0, 0x20FF}, {0xFE20, 0xFE2F},
};

// East Asian wide and fullwidth characters (Unicode's East_Asian_Width W
// and F, unassigned code points between them taken along): Hangul, the CJK
// blocks, kana, fullwidth forms, Tangut and Nushu, and the emoji shown as
// pictures (watches, hourglasses, weather, transport, faces and more).
// Sorted, for a binary search.
constexpr Range kDoubleWidth[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
    {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
    {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
    {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
    {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
    {0x2E80, 0xA4CF},   {0xA960, 0xA97C},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
    {0xFE30, 0xFE6B},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE3}, {0x16FF0, 0x1B2FB},
    {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F64F},
    {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2}, {0x1F6D5, 0x1F6DF}, {0x1F6EB, 0x1F6EC},
    {0x1F6F4, 0x1F6FC}, {0x1F7E0, 0x1F7F0}, {0x1F900, 0x1F9FF}, {0x1FA70, 0x1FAF6}, {0x20000, 0x3FFFD},
};

template <std::size_t N>
bool within(char32_t c, const Range (&ranges)[N]) {
  return std::any_of(ranges, ranges + N, [c](const Range& r) { return c >= r.first && c <= r.last; });
}

// The length of the leading run of printable ASCII, shown as it is at a
// column a byte. Eight bytes are looked at together: `below` has a high
// bit set when one of them is below 0x20, `above` when one is above 0x7E.
std::size_t plain_prefix(std::string_view text) {
  constexpr std::uint64_t kOnes = 0x0101010101010101, kHighBits = 0x8080808080808080;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, text.data() + i, 8);
    const std::uint64_t below = (w - kOnes * 0x20) & ~w, above = (w + kOnes) | w;
    if ((below | above) & kHighBits) break;
  }
  while (i < text.size() && static_cast<unsigned char>(text[i]) - 0x20u < 0x5Fu) ++i;
  return i;
}

// One character of the text, or the bytes of one that is shown escaped.
struct Unit {
  std::size_t start, end;  // its bytes
  bool escaped;
  char32_t c;
};

// What a use of the text escapes beyond what every use does.
enum class Extra { None, NoBreakSpace, LineBreaks };

Unit next_unit(std::string_view text, std::size_t i, Extra extra = Extra::None) {
  Unit u{i, i, false, 0};
  u.c = decode_utf8(text, u.end);
  // decode_utf8 gives U+FFFD for a byte that starts no valid character
  // and moves on by that byte alone; U+FFFD written in UTF-8 takes three.
  const bool valid = !(u.c == kReplacementChar && u.end - u.start == 1);
  u.escaped = !valid || shown_escaped(u.c) || (extra == Extra::NoBreakSpace && u.c == kNoBreakSpace) ||
              (extra == Extra::LineBreaks && (u.c == '\t' || u.c == '\n'));
  return u;
}

std::size_t columns(const Unit& u) {
  if (u.escaped) return kEscapeLength * (u.end - u.start);
  if (u.c < 0x300) return 1;  // below the first combining mark: the common case
  if (within(u.c, kZeroWidth)) return 0;
  return double_width(u.c) ? 2 : 1;
}

void append_escape(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

std::string shown_text(std::string_view text, std::size_t limit, Extra extra) {
  const std::size_t plain = plain_prefix(text);
  if (plain >= std::min(text.size(), limit)) return std::string(text.substr(0, limit));
  std::string out(text.substr(0, plain));
  out.reserve(std::min(text.size(), limit));
  for (std::size_t i = plain; i < text.size();) {
    const Unit u = next_unit(text, i, extra);
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

}  // namespace

bool shown_escaped(char32_t c) {
  if (c < 0x20) return c != '\t' && c != '\n';
  if (c < 0x7F) return false;
  if (c < 0xA0) return true;  // DEL and the C1 controls
  return c >= 0x061C && within(c, kInvisible);
}

bool double_width(char32_t c) {
  if (c < 0x1100) return false;
  const Range* r = std::upper_bound(std::begin(kDoubleWidth), std::end(kDoubleWidth), c,
                                    [](char32_t x, const Range& range) { return x < range.first; });
  return r != std::begin(kDoubleWidth) && c <= (r - 1)->last;
}

bool plain_text(std::string_view text) { return plain_prefix(text) == text.size(); }

std::string visible_text(std::string_view text, std::size_t limit) { return shown_text(text, limit, Extra::None); }

std::string quoted_value_text(std::string_view text) {
  return shown_text(text, std::string_view::npos, Extra::NoBreakSpace);
}

std::string one_line_text(std::string_view text) { return shown_text(text, std::string_view::npos, Extra::LineBreaks); }

std::size_t display_width(std::string_view text) {
  std::size_t width = plain_prefix(text);
  for (std::size_t i = width; i < text.size();) {
    const Unit u = next_unit(text, i);
    width += columns(u);
    i = u.end;
  }
  return width;
}

std::string shortened_in_middle(std::string_view text, std::size_t longest, std::size_t head, std::size_t tail) {
  if (text.size() <= longest) return std::string(text);
  auto inside = [text](std::size_t at) {
    if ((static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) return true;  // a UTF-8 continuation byte
    for (std::size_t back = 1; back <= kEscapeLength - 1 && back <= at; ++back)
      if (text[at - back] == '\\' && text[at - back + 1] == 'x') return true;
    return false;
  };
  std::size_t end = std::min(head, text.size()), start = text.size() - std::min(tail, text.size());
  while (end > 0 && end < text.size() && inside(end)) --end;
  while (start < text.size() && inside(start)) ++start;
  return std::string(text.substr(0, end)) + " ... " + std::string(text.substr(start));
}

std::string_view fit_width(std::string_view text, std::size_t width, std::size_t* columns_used) {
  // Printable ASCII takes a column a byte; past it each character is
  // measured, and a combining mark after the last column's character stays
  // with it.
  const std::size_t plain = plain_prefix(text);
  std::size_t i = std::min(plain, width), used = i;
  if (plain <= width)
    while (i < text.size()) {
      const Unit u = next_unit(text, i);
      if (used + columns(u) > width) break;
      used += columns(u);
      i = u.end;
    }
  if (columns_used) *columns_used = used;
  return text.substr(0, i);
}

}  // namespace platform
