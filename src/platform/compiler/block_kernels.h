// The operations of a block plan over the rows of a block of observations.
// Every row gets exactly the operations the interpreter applies for one
// observation with finite operands; a row whose result (or a function's
// argument) is not finite is marked, and the caller runs that observation
// through the interpreter, which gives the missing values and the errors.
#pragma once

#include "platform/compiler/block_plan.h"

namespace platform::compiler {

// Rows are processed in groups of this many; a block's row count is rounded
// up to a multiple of it.
inline constexpr int kBlockLanes = 2;

// An operand: one value per row, or one value for every row.
struct BlockOperand {
  const double* p = nullptr;
  bool varying = false;
};

// One value of an operation, as the interpreter computes it from finite
// operands; *finite is false when the result or a function's argument is
// not finite. CallN takes `args`.
double block_value(const BlockOp& op, double x, double y, double z, const double* args, bool* finite);

// The operation over rows [0, n), n a multiple of kBlockLanes, into r; bad[i]
// set for each row i whose result is not finite. CallN takes its operands
// from `args` (op.y of them).
void block_rows(const BlockOp& op, double* r, BlockOperand x, BlockOperand y, BlockOperand z,
                const BlockOperand* args, int n, unsigned char* bad);

}  // namespace platform::compiler
