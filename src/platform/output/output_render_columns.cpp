#include "platform/output/output_render_columns.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "host/missing.h"
#include "platform/listing/number_format.h"

namespace platform {
namespace {

constexpr int kAutomatic = 89;
constexpr int kSignificant = 7;

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Width and decimals written after a format name: "BEST8." gives 8, -1.
void name_numbers(const std::string& name, std::size_t from, int* width, int* decimals) {
  const char* p = name.c_str() + from;
  char* end = nullptr;
  long w = std::strtol(p, &end, 10);
  if (end != p && w > 0 && w <= 32) *width = static_cast<int>(w);
  if (*end == '.' && std::isdigit(static_cast<unsigned char>(end[1]))) *decimals = std::atoi(end + 1);
}

bool starts_with(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

int integer_digits(double a) { return a < 1 ? 1 : static_cast<int>(std::floor(std::log10(a))) + 1; }

// Significant digits an automatic column shows of each value, at most.
int significant_digits(int width) { return std::clamp(width - 3, 1, kSignificant); }

// `v` to its first `significant` digits: the power of ten of the first,
// and the decimals that show them less their trailing zeros (0.0398229804
// needs 8 with 7 digits, 2.5 needs one).
struct Digits {
  int exponent, decimals;
};
Digits digits_of(double v, int significant) {
  char buffer[40];
  const char* end = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(v), std::chars_format::scientific,
                                  significant - 1).ptr;
  const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
  const std::size_t e = text.find('e');
  int exponent = 0;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), end, exponent);
  std::string_view mantissa = text.substr(0, e);
  while (mantissa.size() > 1 && (mantissa.back() == '0' || mantissa.back() == '.')) mantissa.remove_suffix(1);
  const int digits = static_cast<int>(mantissa.size()) - (mantissa.size() > 1 ? 1 : 0);
  return {exponent, std::max(0, digits - 1 - exponent)};
}

// The decimals every value of an automatic column shares.
int column_decimals(const std::vector<double>& values, int width, bool* whole) {
  *whole = true;
  double maxabs = 0;
  for (double v : values) {
    if (std::fabs(v) >= 1e15 || v != std::floor(v)) *whole = false;
    maxabs = std::max(maxabs, std::fabs(v));
  }
  if (*whole) return 0;
  const int cap = width - 2 - integer_digits(maxabs);
  const int significant = significant_digits(width);
  int wanted = 0;
  for (double v : values)
    if (v != 0) wanted = std::max(wanted, significant - static_cast<int>(std::floor(std::log10(std::fabs(v)))) - 1);
  return std::clamp(wanted, 0, std::max(cap, 0));
}

// The decimal code of a value of an automatic column: the column's shared
// decimals where they show the value's significant digits; else (a value
// far smaller than the column's largest) the decimals that do where its
// magnitude leaves room for them in the width, or E notation, so that
// values of one size look alike.
int value_code(double v, int width, int shared) {
  if (v == 0 || wzmis(v) || !std::isfinite(v)) return shared;
  const int significant = significant_digits(width);
  // Cheap bound first: the shared decimals give the digits of most values.
  if (shared >= significant - static_cast<int>(std::floor(std::log10(std::fabs(v))))) return shared;
  const Digits d = digits_of(v, significant);
  if (d.decimals <= shared) return shared;
  // Fixed notation with all `significant` digits, trailing zeros or not.
  const int fixed = (v < 0) + std::max(d.exponent + 1, 1) + 1 + (significant - 1 - d.exponent);
  return fixed <= width ? d.decimals : -(significant - 1);
}

double number(const Cell* c) { return c->kind == Cell::Integer ? static_cast<double>(c->integer) : c->number; }

// Two cells that hold the same number, missing values by their pattern.
bool same_number(const Cell* a, const Cell* b) {
  const double x = number(a), y = number(b);
  return std::memcmp(&x, &y, sizeof x) == 0;
}

std::string text_cell(const Cell& c) {
  std::string s = c.kind == Cell::Text ? c.text : c.kind == Cell::Integer ? std::to_string(c.integer) : "";
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace

ColumnStyle style_of(const ColumnSpec& column) {
  ColumnStyle s;
  const std::string name = upper(column.format_name);
  if (column.data_type == kTypeChars || column.data_type == kTypeTextObject) {
    s.kind = ColumnStyle::Text;
    s.width = column.text_width > 0 ? column.text_width : column.text_width < 0 ? -column.text_width
                                                          : column.width > 0   ? column.width : 32;
    return s;
  }
  if (column.data_type == kTypeInt || column.data_type == kTypeLong || column.data_type == kTypeByte) {
    s.kind = ColumnStyle::Integer;
    s.width = column.width > 0 ? column.width : 6;
    return s;
  }
  s.width = column.width > 0 ? std::min(column.width, 32) : 12;
  s.decimals = column.decimals;
  const bool by_name = name.empty() && starts_with(column.name, "Prob");
  if (starts_with(name, "PVALUE") || starts_with(name, "PNAME") || by_name) {
    s.kind = ColumnStyle::PValue;
    s.width = column.width > 0 && !by_name ? s.width : 6;
    s.decimals = 4;
    name_numbers(name, starts_with(name, "PVALUE") ? 6 : starts_with(name, "PNAME") ? 5 : name.size(), &s.width, &s.decimals);
  } else if (starts_with(name, "BEST")) {
    s.decimals = 99;
    name_numbers(name, 4, &s.width, &s.decimals);
    s.decimals = 99;
  }
  if (s.decimals == kAutomatic) s.decimals = -1;
  return s;
}

std::string column_heading(const ColumnSpec& column) {
  return column.label.empty() && column.role != "rowname" ? column.name : column.label;
}

std::string format_text(const ColumnSpec& column) {
  const ColumnStyle s = style_of(column);
  const std::string w = std::to_string(s.width);
  switch (s.kind) {
    case ColumnStyle::Text: return "$" + w + ".";
    case ColumnStyle::Integer: return w + ".";
    case ColumnStyle::PValue: return "PVALUE" + w + "." + std::to_string(s.decimals);
    case ColumnStyle::Number: break;
  }
  if (s.decimals >= 0 && s.decimals <= 32) return w + "." + std::to_string(s.decimals);
  return "BEST" + w + ".";
}

std::vector<std::string> format_cells(const ColumnSpec& column, const std::vector<const Cell*>& cells,
                                      const std::vector<const Cell*>* peers) {
  const ColumnStyle s = style_of(column);
  std::vector<std::string> out;
  out.reserve(cells.size());
  if (s.kind == ColumnStyle::Text || s.kind == ColumnStyle::Integer) {
    for (const Cell* c : cells) {
      std::string t = text_cell(*c);
      if (s.kind == ColumnStyle::Text && static_cast<int>(t.size()) > s.width) t.resize(static_cast<std::size_t>(s.width));
      if (s.kind == ColumnStyle::Integer && static_cast<int>(t.size()) < s.width)
        t.insert(0, static_cast<std::size_t>(s.width) - t.size(), ' ');
      out.push_back(t);
    }
    return out;
  }
  int decimals = s.decimals;
  bool whole = false;
  if (s.kind == ColumnStyle::Number && decimals < 0) {
    std::vector<double> present;
    for (const Cell* c : peers ? *peers : cells)
      if (!wzmis(number(c)) && std::isfinite(number(c))) present.push_back(number(c));
    decimals = column_decimals(present, s.width, &whole);
  }
  for (const Cell* c : cells) {
    const double v = number(c);
    std::string field;
    if (s.kind == ColumnStyle::PValue) field = pvalue_field(v, s.width, s.decimals);
    else format_number(v, s.width, s.decimals < 0 && !whole ? value_code(v, s.width, decimals) : decimals, &field);
    out.push_back(field);
  }
  return out;
}

std::vector<const Cell*> shared_decimal_cells(const OutputItem& item) {
  if (item.kind != "matrix") return {};
  std::vector<std::size_t> numbers;  // the columns of values
  for (std::size_t k = 0; k < item.columns.size(); ++k)
    if (style_of(item.columns[k]).kind == ColumnStyle::Number) numbers.push_back(k);
  const std::size_t n = numbers.size();
  if (n < 2 || item.rows.size() != n) return {};
  std::vector<const Cell*> cells;
  for (std::size_t i = 0; i < n; ++i) {
    if (item.rows[i].size() < item.columns.size()) return {};
    for (std::size_t j = 0; j < n; ++j) cells.push_back(&item.rows[i][numbers[j]]);
  }
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (!same_number(cells[i * n + j], cells[j * n + i])) return {};
  return cells;
}

}  // namespace platform
