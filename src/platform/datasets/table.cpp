#include "platform/datasets/table.h"

#include <algorithm>
#include <cstring>

#include "platform/datasets/value_text.h"
#include "platform/names.h"

namespace platform::ds {

std::size_t lay_out_record(std::vector<Variable>& variables) {
  std::size_t offset = 0;
  for (Variable& v : variables)
    if (v.type == VarType::Numeric) {
      v.length = 8;
      v.offset = static_cast<int>(offset);
      offset += 8;
    }
  for (Variable& v : variables)
    if (v.type == VarType::Character) {
      v.offset = static_cast<int>(offset);
      offset += static_cast<std::size_t>(v.length);
    }
  return std::max<std::size_t>(8, (offset + 7) / 8 * 8);
}

std::int64_t Table::row_of(const void* record) const {
  if (rows == 0 || !record) return -1;
  auto* base = reinterpret_cast<const unsigned char*>(storage.data());
  auto* p = static_cast<const unsigned char*>(record);
  if (p < base) return -1;
  std::size_t bytes = static_cast<std::size_t>(p - base);
  if (bytes % record_length != 0) return -1;
  std::int64_t row = static_cast<std::int64_t>(bytes / record_length);
  return row < rows ? row : -1;
}

int Table::find(std::string_view name) const {
  for (std::size_t i = 0; i < variables.size(); ++i)
    if (same_name(variables[i].name, name)) return static_cast<int>(i);
  return -1;
}

std::string value_text(const Variable& v, const unsigned char* record) {
  if (v.type == VarType::Numeric) {
    double d;
    std::memcpy(&d, record + v.offset, 8);
    char buffer[kNumberTextSize];
    return std::string(buffer, write_number(d, buffer));
  }
  std::string_view s(reinterpret_cast<const char*>(record + v.offset),
                     static_cast<std::size_t>(v.length));
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return "\"" + std::string(s) + "\"";
}

}  // namespace platform::ds
