#include "platform/datasets/value_text.h"

#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <system_error>

#include "host/missing.h"

namespace platform::ds {
namespace {

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool read_missing(std::string_view s, double* value) {
  // NA and NaN: the missing values other programs write to CSV files.
  if (s.empty() || s == "." || s == "NA" || s == "NaN") {
    *value = missing_value();
    return true;
  }
  if (s.size() != 2 || s[0] != '.') return false;
  char c = s[1];
  if (c == '_') {
    *value = underscore_missing_value();
    return true;
  }
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c < 'A' || c > 'Z') return false;
  *value = letter_missing_value(c);
  return true;
}

}  // namespace

CellKind read_cell(std::string_view text, double* value) {
  std::string_view s = trim_blanks(text);
  if (read_missing(s, value)) return CellKind::Missing;
  // from_chars takes "inf" and "nan" and no leading '+': a number here starts
  // with a digit or a point, after at most one sign.
  std::string_view body = s;
  if (!body.empty() && (body[0] == '+' || body[0] == '-')) body.remove_prefix(1);
  if (body.empty() || !(std::isdigit(static_cast<unsigned char>(body[0])) || body[0] == '.'))
    return CellKind::Text;
  const char* first = s[0] == '+' ? s.data() + 1 : s.data();
  const char* last = s.data() + s.size();
  double v = 0;
  // A text that is no number stops from_chars at its start, so reading to
  // the end leaves only a value out of range to look at.
  auto [end, ec] = std::from_chars(first, last, v, std::chars_format::general);
  if (end != last) return CellKind::Text;
  if (ec == std::errc::result_out_of_range) {
    // Underflow reads as the nearest value (a signed zero); only overflow
    // is out of range.
    v = std::strtod(std::string(s).c_str(), nullptr);
    if (std::isinf(v)) return CellKind::OutOfRange;
  }
  *value = v;
  return CellKind::Number;
}

char* write_number(double value, char* out) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  if (is_missing(value)) {
    *out++ = '.';
    if (bits >= kMissingLetterBase && bits < kMissingLetterBase + (26ull << 40) &&
        (bits & 0xFFFFFFFFFFull) == 0)
      *out++ = static_cast<char>('A' + ((bits - kMissingLetterBase) >> 40));
    else if (bits == kMissingUnderscoreBits)
      *out++ = '_';
    return out;
  }
  if (!std::isfinite(value)) {
    *out++ = '.';
    return out;
  }
  // A negative zero (a product with a zero, a multiplier of a bound that
  // holds nothing) is zero: it reads back as the same number.
  return std::to_chars(out, out + kNumberTextSize, value == 0 ? 0.0 : value).ptr;
}

std::string number_text(double value) {
  if (is_missing(value)) return ".";
  char text[kNumberTextSize];
  return std::string(text, write_number(value, text));
}

}  // namespace platform::ds
