#include "platform/listing/wide_format.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/utf8.h"

namespace platform {

std::intmax_t VaFormatArgs::signed_int(char length) {
  switch (length) {
    case 'l': return va_arg(args_, long);
    case 'q': return va_arg(args_, long long);
    case 'j': return va_arg(args_, std::intmax_t);
    case 'z': return va_arg(args_, std::ptrdiff_t);  // the signed size_t
    case 't': return va_arg(args_, std::ptrdiff_t);
    default: return va_arg(args_, int);
  }
}

std::uintmax_t VaFormatArgs::unsigned_int(char length) {
  switch (length) {
    case 'l': return va_arg(args_, unsigned long);
    case 'q': return va_arg(args_, unsigned long long);
    case 'j': return va_arg(args_, std::uintmax_t);
    case 'z': return va_arg(args_, std::size_t);
    case 't': return static_cast<std::uintmax_t>(va_arg(args_, std::ptrdiff_t));
    default: return va_arg(args_, unsigned int);
  }
}

long double VaFormatArgs::real(bool long_double) {
  return long_double ? va_arg(args_, long double) : va_arg(args_, double);
}

const void* VaFormatArgs::pointer() { return va_arg(args_, const void*); }

namespace {

// One directive: %[flags][width][.precision][length]conversion.
struct Directive {
  std::string flags;
  int width = -1;
  int precision = -1;
  char length = 0;
  char32_t conversion = 0;
};

bool is_digit(char32_t c) { return c >= '0' && c <= '9'; }

int read_number(std::u32string_view f, std::size_t& i) {
  long n = 0;
  while (i < f.size() && is_digit(f[i])) {
    if (n < 100000) n = n * 10 + static_cast<long>(f[i] - '0');
    ++i;
  }
  return static_cast<int>(n);
}

char read_length(std::u32string_view f, std::size_t& i) {
  if (i >= f.size()) return 0;
  const char32_t c = f[i];
  const bool doubled = i + 1 < f.size() && f[i + 1] == c;
  if (c == 'h') return i += doubled ? 2 : 1, doubled ? 'H' : 'h';
  if (c == 'l') return i += doubled ? 2 : 1, doubled ? 'q' : 'l';
  if (c == 'j' || c == 'z' || c == 't' || c == 'L' || c == 'q') return ++i, static_cast<char>(c);
  return 0;
}

// Parses the directive after '%' at f[i]; false when the format ends first.
bool parse(std::u32string_view f, std::size_t& i, FormatArgs& args, Directive& d) {
  while (i < f.size() && (f[i] == '-' || f[i] == '+' || f[i] == ' ' || f[i] == '#' || f[i] == '0'))
    d.flags += static_cast<char>(f[i++]);
  if (i < f.size() && f[i] == '*') {
    ++i;
    d.width = static_cast<int>(args.signed_int(0));
    if (d.width < 0) d.flags += '-', d.width = -d.width;
  } else if (i < f.size() && is_digit(f[i])) {
    d.width = read_number(f, i);
  }
  if (i < f.size() && f[i] == '.') {
    ++i;
    if (i < f.size() && f[i] == '*') {
      ++i;
      d.precision = static_cast<int>(args.signed_int(0));
      if (d.precision < 0) d.precision = -1;
    } else {
      d.precision = read_number(f, i);
    }
  }
  d.length = read_length(f, i);
  if (i >= f.size()) return false;
  d.conversion = f[i++];
  return true;
}

std::u32string widen(const char* text) {
  std::u32string out;
  for (const char* p = text; *p; ++p) out += static_cast<unsigned char>(*p);
  return out;
}

// Formats one numeric value through snprintf with the directive's flags.
template <class T>
std::u32string numeric(const Directive& d, const char* length, char conversion, T value) {
  std::string directive = "%" + d.flags;
  if (d.width >= 0) directive += std::to_string(d.width);
  if (d.precision >= 0) directive += "." + std::to_string(d.precision);
  directive += length;
  directive += conversion;
  char small[128];
  int n = std::snprintf(small, sizeof small, directive.c_str(), value);
  if (n < 0) return U"";
  if (static_cast<std::size_t>(n) < sizeof small) return widen(small);
  std::string big(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), directive.c_str(), value);
  return widen(big.c_str());
}

std::intmax_t narrow_signed(std::intmax_t v, char length) {
  if (length == 'H') return static_cast<signed char>(v);
  if (length == 'h') return static_cast<short>(v);
  return v;
}

std::uintmax_t narrow_unsigned(std::uintmax_t v, char length) {
  if (length == 'H') return static_cast<unsigned char>(v);
  if (length == 'h') return static_cast<unsigned short>(v);
  return v;
}

std::u32string pad(std::u32string text, const Directive& d) {
  if (d.width > 0 && text.size() < static_cast<std::size_t>(d.width)) {
    const std::u32string fill(static_cast<std::size_t>(d.width) - text.size(), U' ');
    text = d.flags.find('-') != std::string::npos ? text + fill : fill + text;
  }
  return text;
}

// A string argument, read no further than the precision allows.
std::u32string string_arg(const Directive& d, bool wide, FormatArgs& args) {
  const void* p = args.text(wide, d.precision);
  if (!p) return U"(null)";
  if (wide) {
    const auto* s = static_cast<const QXChar*>(p);
    std::u32string out;
    for (int k = 0; (d.precision < 0 || k < d.precision) && s[k] != 0; ++k)
      out += static_cast<char32_t>(s[k]);
    return out;
  }
  const auto* s = static_cast<const char*>(p);
  std::size_t n = d.precision < 0 ? std::strlen(s) : strnlen(s, static_cast<std::size_t>(d.precision));
  return from_utf8(std::string_view(s, n));
}

std::u32string convert(const Directive& d, FormatArgs& args) {
  const char32_t c = d.conversion;
  switch (c) {
    case 'd': case 'i':
      return numeric(d, "j", 'd', narrow_signed(args.signed_int(d.length), d.length));
    case 'u': case 'o': case 'x': case 'X':
      return numeric(d, "j", static_cast<char>(c), narrow_unsigned(args.unsigned_int(d.length), d.length));
    case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
      return numeric(d, "L", static_cast<char>(c), args.real(d.length == 'L'));
    case 'p':
      return numeric(d, "", 'p', args.pointer());
    case 'c': {
      const auto v = static_cast<char32_t>(args.signed_int(0));
      return pad(std::u32string(1, d.length == 'h' ? static_cast<unsigned char>(v) : v), d);
    }
    case 's': case 'S':
      return pad(string_arg(d, d.length != 'h', args), d);
    default:  // '%': the caller passes only the conversions above
      return U"%";
  }
}

}  // namespace

std::u32string wide_format(std::u32string_view f, FormatArgs& args) {
  std::u32string out;
  std::size_t i = 0;
  while (i < f.size()) {
    if (f[i] != '%') {
      out += f[i++];
      continue;
    }
    const std::size_t start = i++;
    Directive d;
    if (!parse(f, i, args, d)) {
      out += f.substr(start);
      break;
    }
    if (d.conversion == 'n') {
      args.pointer();  // consumed, never written through
      continue;
    }
    if (std::u32string_view(U"diuoxXeEfFgGaApcsS%").find(d.conversion) == std::u32string_view::npos) {
      out += f.substr(start, i - start);  // not a directive: kept as text
      continue;
    }
    out += convert(d, args);
  }
  return out;
}

std::u32string wide_vformat(const QXChar* format, QXStrSize length, va_list args) {
  VaFormatArgs source(args);
  return wide_format(wide_view(format, length), source);
}

QXStatus copy_to_buffer(std::u32string_view text, QXChar* buffer, QXStrSize capacity,
                        QXStrSize* copied) {
  QXStrSize n = 0;
  if (buffer && capacity >= 1) {
    n = std::min<QXStrSize>(static_cast<QXStrSize>(text.size()), capacity - 1);
    std::memcpy(buffer, text.data(), static_cast<std::size_t>(n) * sizeof(QXChar));
    buffer[n] = 0;
  }
  if (copied) *copied = n;
  return n < static_cast<QXStrSize>(text.size()) || !buffer || capacity < 1 ? kQXBufferTooSmall : 0;
}

}  // namespace platform
