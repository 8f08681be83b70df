// Runs the model segment over a block of observations at a time, on the
// frame of the compiler block's own executor. A pass goes:
//   start()                     after the pass's start (cmpexi 1)
//   add()                       for each observation, once the input vector
//                               has put its values in the cells, up to
//                               kCapacity observations
//   run()                       runs the plan over the block
//   take(i)                     for each observation of the block in order
// take(i) leaves in every cell of a variable what a run of observation i
// would have left there and returns true; or, for an observation whose run
// meets a value that is not finite (a missing value, a failed operation),
// puts back its input values, sets the variables the run assigns to
// missing as the start of a run does, and returns false: the caller runs
// that observation through the interpreter, which reports it.
#pragma once

#include <vector>

#include "platform/compiler/block_plan.h"

namespace platform::compiler {

class Executor;

class BlockRunner {
 public:
  static constexpr int kCapacity = 128;

  // A character variable the input vector fills.
  struct Text {
    char* place;
    int length;
  };

  explicit BlockRunner(Executor& executor) : e_(executor) {}

  // Prepares a pass: true when the program runs over blocks in it. `frame`
  // and `texts` describe the cells; the plan is made again only when they
  // or the derivative switch change.
  bool start(bool derivatives, BlockFrame frame, std::vector<Text> texts);
  // Takes the observation in the cells as the block's next (the first after
  // a run starts a new block); returns the block's observation count.
  int add();
  void run();
  bool take(int i);

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

  void lay_out();
  double* column(int c) { return columns_ + static_cast<std::size_t>(c) * kCapacity; }
  void restore(int i);
  void put_texts(int i);

  Executor& e_;
  Cached cached_[2];                // without and with derivatives
  const BlockPlan* plan_ = nullptr;
  std::vector<Text> texts_;
  int text_bytes_ = 0;              // of one observation's texts
  std::vector<double> storage_;
  double* columns_ = nullptr;       // plan_->columns columns of kCapacity rows
  std::vector<double> scalars_;
  std::vector<Input> inputs_;       // the uniform values read at each run
  std::vector<int> checked_slots_;  // uniform inputs that are operands
  std::vector<int> checked_columns_;  // observed inputs that are operands
  std::vector<std::pair<int, int>> kept_rows_;     // cell, column
  std::vector<std::pair<int, int>> kept_scalars_;  // cell, slot
  std::vector<char> text_rows_;
  std::vector<unsigned char> bad_;
  int count_ = 0;
  bool ran_ = false;
  bool block_bad_ = false;          // a value common to the block is not finite
  bool scalars_written_ = false;    // the cells hold the block's common values
};

}  // namespace platform::compiler
