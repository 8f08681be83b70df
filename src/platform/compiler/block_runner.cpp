#include "platform/compiler/block_runner.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "host/missing.h"
#include "platform/compiler/block_kernels.h"
#include "platform/compiler/executor.h"
#include "platform/compiler/fp_guard.h"

namespace platform::compiler {
namespace {

inline bool finite(double v) { return __builtin_isfinite(v); }

}  // namespace

bool BlockRunner::start(int derivatives) {
  Cached& c = cached_[std::clamp(derivatives, kNoDerivatives, kAllDerivatives)];
  if (!c.made || !(c.frame == frame_)) {
    c.made = true;
    c.frame = frame_;
    c.qualifies = plan_block(e_.program(), derivatives, c.frame, &c.plan);
    if (laid_out_ == &c.plan) laid_out_ = nullptr;
  }
  plan_ = c.qualifies ? &c.plan : nullptr;
  if (!plan_) return false;
  e_.runs_level(derivatives);
  if (laid_out_ != plan_) lay_out();
  // Variables the run may leave unassigned are missing, as at the start of
  // every run; the ones it assigns are set by take().
  e_.prepare_observation();
  count_ = 0;
  return true;
}

void BlockRunner::lay_out() {
  const BlockPlan& p = *plan_;
  // Columns start on a 64-byte boundary.
  storage_.resize(static_cast<std::size_t>(p.columns) * kCapacity + 8);
  const auto address = reinterpret_cast<std::uintptr_t>(storage_.data());
  columns_ = storage_.data() + ((64 - address % 64) % 64) / sizeof(double);
  scalars_.assign(static_cast<std::size_t>(p.scalars), 0.0);
  bad_.assign(kCapacity, 0);
  const Cached& cached = *std::find_if(std::begin(cached_), std::end(cached_),
                                       [this](const Cached& c) { return &c.plan == plan_; });
  const BlockFrame& frame = cached.frame;
  std::unordered_map<int, double*> places;
  for (std::size_t k = 0; k < frame.externals.size(); ++k) places.emplace(frame.externals[k], frame.places[k]);
  inputs_.clear();
  checked_slots_.clear();
  checked_columns_.clear();
  for (const BlockValue& v : p.values) {
    if (v.source == BlockSource::Computed) continue;
    if (v.varying) {
      if (v.operand) checked_columns_.push_back(v.index);
      continue;
    }
    const double* from = v.source == BlockSource::External ? places.at(v.cell)
                         : v.source == BlockSource::Frame  ? e_.cells() + v.cell
                                                           : nullptr;
    inputs_.push_back({v.index, from});
    if (v.operand) checked_slots_.push_back(v.index);
  }
  kept_rows_.clear();
  kept_scalars_.clear();
  for (const auto& [cell, value] : p.kept) {
    const BlockValue& v = p.values[static_cast<std::size_t>(value)];
    (v.varying ? kept_rows_ : kept_scalars_).emplace_back(cell, v.index);
  }
  texts_ = frame.texts;
  text_bytes_ = 0;
  for (const auto& [place, length] : texts_) text_bytes_ += length;
  text_rows_.resize(static_cast<std::size_t>(text_bytes_) * kCapacity);
  gathers_.clear();
  for (std::size_t k = 0; k < p.observed.size(); ++k)
    gathers_.push_back({e_.cells() + p.values[static_cast<std::size_t>(p.observed[k])].cell, column(static_cast<int>(k))});
  bind_steps();
  laid_out_ = plan_;
}

// Each varying operation with the places of its result and operands, and
// the kernel for their kinds.
void BlockRunner::bind_steps() {
  static const double kNothing = 0;
  const BlockPlan& p = *plan_;
  const auto place = [&](int v) -> const double* {
    if (v < 0) return &kNothing;
    const BlockValue& value = p.values[static_cast<std::size_t>(v)];
    return value.varying ? column(value.index) : &scalars_[static_cast<std::size_t>(value.index)];
  };
  const auto varying = [&](int v) { return v >= 0 && p.values[static_cast<std::size_t>(v)].varying; };
  many_places_.clear();
  std::vector<bool> many_columns;
  for (const BlockOp& op : p.varying_ops)
    if (op.op == Op::CallN)
      for (int k = 0; k < op.y; ++k) {
        const int v = p.args[static_cast<std::size_t>(op.x + k)];
        many_places_.push_back(place(v));
        many_columns.push_back(varying(v));
      }
  many_columns_ = std::make_unique<bool[]>(many_columns.size() + 1);
  std::copy(many_columns.begin(), many_columns.end(), many_columns_.get());
  steps_.clear();
  std::size_t next_many = 0;
  for (const BlockOp& op : p.varying_ops) {
    BlockStep step;
    step.op = op;
    step.r = column(p.values[static_cast<std::size_t>(op.result)].index);
    step.f = &function_table()[op.fn];
    if (op.op == Op::CallN) {
      step.args = many_places_.data() + next_many;
      step.varying = many_columns_.get() + next_many;
      next_many += static_cast<std::size_t>(op.y);
      step.kernel = block_kernel(op.op, false, false, false, true);
    } else {
      step.x = place(op.x);
      step.y = place(op.y);
      step.z = place(op.z);
      step.kernel = block_kernel(op.op, varying(op.x), varying(op.y), varying(op.z), op.checked);
    }
    steps_.push_back(step);
  }
}

int BlockRunner::fill(int (*next)(void* arg), void* arg) {
  count_ = 0;
  while (count_ < kCapacity && next(arg)) {
    for (const Gather& g : gathers_) g.to[count_] = *g.from;
    if (text_bytes_ > 0) {
      char* to = text_rows_.data() + static_cast<std::size_t>(count_) * static_cast<std::size_t>(text_bytes_);
      for (const auto& [place, length] : texts_) {
        std::memcpy(to, place, static_cast<std::size_t>(length));
        to += length;
      }
    }
    ++count_;
  }
  return count_;
}

void BlockRunner::fill_records(const unsigned char* const* records, int n, const std::vector<RecordCopy>& copies) {
  for (const Gather& g : gathers_) {
    const auto copy = std::find_if(copies.begin(), copies.end(), [&](const RecordCopy& c) { return c.cell == g.from; });
    if (copy == copies.end()) {  // a cell the vector does not move keeps its value
      std::fill(g.to, g.to + n, *g.from);
      continue;
    }
    for (int i = 0; i < n; ++i) std::memcpy(g.to + i, records[i] + copy->offset, sizeof(double));
  }
  count_ = n;
}

const double* BlockRunner::value_place(const double* cell, long* stride) {
  const auto address = reinterpret_cast<std::uintptr_t>(cell);
  const auto first = reinterpret_cast<std::uintptr_t>(e_.cells());
  *stride = 0;
  if (!plan_ || address < first || address >= first + sizeof(double) * static_cast<std::size_t>(e_.program().ncells))
    return cell;
  const auto k = static_cast<int>((address - first) / sizeof(double));
  for (const auto& [c, col] : kept_rows_)
    if (c == k) {
      *stride = 1;
      return column(col);
    }
  for (const auto& [c, slot] : kept_scalars_)
    if (c == k) return &scalars_[static_cast<std::size_t>(slot)];
  return cell;
}

const unsigned char* BlockRunner::run() {
  const BlockPlan& p = *plan_;
  const int n = (count_ + kBlockLanes - 1) / kBlockLanes * kBlockLanes;
  // Rows past the last observation repeat the first, so that they compute
  // ordinary values; nothing reads them.
  for (const Gather& g : gathers_) std::fill(g.to + count_, g.to + n, g.to[0]);
  std::fill(bad_.begin(), bad_.begin() + n, 0);
  for (int c : checked_columns_)
    for (int i = 0; i < count_; ++i) bad_[static_cast<std::size_t>(i)] |= !finite(column(c)[i]);
  // The cells of external values hold what each run copies into them.
  double* cells = e_.cells();
  for (const Executor::External& x : e_.externals()) cells[x.cell] = *x.place;
  for (const Input& in : inputs_) scalars_[static_cast<std::size_t>(in.slot)] = in.from ? *in.from : missing_value();
  block_bad_ = false;
  for (int s : checked_slots_) block_bad_ = block_bad_ || !finite(scalars_[static_cast<std::size_t>(s)]);
  const auto scalar = [&](int v) {
    return v < 0 ? 0.0 : scalars_[static_cast<std::size_t>(p.values[static_cast<std::size_t>(v)].index)];
  };
  FloatingPointGuard guard;
  for (const BlockOp& op : p.uniform_ops) {
    if (block_bad_) break;
    if (op.op == Op::CallN) {
      many_row_.clear();
      for (int k = 0; k < op.y; ++k) many_row_.push_back(scalar(p.args[static_cast<std::size_t>(op.x + k)]));
    }
    bool ok = true;
    const double y = op.op == Op::CallN ? 0 : scalar(op.y);
    scalars_[static_cast<std::size_t>(p.values[static_cast<std::size_t>(op.result)].index)] =
        block_value(op, scalar(op.x), y, scalar(op.z), many_row_.data(), &ok);
    block_bad_ = !ok;
  }
  if (!block_bad_)
    for (const BlockStep& step : steps_) step.kernel(step, n, bad_.data());
  if (block_bad_) std::fill(bad_.begin(), bad_.begin() + count_, 1);
  scalars_written_ = false;
  return bad_.data();
}

bool BlockRunner::take(int i) {
  if (block_bad_ || bad_[static_cast<std::size_t>(i)]) {
    restore(i);
    scalars_written_ = false;
    return false;
  }
  double* c = e_.cells();
  for (const auto& [cell, col] : kept_rows_) c[cell] = column(col)[i];
  if (!scalars_written_) {
    for (const auto& [cell, slot] : kept_scalars_) c[cell] = scalars_[static_cast<std::size_t>(slot)];
    scalars_written_ = true;
  }
  put_texts(i);
  return true;
}

void BlockRunner::restore(int i) {
  e_.prepare_observation();
  const BlockPlan& p = *plan_;
  double* c = e_.cells();
  for (std::size_t k = 0; k < p.observed.size(); ++k)
    c[p.values[static_cast<std::size_t>(p.observed[k])].cell] = column(static_cast<int>(k))[i];
  put_texts(i);
}

void BlockRunner::put_texts(int i) {
  if (text_bytes_ == 0) return;
  const char* from = text_rows_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(text_bytes_);
  for (const auto& [place, length] : texts_) {
    std::memcpy(place, from, static_cast<std::size_t>(length));
    from += length;
  }
}

}  // namespace platform::compiler
