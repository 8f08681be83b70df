// Runs the model segment over a block of observations at a time, on the
// frame of the compiler block's own executor. A pass goes:
//   start()                     after the pass's start (cmpexi 1)
//   fill(next, arg)             next(arg) puts each observation's values in
//                               the cells, up to kCapacity observations
//   run()                       runs the plan over the block; marks the
//                               observations whose run meets a value that
//                               is not finite (a missing value, a failed
//                               operation)
//   take(i)                     for the observations of the block in order
// For a marked observation take(i) puts back its input values, sets the
// variables the run assigns to missing as the start of a run does, and
// returns false: the caller runs it through the interpreter, which reports
// it. For another it leaves in every cell of a variable what a run of
// observation i would have left there and returns true; value_place finds
// those values without it.
#pragma once

#include <memory>
#include <vector>

#include "platform/compiler/block_kernels.h"
#include "platform/compiler/block_plan.h"

namespace platform::compiler {

class Executor;

class BlockRunner {
 public:
  static constexpr int kCapacity = 128;

  explicit BlockRunner(Executor& executor) : e_(executor) {}

  // The description of the cells for the next start(), to be filled anew.
  BlockFrame& frame() { return frame_; }
  // Prepares a pass with the derivative statements of a level
  // (RunOptions::derivatives): true when the program runs over blocks in
  // it. The plan and the places are made again only when the frame or the
  // level change.
  bool start(int derivatives);
  // Whether the last start() found the program runs over blocks.
  bool started() const { return plan_ != nullptr; }
  // A pass that does not run over blocks.
  void stop() { plan_ = nullptr; }
  // A new block of the observations next(arg) puts in the cells, until it
  // returns 0 or the block is full; returns the block's observation count.
  int fill(int (*next)(void* arg), void* arg);
  // A cell's value taken from 8 bytes at `offset` of each record.
  struct RecordCopy {
    int offset;
    const void* cell;
  };
  // The block of `n` records whose values an input vector would move into
  // the cells with `copies`: what fill takes when next() makes each record
  // current and moves it, without the per-record calls. Only when
  // takes_records(): fill takes the character values a block observes.
  void fill_records(const unsigned char* const* records, int n, const std::vector<RecordCopy>& copies);
  bool takes_records() const { return text_bytes_ == 0; }
  // One flag per observation of the block: 1 marked, else 0.
  const unsigned char* run();
  bool take(int i);
  // Whether observation i is one of the block's.
  bool holds(int i) const { return i >= 0 && i < count_; }
  // Where the value a cell would hold after each run is, once the block
  // ran: a column (*stride 1) or one place for every observation (0).
  const double* value_place(const double* cell, long* stride);

 private:
  struct Cached {
    bool made = false;
    bool qualifies = false;
    BlockFrame frame;
    BlockPlan plan;
  };
  struct Input {
    int slot;
    const double* from;  // null: the missing value
  };
  struct Gather {
    const double* from;  // the cell
    double* to;          // its column
  };

  void lay_out();
  void bind_steps();
  double* column(int c) { return columns_ + static_cast<std::size_t>(c) * kCapacity; }
  void restore(int i);
  void put_texts(int i);

  Executor& e_;
  BlockFrame frame_;
  Cached cached_[3];                // by level of derivatives
  const BlockPlan* plan_ = nullptr;
  const BlockPlan* laid_out_ = nullptr;  // the plan the places are made for
  std::vector<std::pair<char*, int>> texts_;  // the observed character storage
  int text_bytes_ = 0;              // of one observation's texts
  std::vector<double> storage_;
  double* columns_ = nullptr;       // plan_->columns columns of kCapacity rows
  std::vector<double> scalars_;
  std::vector<Input> inputs_;       // the uniform values read at each run
  std::vector<int> checked_slots_;  // uniform inputs that are operands
  std::vector<int> checked_columns_;  // observed inputs that are operands
  std::vector<Gather> gathers_;       // the observed cells
  std::vector<BlockStep> steps_;      // the varying operations, bound to their places
  std::vector<const double*> many_places_;  // operands of CallN steps
  std::unique_ptr<bool[]> many_columns_;
  std::vector<double> many_row_;      // a uniform CallN's arguments
  std::vector<std::pair<int, int>> kept_rows_;     // cell, column
  std::vector<std::pair<int, int>> kept_scalars_;  // cell, slot
  std::vector<char> text_rows_;
  std::vector<unsigned char> bad_;
  int count_ = 0;
  bool block_bad_ = false;          // a value common to the block is not finite
  bool scalars_written_ = false;    // the cells hold the block's common values
};

}  // namespace platform::compiler
