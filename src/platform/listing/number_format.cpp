#include "platform/listing/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "host/missing.h"

namespace platform {
namespace {

constexpr int kMaxDecimals = 32;
constexpr int kMaxSignificant = 15;  // digits a double always holds exactly

enum class Notation { Fixed, E };

// `v` with `precision` decimals as printf's "%.*f" or "%.*E" writes it:
// std::to_chars gives printf's digits without its cost. A value that rounds
// to zero, -0 among them, shows no sign.
std::string decimal_text(Notation notation, int precision, double v) {
  char buffer[400];  // "%.32f" of the largest double takes 343
  const auto format = notation == Notation::Fixed ? std::chars_format::fixed : std::chars_format::scientific;
  const char* end = std::to_chars(buffer, buffer + sizeof buffer, v == 0 ? 0.0 : v, format, precision).ptr;
  std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
  if (text[0] == '-' && text.find_first_not_of("-0.") == std::string_view::npos) text.remove_prefix(1);
  std::string s(text);
  if (notation == Notation::E) std::replace(s.begin(), s.end(), 'e', 'E');
  return s;
}

// Digits shown after the first nonzero digit, the first one included.
int significant_digits(std::string_view s) {
  int count = 0;
  for (const char c : s) {
    if (c == 'E' || c == 'e') break;
    if ((c >= '1' && c <= '9') || (count > 0 && c == '0')) ++count;
  }
  return count;
}

void strip_trailing_zeros(std::string* s) {
  std::size_t e = s->find_first_of("Ee");
  std::string exponent = e == std::string::npos ? "" : s->substr(e);
  std::string mantissa = s->substr(0, e);
  if (mantissa.find('.') == std::string::npos) return;
  while (mantissa.back() == '0') mantissa.pop_back();
  if (mantissa.back() == '.') mantissa.pop_back();
  *s = mantissa + exponent;
}

// Fixed notation with the most decimals (at most `most`) that fit.
std::string widest_fixed(double v, int width, int most) {
  for (int d = std::min(most, kMaxDecimals); d >= 0; --d) {
    std::string s = decimal_text(Notation::Fixed, d, v);
    if (static_cast<int>(s.size()) <= width && significant_digits(s) <= kMaxSignificant) return s;
  }
  return "";
}

// E notation with `decimals` mantissa decimals, or the most that fit when
// `decimals` is negative.
std::string e_notation(double v, int width, int decimals) {
  int d = decimals >= 0 ? decimals : kMaxSignificant - 1;
  for (; d >= 0; --d) {
    std::string s = decimal_text(Notation::E, d, v);
    if (static_cast<int>(s.size()) <= width) return s;
  }
  return "";
}

std::string best(double v, int width) {
  const double a = std::fabs(v);
  if (a < 1e15 && a == std::floor(a)) {
    std::string s = decimal_text(Notation::Fixed, 0, v);
    if (static_cast<int>(s.size()) <= width) return s;
  }
  std::string fixed = widest_fixed(v, width, kMaxSignificant);
  std::string exp = e_notation(v, width, -1);
  int fixed_digits = fixed.empty() ? -1 : significant_digits(fixed);
  int exp_digits = exp.empty() ? -1 : significant_digits(exp);
  std::string s = fixed_digits >= exp_digits && fixed_digits > 0 ? fixed : exp;
  if (s.empty()) s = fixed;
  strip_trailing_zeros(&s);
  return s;
}

}  // namespace

std::string render_number(double v, int width, int code) {
  if (width < 1) return "";
  if (std::isnan(v) || std::isinf(v)) {
    std::string s = std::isnan(v) ? "NaN" : (v > 0 ? "Inf" : "-Inf");
    return static_cast<int>(s.size()) <= width ? s : "";
  }
  if (code == 89 || code == 99) return best(v, width);
  if (code == 98) {
    std::string s = widest_fixed(v, width, kMaxDecimals);
    if (!s.empty() && (v == 0 || significant_digits(s) > 0)) return s;
    return e_notation(v, width, -1);
  }
  if (code == -99) return e_notation(v, width, -1);
  if (code < 0 && code >= -kMaxDecimals) {
    std::string s = e_notation(v, width, -code);
    return s.empty() ? best(v, width) : s;
  }
  if (code >= 0 && code <= kMaxDecimals) {
    std::string s = widest_fixed(v, width, code);
    return s.empty() ? best(v, width) : s;
  }
  return best(v, width);
}

bool format_number(double v, int width, int code, std::string* field) {
  if (width < 1) {
    field->clear();
    return false;
  }
  std::string s = wzmis(v) ? missing_mark(v) : render_number(v, width, code);
  if (s.empty() || static_cast<int>(s.size()) > width) {
    field->assign(static_cast<std::size_t>(width), '*');
    return false;
  }
  *field = std::string(static_cast<std::size_t>(width) - s.size(), ' ') + s;
  return true;
}

std::string missing_mark(double v) {
  if (is_special_missing(v)) return ".";
  const int rank = missing_rank(v);
  constexpr int kUnderscore = 0xD0, kLetterA = 0xD2;
  if (rank == kUnderscore) return "_";
  if (rank >= kLetterA && rank < kLetterA + 26) return std::string(1, static_cast<char>('A' + rank - kLetterA));
  return ".";
}

int fixed_decimals(double value, int width) {
  double a = std::fabs(value);
  if (wzmis(value) || !std::isfinite(a)) a = 0;
  int integer_digits = 1;
  if (a >= 1) {
    // Count the digits of the rounded integer part so that 9.9999 counts 2.
    std::string s = decimal_text(Notation::Fixed, 0, a);
    integer_digits = static_cast<int>(s.size());
  }
  if (integer_digits + 1 > width) return 99;
  int decimals = width - integer_digits - 2;  // room for the sign and the point
  const int most = a >= 1 ? std::max(0, kMaxSignificant - 1 - integer_digits) : kMaxSignificant - 1;
  return std::clamp(decimals, 0, most);
}

bool power_of_ten_field(int width, int decimals, char* field) {
  if (width < 1) return false;
  std::string s = decimals > 0 ? "0." + std::string(static_cast<std::size_t>(decimals - 1), '0') + "1" : "1";
  if (static_cast<int>(s.size()) > width && s[0] == '0') s.erase(0, 1);
  if (static_cast<int>(s.size()) > width) {
    std::memset(field, '*', static_cast<std::size_t>(width));
    return false;
  }
  std::memset(field, ' ', static_cast<std::size_t>(width));
  std::memcpy(field + width - s.size(), s.data(), s.size());
  return true;
}

bool integer_field(long long value, int width, char* field) {
  if (width < 1) return false;
  std::string s = std::to_string(value);
  if (static_cast<int>(s.size()) > width) {
    std::memset(field, '*', static_cast<std::size_t>(width));
    return false;
  }
  std::memset(field, ' ', static_cast<std::size_t>(width));
  std::memcpy(field + width - s.size(), s.data(), s.size());
  return true;
}

}  // namespace platform

namespace platform {

std::string pvalue_field(double value, int width, int decimals) {
  if (width < 1) width = 6;
  if (width <= 2) return std::string(static_cast<std::size_t>(width), '*');
  if (decimals < 1 || decimals > width - 2) decimals = width - 2;
  std::string field;
  if (wzmis(value)) {
    format_number(value, width, decimals, &field);
    return field;
  }
  if (!(value > 0)) value = 0;
  if (value < 1.0 / std::pow(10.0, decimals)) {
    field.assign(static_cast<std::size_t>(width), ' ');
    power_of_ten_field(width, decimals, field.data());
    field[static_cast<std::size_t>(width - decimals - 2)] = '<';
    return field;
  }
  format_number(value, width, decimals, &field);
  return field;
}

}  // namespace platform
