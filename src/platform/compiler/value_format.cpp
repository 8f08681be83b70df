#include "platform/compiler/value_format.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/missing.h"

namespace platform::compiler {
namespace {

// ".", "._" or ".A" to ".Z"; any other missing value, such as the special
// one of a value not computed, shows as ".".
std::string missing_text(double value) {
  const int rank = missing_rank(value);
  const int dot = static_cast<int>((kMissingBits >> 40) & 0xFF);
  const int underscore = static_cast<int>((kMissingUnderscoreBits >> 40) & 0xFF);
  if (!is_missing(value)) return ".";
  if (rank == underscore) return "._";
  if (rank <= dot || rank > dot + 26) return ".";
  return std::string(".") + static_cast<char>('A' + rank - dot - 1);
}

// "1.5e+10" -> "1.5E10", "2e-05" -> "2E-5".
std::string tidy_exponent(std::string s) {
  const auto e = s.find('e');
  if (e == std::string::npos) return s;
  std::string mantissa = s.substr(0, e);
  int exponent = std::atoi(s.c_str() + e + 1);
  return mantissa + "E" + std::to_string(exponent);
}

struct Format {
  std::string name;  // upper case, without digits
  int width = 0;
  int decimals = -1;
};

Format parse(const std::string& text) {
  Format f;
  std::size_t i = 0;
  while (i < text.size() && (std::isalpha(static_cast<unsigned char>(text[i])) || text[i] == '$'))
    f.name += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i++])));
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
    f.width = f.width * 10 + (text[i++] - '0');
  if (i < text.size() && text[i] == '.') {
    ++i;
    if (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      f.decimals = 0;
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        f.decimals = f.decimals * 10 + (text[i++] - '0');
    }
  }
  return f;
}

}  // namespace

std::string best_text(double value, int width) {
  if (std::isnan(value)) return missing_text(value);
  if (width < 1) width = 12;
  char buffer[64];
  if (value == std::trunc(value) && std::fabs(value) < 1e15) {
    std::snprintf(buffer, sizeof buffer, "%.0f", value == 0 ? 0.0 : value);
    if (static_cast<int>(std::char_traits<char>::length(buffer)) <= width) return buffer;
  }
  for (int precision = std::min(width, 17); precision >= 1; --precision) {
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
    std::string s = tidy_exponent(buffer);
    if (static_cast<int>(s.size()) <= width) return s;
  }
  return std::string(static_cast<std::size_t>(width), '*');
}

std::string format_number(double value, const std::string& format) {
  const Format f = parse(format);
  if (std::isnan(value)) return missing_text(value);
  char buffer[512];
  if (f.name.empty() && f.width > 0) {
    std::snprintf(buffer, sizeof buffer, "%.*f", std::max(0, f.decimals), value);
    return buffer;
  }
  if (f.name == "E" && f.width > 0) {
    std::snprintf(buffer, sizeof buffer, "%.*e", std::max(1, f.width - 7), value);
    return tidy_exponent(buffer);
  }
  return best_text(value, f.width > 0 ? f.width : 12);
}

std::string format_chars(const std::string& text, const std::string& format) {
  const Format f = parse(format);
  if (f.width > 0) {
    std::string out = text.substr(0, static_cast<std::size_t>(f.width));
    out.resize(static_cast<std::size_t>(f.width), ' ');
    return out;
  }
  const auto begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

}  // namespace platform::compiler
