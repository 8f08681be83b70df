// The operations of a block plan over the rows of a block of observations.
// Every row gets exactly the operations the interpreter applies for one
// observation with finite operands; a row whose result (or a function's
// argument) is not finite is marked, and the caller runs that observation
// through the interpreter, which gives the missing values and the errors.
#pragma once

#include "platform/compiler/block_plan.h"
#include "platform/compiler/functions.h"

namespace platform::compiler {

// Rows are processed in groups of this many; a block's row count is rounded
// up to a multiple of it.
inline constexpr int kBlockLanes = 4;

struct BlockStep;
// Runs a step over rows [0, n), n a multiple of kBlockLanes; sets bad[i] for
// each row i whose result is not finite.
using BlockKernel = void (*)(const BlockStep& s, int n, unsigned char* bad);

// One operation of a plan, bound to its places: a column of a block's rows,
// or one value for every row.
struct BlockStep {
  BlockKernel kernel = nullptr;
  BlockOp op;
  double* r = nullptr;
  const double* x = nullptr;
  const double* y = nullptr;
  const double* z = nullptr;
  const FunctionDef* f = nullptr;
  const double* const* args = nullptr;  // CallN: the operands' places
  const bool* varying = nullptr;        // CallN: which of them are columns
};

// The kernel of an operation whose operands x, y, z are columns (true) or
// single values (false); `checked`: whether its results are looked at.
BlockKernel block_kernel(Op op, bool x, bool y, bool z, bool checked);
// The same with arithmetic kernels of `lanes` rows at once: 2 (SSE2), or 4
// (AVX2, only where the processor has it); block_kernel takes the widest.
BlockKernel block_kernel_of_width(Op op, bool x, bool y, bool z, bool checked, int lanes);
// Whether the processor runs the kernels of four rows at once.
bool block_kernels_four_wide();

// One value of an operation, as the interpreter computes it from finite
// operands; *finite is false when the result or a function's argument is
// not finite. CallN takes its operands from `args`.
double block_value(const BlockOp& op, double x, double y, double z, const double* args, bool* finite);

}  // namespace platform::compiler
