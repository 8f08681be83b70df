#include "platform/listing/visible_text.h"

#include <algorithm>

#include "platform/utf8.h"

namespace platform {
namespace {

constexpr std::size_t kEscapeLength = 4;  // \xHH

bool shown_as_is(char32_t c) { return c == '\t' || c == '\n' || (c >= 0x20 && c < 0x7F) || c >= 0xA0; }

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
    const std::size_t start = i;
    const char32_t c = decode_utf8(text, i);
    const std::size_t bytes = i - start;
    // decode_utf8 gives U+FFFD for a byte that starts no valid character
    // and moves on by that byte alone; U+FFFD written in UTF-8 takes three.
    const bool valid = !(c == kReplacementChar && bytes == 1);
    if (valid && shown_as_is(c)) {
      if (out.size() + bytes > limit) break;
      out.append(text, start, bytes);
      continue;
    }
    if (out.size() + kEscapeLength * bytes > limit) break;
    for (std::size_t k = start; k < i; ++k) append_escape(out, static_cast<unsigned char>(text[k]));
  }
  return out;
}

}  // namespace platform
