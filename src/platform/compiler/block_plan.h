// The model segment of a program as one straight sequence of operations on
// values, so that it can run over a block of observations at a time: each
// operation once over the whole block instead of every operation once per
// observation. Only a program whose run for one observation depends on that
// observation's input values alone qualifies: no branch that depends on a
// value, no loop, array subscript, PUT or character operation, no retained
// value, and no variable read before the run assigns it. A LINK to a later
// label is followed into its routine and back.
//
// The plan keeps the interpreter's operations and their order for every
// value; it computes a value that several places compute alike only once
// (the same operation of the same operands gives the same bits), and it
// computes a value that depends on no observation once per block.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/compiler/bytecode.h"

namespace platform::compiler {

enum class BlockSource : std::uint8_t {
  Computed,  // an operation of the plan
  Observed,  // a cell the input vector fills: one value per observation
  Frame,     // a cell that holds one value for the whole pass (a constant)
  External,  // a cell whose value lives in storage the procedure gave it
  Missing,   // a variable read before the run assigns it: missing at every run
};

struct BlockValue {
  BlockSource source = BlockSource::Computed;
  bool varying = false;  // one value per observation, else one per block
  bool operand = false;  // read by an operation: it must be finite
  int index = 0;         // varying: its column; otherwise its scalar slot
  int cell = -1;         // Observed, Frame, External: the frame cell
};

struct BlockOp {
  Op op = Op::Halt;
  int fn = 0;       // the function of a call
  int result = 0;   // value
  int x = -1, y = -1, z = -1;  // operand values; CallN: `args` from x, y of them
  // Whether the result must be looked at: not when every operation that
  // reads it gives a value that is not finite from one that is not (a sum,
  // a product, a quotient's numerator), so that a later look sees it.
  bool checked = true;
};

struct BlockPlan {
  std::vector<BlockValue> values;
  std::vector<BlockOp> uniform_ops;  // once per block, in program order
  std::vector<BlockOp> varying_ops;  // over every observation, in program order
  std::vector<int> args;             // operand values of CallN operations
  std::vector<int> observed;         // the Observed values, in gathering order
  // Cells that keep a value after a run (variables the run assigns and the
  // observed cells), with the value each holds.
  std::vector<std::pair<int, int>> kept;
  int columns = 0;
  int scalars = 0;
};

// What the plan needs to know of the frame the program runs on.
struct BlockFrame {
  std::vector<int> observed;        // numeric cells the input vector fills
  std::vector<int> externals;       // cells whose values live elsewhere, the same all pass
  std::vector<double*> places;      // where each of them lives
  std::vector<int> changing;        // cells whose values change from one observation to the next
  std::vector<bool> temporary;      // by cell: a temporary, whose value no one reads after a run
  std::vector<std::pair<char*, int>> texts;  // character storage the input vector fills, and its length

  // Empties the description for a new pass; the temporaries stay, as they
  // are the same as long as the program is.
  void clear() {
    observed.clear();
    externals.clear();
    places.clear();
    changing.clear();
    texts.clear();
  }
  bool operator==(const BlockFrame&) const = default;
};

// Plans segment 0 with the derivative statements of a level
// (RunOptions::derivatives); false when the program does not qualify.
bool plan_block(const Program& p, int derivatives, const BlockFrame& frame, BlockPlan* plan);

}  // namespace platform::compiler
