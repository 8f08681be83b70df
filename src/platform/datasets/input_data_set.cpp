#include "platform/datasets/input_data_set.h"

#include <algorithm>
#include <string>

#include "platform/datasets/problem.h"
#include "platform/host.h"

namespace platform::ds {
namespace {

int refuse_write(XO_PARMS* parms) {
  if (parms) parms->flags |= kXoFailed;
  return kXoNotOutput;
}

// An out-of-order input ends the step's BY processing: the step's return
// code is at least this.
constexpr int kOrderBreakCode = 1012;
// A data set with no observation to read: a warning.
constexpr int kNothingToReadCode = 4;

}  // namespace

InputDataSet::InputDataSet(std::shared_ptr<const Table> table)
    : DataSet(table->name, false),
      table_(std::move(table)),
      prefetch_ahead_(std::max<std::int64_t>(
          16, 2048 / static_cast<std::int64_t>(std::max<std::size_t>(table_->record_length, 8)))) {
  handle_.flags |= kXoDirect;
  handle_.read = &InputDataSet::read_operation;
  handle_.write = &refuse_write;
}

void InputDataSet::set_by(ByPlan plan) {
  by_ = std::move(plan);
  groups_.reset();
  group_ = -1;
  positioned_ = false;
  order_failed_ = false;
  set_current(nullptr, nullptr, -1);
}

void InputDataSet::set_where(std::function<bool()> accepts) {
  where_ = std::move(accepts);
  set_by(std::move(by_));
}

// The accepted records become this data set's own table; other handles of
// the file keep every record.
void InputDataSet::apply_where() {
  auto kept = std::make_shared<Table>();
  kept->name = table_->name;
  kept->file = table_->file;
  kept->variables = table_->variables;
  kept->record_length = table_->record_length;
  kept->type = table_->type;
  kept->label = table_->label;
  const std::size_t words = table_->record_length / 8;
  for (std::int64_t row = 0; row < table_->rows; ++row) {
    set_current(table_->record(row), nullptr, row);
    if (!where_()) continue;
    const double* record = table_->storage.data() + static_cast<std::size_t>(row) * words;
    kept->storage.insert(kept->storage.end(), record, record + words);
    ++kept->rows;
  }
  set_current(nullptr, nullptr, -1);
  last_ = nullptr;
  where_ = nullptr;
  filtered_ = true;
  table_ = std::move(kept);
}

const Groups& InputDataSet::groups() {
  if (where_) apply_where();
  if (!groups_) groups_ = find_groups(*table_, by_);
  return *groups_;
}

void InputDataSet::position_group(std::int64_t group) {
  const Groups& g = groups();
  group_ = group;
  positioned_ = true;
  begin_ = next_ = g.starts[static_cast<std::size_t>(group)];
  end_ = g.group_end(static_cast<std::size_t>(group));
  set_current(nullptr, nullptr, -1);
}

int InputDataSet::next_group() {
  if (order_failed_) return -1;
  const Groups& g = groups();
  if (group_ + 1 < static_cast<std::int64_t>(g.count())) {
    position_group(group_ + 1);
    return 1;
  }
  positioned_ = false;
  set_current(nullptr, nullptr, -1);
  if (g.order_break) {
    report_order_break(*g.order_break);
    return -1;
  }
  // No group at all: the step has nothing to work on, which it should say.
  if (group_ < 0) {
    log_problem({filtered_ ? msg::kNoneSatisfyWhere : msg::kNoObservations, {name()}});
    Host::current().raise_return_code(kNothingToReadCode);
  }
  group_ = static_cast<std::int64_t>(g.count());
  return 0;
}

int InputDataSet::rewind_group() {
  if (!positioned_) return kXoNoGroup;
  next_ = begin_;
  set_current(nullptr, nullptr, -1);
  return 0;
}

bool InputDataSet::sync_to(const InputDataSet& leader) {
  const unsigned char* key = leader.group_record();
  if (!key) return false;
  const Groups& g = groups();
  for (std::size_t i = 0; i < g.count(); ++i) {
    const unsigned char* rec = table_->record(g.starts[i]);
    bool equal = true;
    for (const ByKey& k : by_.keys) {
      const Variable& mine = table_->variables[static_cast<std::size_t>(k.variable)];
      int theirs = leader.table().find(mine.name);
      if (theirs < 0 ||
          compare_values(mine, rec, leader.table().variables[static_cast<std::size_t>(theirs)],
                         key) != 0) {
        equal = false;
        break;
      }
    }
    if (equal) {
      position_group(static_cast<std::int64_t>(i));
      return true;
    }
  }
  if (g.order_break) {
    report_order_break(*g.order_break);
    return false;
  }
  // No group has these values: an empty group.
  positioned_ = true;
  begin_ = end_ = next_ = 0;
  set_current(nullptr, nullptr, -1);
  return true;
}

void InputDataSet::report_order_break(const OrderBreak& at) {
  order_failed_ = true;
  const ByKey& key = by_.keys[at.key];
  const Variable& v = table_->variables[static_cast<std::size_t>(key.variable)];
  log_problem({msg::kNotSorted,
               {name(), key.descending ? "descending" : "ascending", v.name,
                std::to_string(at.row + 1), value_text(v, table_->record(at.row)),
                std::to_string(at.row), value_text(v, table_->record(at.row - 1))}});
  Host::current().raise_return_code(kOrderBreakCode);
}

int InputDataSet::fail_read(XO_PARMS* parms, int status) {
  set_current(nullptr, parms, -1);
  handle_.flags |= kXoError;
  parms->flags |= kXoFailed;
  return status;
}

int InputDataSet::open_sequential(XO_PARMS* parms) {
  if (where_) apply_where();
  sequential_next_ = 0;
  set_current(nullptr, parms, -1);
  parms->opcode = kXoOpen;
  return 0;
}

int InputDataSet::read_sequential(XO_PARMS* parms) {
  if (where_) apply_where();
  if (sequential_next_ >= table_->rows) {
    set_current(nullptr, parms, -1);
    return kXoEnd;
  }
  set_current(table_->record(sequential_next_), parms, sequential_next_);
  ++sequential_next_;
  return 0;
}

const unsigned char* InputDataSet::group_record() const {
  return positioned_ && begin_ < end_ ? table_->record(begin_) : nullptr;
}

int InputDataSet::read_operation(XO_PARMS* parms) {
  if (!parms) return kXoBadArgument;
  InputDataSet* ds = DataSet::input(parms->file);
  if (!ds) {
    parms->flags |= kXoFailed;
    return DataSet::from(parms->file) ? kXoNotInput : kXoBadHandle;
  }
  switch (parms->opcode) {
    case kXoOpen:
      return ds->open_sequential(parms);
    case kXoNext:
      return parms->flags & kXoByGroup ? ds->read_in_group(parms) : ds->read_sequential(parms);
    default:
      parms->flags |= kXoFailed;
      return kXoBadRequest;
  }
}

}  // namespace platform::ds
