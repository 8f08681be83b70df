#include "platform/language/literals.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace platform::language {
namespace {

constexpr const char* kMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                     "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

bool is_leap(long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in_month(long y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && is_leap(y) ? 29 : kDays[m - 1];
}

// Reads 1 to `max_digits` digits at `i`; false when there is none.
bool read_digits(std::string_view t, std::size_t* i, int max_digits, long* out) {
  std::size_t start = *i;
  long v = 0;
  while (*i < t.size() && std::isdigit(static_cast<unsigned char>(t[*i])) &&
         static_cast<int>(*i - start) < max_digits)
    v = v * 10 + (t[(*i)++] - '0');
  *out = v;
  return *i > start;
}

std::string_view trim(std::string_view t) {
  while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front()))) t.remove_prefix(1);
  while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.remove_suffix(1);
  return t;
}

// Parses ddMONyy[yy] at the start of `t`; `used` receives the length read.
std::optional<long> parse_date_prefix(std::string_view t, std::size_t* used) {
  std::size_t i = 0;
  long day = 0, year = 0;
  if (!read_digits(t, &i, 2, &day)) return std::nullopt;
  if (i + 3 > t.size()) return std::nullopt;
  int month = 0;
  for (int m = 0; m < 12; ++m) {
    bool same = true;
    for (int k = 0; k < 3; ++k)
      same = same && std::toupper(static_cast<unsigned char>(t[i + k])) == kMonths[m][k];
    if (same) month = m + 1;
  }
  if (month == 0) return std::nullopt;
  i += 3;
  std::size_t year_start = i;
  if (!read_digits(t, &i, 4, &year)) return std::nullopt;
  std::size_t ndigits = i - year_start;
  if (ndigits == 2) year += year >= 26 ? 1900 : 2000;
  else if (ndigits != 4) return std::nullopt;
  if (day < 1 || day > days_in_month(year, month)) return std::nullopt;
  *used = i;
  return days_since_1960(year, month, static_cast<int>(day));
}

}  // namespace

long days_since_1960(long y, int m, int d) {
  // Days from the civil calendar (H. Hinnant's algorithm), shifted to 1960.
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long days_from_1970 = era * 146097 + doe - 719468;
  return days_from_1970 + 3653;  // 1960-01-01 is 3653 days before 1970-01-01
}

std::optional<double> parse_date_literal(std::string_view text) {
  std::string_view t = trim(text);
  std::size_t used = 0;
  auto days = parse_date_prefix(t, &used);
  if (!days || used != t.size()) return std::nullopt;
  return static_cast<double>(*days);
}

std::optional<double> parse_time_literal(std::string_view text) {
  std::string_view t = trim(text);
  std::size_t i = 0;
  long h = 0, m = 0, s = 0;
  if (!read_digits(t, &i, 2, &h) || i >= t.size() || t[i++] != ':') return std::nullopt;
  if (!read_digits(t, &i, 2, &m) || m > 59) return std::nullopt;
  double seconds = 0;
  if (i < t.size()) {
    if (t[i++] != ':' || !read_digits(t, &i, 2, &s) || s > 59) return std::nullopt;
    seconds = static_cast<double>(s);
    if (i < t.size() && t[i] == '.') {
      std::size_t start = i++;
      while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
      seconds += std::strtod(std::string(t.substr(start, i - start)).c_str(), nullptr);
    }
  }
  if (i != t.size() || h > 23) return std::nullopt;
  return static_cast<double>(h * 3600 + m * 60) + seconds;
}

std::optional<double> parse_datetime_literal(std::string_view text) {
  std::string_view t = trim(text);
  std::size_t used = 0;
  auto days = parse_date_prefix(t, &used);
  if (!days || used >= t.size() || (t[used] != ':' && t[used] != ' ')) return std::nullopt;
  auto secs = parse_time_literal(t.substr(used + 1));
  if (!secs) return std::nullopt;
  return static_cast<double>(*days) * 86400.0 + *secs;
}

}  // namespace platform::language
