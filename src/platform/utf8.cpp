#include "platform/utf8.h"

namespace platform {
namespace {

bool valid_scalar(char32_t c) { return c < 0x110000 && (c < 0xD800 || c > 0xDFFF); }

}  // namespace

void append_utf8(std::string& out, char32_t c) {
  if (!valid_scalar(c)) c = kReplacementChar;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

char32_t decode_utf8(std::string_view text, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  const int extra = lead >= 0xF0 && lead <= 0xF4 ? 3
                    : lead >= 0xE0 && lead < 0xF0 ? 2
                    : lead >= 0xC2 && lead < 0xE0 ? 1
                                                  : -1;
  if (extra < 0 || i + static_cast<std::size_t>(extra) >= text.size()) {
    ++i;
    return kReplacementChar;
  }
  char32_t c = lead & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return kReplacementChar;
    }
    c = (c << 6) | (b & 0x3F);
  }
  static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};  // no overlong forms
  if (c < kMinimum[extra] || !valid_scalar(c)) {
    ++i;
    return kReplacementChar;
  }
  i += static_cast<std::size_t>(extra) + 1;
  return c;
}

std::string to_utf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) append_utf8(out, c);
  return out;
}

std::string to_utf8(const QXChar* text, QXStrSize length) {
  return to_utf8(wide_view(text, length));
}

std::u32string from_utf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) out += decode_utf8(text, i);
  return out;
}

QXStrSize wide_length(const QXChar* text) {
  if (!text) return 0;
  QXStrSize n = 0;
  while (text[n] != 0) ++n;
  return n;
}

std::u32string_view wide_view(const QXChar* text, QXStrSize length) {
  if (!text) return {};
  if (length < 1) length = wide_length(text);
  return {reinterpret_cast<const char32_t*>(text), static_cast<std::size_t>(length)};
}

}  // namespace platform
