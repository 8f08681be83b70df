#include "platform/listing/line_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/missing.h"
#include "platform/listing/number_format.h"

namespace platform {

void put_text(LineCursor& line, std::string_view text) {
  for (char ch : text) {
    int c = *line.column + 1;
    if (c > line.last) break;
    line.first[c - 1] = ch;
    *line.column = c;
  }
}

void skip_columns(LineCursor& line, int n) {
  *line.column = std::clamp(*line.column + n, 0, line.last);
}

namespace {

// One parsed conversion: %[flags][width][.precision][length]conversion.
struct Conversion {
  std::string flags;
  bool has_width = false, has_precision = false, code_precision = false;
  int width = 0, precision = 0;
  std::string length;
  char conversion = 0;
};

int read_number(const char*& p) {
  int n = 0;
  while (*p >= '0' && *p <= '9') n = n * 10 + (*p++ - '0');
  return n;
}

// Parses the conversion after '%', taking '*' values from the arguments.
Conversion parse_spec(const char*& p, va_list& args) {
  Conversion s;
  while (*p && std::strchr("-+ 0#", *p)) s.flags += *p++;
  if (*p == '*') {
    ++p;
    s.has_width = true;
    s.width = va_arg(args, int);
    if (s.width < 0) {
      s.flags += '-';
      s.width = -s.width;
    }
  } else if (*p >= '0' && *p <= '9') {
    s.has_width = true;
    s.width = read_number(p);
  }
  if (*p == '.') {
    ++p;
    s.has_precision = true;
    if (*p == '*') {
      ++p;
      s.precision = va_arg(args, int);
    } else if (*p == '$') {
      ++p;
      s.code_precision = true;
    } else {
      s.precision = read_number(p);
    }
  }
  while (*p && std::strchr("hlzjq", *p)) s.length += *p++;
  s.conversion = *p ? *p++ : 0;
  return s;
}

std::string spec_text(const Conversion& s, bool with_precision) {
  std::string t = "%" + s.flags;
  if (s.has_width) t += std::to_string(s.width);
  if (with_precision && s.has_precision && s.precision >= 0) t += "." + std::to_string(s.precision);
  return t + s.length + s.conversion;
}

template <class T>
std::string one(const std::string& conv, T value) {
  int n = std::snprintf(nullptr, 0, conv.c_str(), value);
  if (n < 0) return "";
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), conv.c_str(), value);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string integer_conversion(const Conversion& s, va_list& args) {
  const std::string conv = spec_text(s, true);
  const bool is_signed = s.conversion == 'd' || s.conversion == 'i';
  if (s.length == "ll" || s.length == "j" || s.length == "q")
    return is_signed ? one(conv, va_arg(args, long long)) : one(conv, va_arg(args, unsigned long long));
  if (s.length == "l" || s.length == "z")
    return is_signed ? one(conv, va_arg(args, long)) : one(conv, va_arg(args, unsigned long));
  return is_signed ? one(conv, va_arg(args, int)) : one(conv, va_arg(args, unsigned));
}

std::string pad(std::string text, int width, bool left) {
  if (static_cast<int>(text.size()) >= width) return text;
  std::string fill(static_cast<std::size_t>(width) - text.size(), ' ');
  return left ? text + fill : fill + text;
}

std::string double_conversion(const Conversion& s, va_list& args) {
  long code = s.code_precision ? va_arg(args, long) : 0;
  const double v = va_arg(args, double);
  const bool left = s.flags.find('-') != std::string::npos;
  const bool host_code = s.code_precision || (s.has_precision && s.precision > 32);
  if (!host_code && !wzmis(v)) return one(spec_text(s, true), v == 0 ? 0.0 : v);  // -0 prints as 0
  if (!s.code_precision) code = s.has_precision ? s.precision : 99;
  const int width = s.has_width && s.width > 0 ? s.width : 12;
  std::string text = wzmis(v) ? missing_mark(v) : render_number(v, width, static_cast<int>(code));
  if (text.empty()) text.assign(static_cast<std::size_t>(width), '*');
  return pad(text, s.has_width ? s.width : 1, left);
}

std::string string_conversion(const Conversion& s, va_list& args) {
  const char* text = va_arg(args, const char*);
  if (!text) text = "";
  std::size_t limit = std::string::npos;
  if (s.has_precision) limit = static_cast<std::size_t>(std::abs(s.precision));
  else if (s.has_width) limit = static_cast<std::size_t>(s.width);
  std::size_t n = 0;
  while (n < limit && text[n]) ++n;
  std::string out(text, n);
  int field = s.has_width ? s.width : 0;
  if (s.has_precision) field = std::max(field, std::abs(s.precision));
  const bool left = s.flags.find('-') != std::string::npos && !(s.has_precision && s.precision < 0);
  return pad(out, field, left);
}

}  // namespace

int format_line(LineCursor& line, const char* format, va_list args) {
  va_list ap;
  va_copy(ap, args);
  int produced = 0;
  auto emit = [&](const std::string& text) {
    put_text(line, text);
    produced += static_cast<int>(text.size());
  };
  for (const char* p = format; p && *p;) {
    if (*p != '%') {
      const char* next = std::strchr(p, '%');
      std::size_t n = next ? static_cast<std::size_t>(next - p) : std::strlen(p);
      emit(std::string(p, n));
      p += n;
      continue;
    }
    ++p;
    Conversion s = parse_spec(p, ap);
    switch (s.conversion) {
      case '%': emit("%"); break;
      case 'd': case 'i': case 'u': case 'o': case 'x': case 'X': emit(integer_conversion(s, ap)); break;
      case 'c': emit(one(spec_text(s, false), va_arg(ap, int))); break;
      case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': emit(double_conversion(s, ap)); break;
      case 's': emit(string_conversion(s, ap)); break;
      case 'p': emit(one(spec_text(s, false), va_arg(ap, void*))); break;
      case 't':
        if (s.flags.find('+') != std::string::npos) skip_columns(line, s.width);
        else if (s.has_width) *line.column = std::clamp(s.width - 1, 0, line.last);
        break;
      case 'n':
        if (line.keep_lines) line.keep_lines(s.has_precision ? s.precision : s.width);
        break;
      case 'a':
        if (line.centre) line.centre();
        break;
      case 0: break;
      default: emit(std::string("%") + s.conversion); break;
    }
  }
  va_end(ap);
  return produced;
}

}  // namespace platform
