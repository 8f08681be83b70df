#include "platform/datasets/by_groups.h"

#include <cstring>

#include "host/missing.h"

namespace platform::ds {

int compare_numbers(double a, double b) {
  const bool ma = is_missing(a), mb = is_missing(b);
  if (ma || mb) {
    if (ma && mb) return missing_rank(a) - missing_rank(b);
    return ma ? -1 : 1;
  }
  return a < b ? -1 : (a > b ? 1 : 0);
}

int compare_text(const unsigned char* a, int a_length, const unsigned char* b, int b_length) {
  const int common = a_length < b_length ? a_length : b_length;
  int c = std::memcmp(a, b, static_cast<std::size_t>(common));
  if (c != 0) return c;
  // The longer value compares as if the shorter were padded with blanks.
  for (int i = common; i < a_length; ++i)
    if (a[i] != ' ') return a[i] < ' ' ? -1 : 1;
  for (int i = common; i < b_length; ++i)
    if (b[i] != ' ') return b[i] < ' ' ? 1 : -1;
  return 0;
}

int compare_values(const Variable& v, const unsigned char* a, const unsigned char* b) {
  return compare_values(v, a, v, b);
}

int compare_values(const Variable& a, const unsigned char* ra, const Variable& b,
                   const unsigned char* rb) {
  if (a.type != b.type) return a.type == VarType::Numeric ? -1 : 1;
  if (a.type == VarType::Character)
    return compare_text(ra + a.offset, a.length, rb + b.offset, b.length);
  double x, y;
  std::memcpy(&x, ra + a.offset, 8);
  std::memcpy(&y, rb + b.offset, 8);
  return compare_numbers(x, y);
}

Groups find_groups(const Table& table, const ByPlan& plan) {
  Groups groups;
  groups.end = table.rows;
  if (table.rows == 0) return groups;
  groups.starts.push_back(0);
  for (std::int64_t row = 1; row < table.rows; ++row) {
    const unsigned char* prev = table.record(row - 1);
    const unsigned char* cur = table.record(row);
    for (std::size_t k = 0; k < plan.keys.size(); ++k) {
      const ByKey& key = plan.keys[k];
      int c = compare_values(table.variables[static_cast<std::size_t>(key.variable)], prev, cur);
      if (c == 0) continue;
      if (!plan.notsorted && (key.descending ? c < 0 : c > 0)) {
        groups.order_break = OrderBreak{row, k};
        groups.end = row;
        return groups;
      }
      groups.starts.push_back(row);
      break;
    }
  }
  return groups;
}

}  // namespace platform::ds
