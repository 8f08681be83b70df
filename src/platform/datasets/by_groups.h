// BY groups: runs of consecutive records with equal BY values. Unless the
// BY statement says NOTSORTED, the runs must come in ascending order of
// the BY variables (descending for a variable marked DESCENDING); missing
// values sort before every number, "._" first, then ".", then ".A" to ".Z".
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/datasets/table.h"

namespace platform::ds {

struct ByKey {
  int variable = 0;  // index in the table
  bool descending = false;
};

struct ByPlan {
  std::vector<ByKey> keys;  // empty: the whole data set is one group
  bool notsorted = false;
};

// Where the order breaks: record `row` sorts before record `row` - 1 by key `key`.
struct OrderBreak {
  std::int64_t row = 0;
  std::size_t key = 0;
};

struct Groups {
  std::vector<std::int64_t> starts;       // first record of each group, ascending
  std::int64_t end = 0;                   // one past the last record of the last group
  std::optional<OrderBreak> order_break;  // groups from here on are not formed

  std::size_t count() const { return starts.size(); }
  std::int64_t group_end(std::size_t g) const {
    return g + 1 < starts.size() ? starts[g + 1] : end;
  }
};

// Compares one variable's values in two records: negative, 0 or positive.
int compare_values(const Variable& v, const unsigned char* a, const unsigned char* b);
// Compares a variable's value in one record with another variable's value
// in a record of another table; values of different types never compare equal.
int compare_values(const Variable& a, const unsigned char* ra, const Variable& b,
                   const unsigned char* rb);
// Compares two character values of possibly different lengths, blank-padded.
int compare_text(const unsigned char* a, int a_length, const unsigned char* b, int b_length);
// Compares two numbers: missing values first, in their own order.
int compare_numbers(double a, double b);

// Splits the table's records into BY groups, stopping at the first record
// out of order.
Groups find_groups(const Table& table, const ByPlan& plan);

}  // namespace platform::ds
