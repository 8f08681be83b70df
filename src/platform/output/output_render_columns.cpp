#include "platform/output/output_render_columns.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

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
  const int significant = std::clamp(width - 3, 1, kSignificant);
  int wanted = 0;
  for (double v : values)
    if (v != 0) wanted = std::max(wanted, significant - static_cast<int>(std::floor(std::log10(std::fabs(v)))) - 1);
  return std::clamp(wanted, 0, std::max(cap, 0));
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

std::vector<std::string> format_cells(const ColumnSpec& column, const std::vector<const Cell*>& cells) {
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
  auto number = [](const Cell* c) { return c->kind == Cell::Integer ? static_cast<double>(c->integer) : c->number; };
  int decimals = s.decimals;
  bool whole = false;
  if (s.kind == ColumnStyle::Number && decimals < 0) {
    std::vector<double> present;
    for (const Cell* c : cells)
      if (!wzmis(number(c)) && std::isfinite(number(c))) present.push_back(number(c));
    decimals = column_decimals(present, s.width, &whole);
  }
  for (const Cell* c : cells) {
    const double v = number(c);
    std::string field;
    if (s.kind == ColumnStyle::PValue) {
      field = pvalue_field(v, s.width, s.decimals);
    } else {
      int code = decimals;
      // A value the column's decimals would show with under two digits.
      if (s.decimals < 0 && !whole && v != 0 && !wzmis(v) && std::isfinite(v) && std::fabs(v) < 1 &&
          decimals + static_cast<int>(std::floor(std::log10(std::fabs(v)))) + 1 < 2)
        code = 99;
      format_number(v, s.width, code, &field);
    }
    out.push_back(field);
  }
  return out;
}

}  // namespace platform
