// A data set open for input: a read position over a table held in memory.
// Reading by BY group: `next_group` moves to the next group, `rewind_group`
// back to its start, `read_in_group` yields its records one by one and then
// none. Reading every record in order: `open_sequential`, `read_sequential`.
// A WHERE condition leaves out the records it rejects: they are not read at
// all, and the BY groups are formed from the others.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
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
  // Sets the WHERE condition: `accepts` judges the current record. It runs
  // once for every record, before the first group is formed or the first
  // record is read, so it may depend on what is set up in between.
  void set_where(std::function<bool()> accepts);

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
  // or a failure status with none current. Inline: it runs for every
  // observation of every data pass.
  int read_in_group(XO_PARMS* parms) {
    if (!positioned_) return fail_read(parms, kXoNoGroup);
    if (next_ >= end_) {
      set_current(nullptr, parms, -1);
      return 0;
    }
    set_current(table_->record(next_), parms, next_);
    // A data pass does much work per record, too much for the hardware's
    // streaming prefetch to keep ahead: ask for the record about 2 KB on.
    if (next_ + prefetch_ahead_ < end_) __builtin_prefetch(table_->record(next_ + prefetch_ahead_));
    ++next_;
    return 0;
  }
  // Up to `max` records of the group into `records`, as read_in_group
  // called until it yields none or `max` are read leaves the position:
  // their count, or -1 (nothing read) when no group is current.
  int read_records_in_group(XO_PARMS* parms, const unsigned char** records, int max) {
    if (!positioned_) return -1;
    const int n = static_cast<int>(std::min<std::int64_t>(max, end_ - next_));
    for (int k = 0; k < n; ++k) records[k] = table_->record(next_ + k);
    next_ += n;
    if (n > 0) set_current(records[n - 1], parms, next_ - 1);
    if (n < max) set_current(nullptr, parms, -1);  // the group's end, as read_in_group meets it
    return n;
  }
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
  void apply_where();
  void report_order_break(const OrderBreak& at);
  void position_group(std::int64_t group);
  int fail_read(XO_PARMS* parms, int status);
  void set_current(const unsigned char* record, XO_PARMS* parms, std::int64_t row) {
    current_ = record;
    if (record) last_ = record;
    handle_.current = record;
    handle_.flags &= ~kXoError;
    if (!parms) return;
    parms->record = record;
    parms->count = record ? 1 : 0;
    parms->flags &= ~kXoFailed;
    if (record) {
      parms->rid[0] = row;
      parms->obs = row + 1;
    }
  }

  std::shared_ptr<const Table> table_;
  std::function<bool()> where_;  // until applied
  bool filtered_ = false;        // a WHERE condition was applied
  ByPlan by_;
  std::optional<Groups> groups_;
  std::int64_t group_ = -1;  // -1 before the first group
  bool positioned_ = false;  // a group (perhaps an empty one) is current
  bool order_failed_ = false;
  std::int64_t begin_ = 0, end_ = 0, next_ = 0;
  std::int64_t prefetch_ahead_;  // records
  std::int64_t sequential_next_ = 0;
  const unsigned char* current_ = nullptr;
  const unsigned char* last_ = nullptr;
};

inline InputDataSet* DataSet::input(const XO_FILE* file) {
  DataSet* ds = from(file);
  return ds && !ds->output_ ? static_cast<InputDataSet*>(ds) : nullptr;
}

}  // namespace platform::ds
