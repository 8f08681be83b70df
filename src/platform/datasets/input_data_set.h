// A data set open for input: a read position over a table held in memory.
// Reading by BY group: `next_group` moves to the next group, `rewind_group`
// back to its start, `read_in_group` yields its records one by one and then
// none. Reading every record in order: `open_sequential`, `read_sequential`.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/datasets/by_groups.h"
#include "platform/datasets/data_set.h"
#include "platform/datasets/table.h"

namespace platform::ds {

class InputDataSet : public DataSet {
 public:
  explicit InputDataSet(std::shared_ptr<const Table> table);

  const Table& table() const { return *table_; }
  const ByPlan& by() const { return by_; }
  // Sets the BY variables; the groups are formed again on the next move.
  void set_by(ByPlan plan);

  // 1 when a group is current, 0 when there are no more, -1 (after an
  // error message) when the next group is out of order.
  int next_group();
  // 0, or kXoNoGroup when no group is current.
  int rewind_group();
  // Moves to the group whose BY values equal those of `leader`'s current
  // group (no records when none does); false after a message when this data
  // set is out of order before such a group is found.
  bool sync_to(const InputDataSet& leader);

  // 0 with the next record of the group current (none at the group's end),
  // or a failure status with none current.
  int read_in_group(XO_PARMS* parms);
  int open_sequential(XO_PARMS* parms);
  // 0 with the next record current, kXoEnd after the last, or a failure status.
  int read_sequential(XO_PARMS* parms);

  const unsigned char* current() const { return current_; }
  const unsigned char* last_record() const { return last_; }
  // The first record of the current group, or null.
  const unsigned char* group_record() const;

 private:
  static int read_operation(XO_PARMS* parms);
  const Groups& groups();
  void report_order_break(const OrderBreak& at);
  void position_group(std::int64_t group);
  void set_current(const unsigned char* record, XO_PARMS* parms, std::int64_t row);

  std::shared_ptr<const Table> table_;
  ByPlan by_;
  std::optional<Groups> groups_;
  std::int64_t group_ = -1;  // -1 before the first group
  bool positioned_ = false;  // a group (perhaps an empty one) is current
  bool order_failed_ = false;
  std::int64_t begin_ = 0, end_ = 0, next_ = 0;
  std::int64_t sequential_next_ = 0;
  const unsigned char* current_ = nullptr;
  const unsigned char* last_ = nullptr;
};

}  // namespace platform::ds
