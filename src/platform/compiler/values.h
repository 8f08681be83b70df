// The language's value semantics shared by the interpreter and the constant
// folder: truth, the order of values (every missing value below every
// number, the missing values among themselves by kind), and the operators.
#pragma once

#include <cmath>

#include "host/missing.h"
#include "platform/compiler/bytecode.h"
#include "platform/language/ast.h"

namespace platform::compiler {

// The value of a missing-value literal: '.' for ".", '_' for "._", or a
// letter for ".A" to ".Z".
inline double missing_literal_value(char kind) {
  return kind == '.' ? missing_value() : kind == '_' ? underscore_missing_value() : letter_missing_value(kind);
}

// True when the value is neither zero nor missing.
inline bool truth(double v) { return !std::isnan(v) && v != 0; }

// -1, 0 or 1: x below, equal to or above y.
inline int compare_values(double x, double y) {
  const bool mx = std::isnan(x), my = std::isnan(y);
  if (!mx && !my) return (x > y) - (x < y);
  if (mx && my) {
    const int rx = is_missing(x) ? missing_rank(x) + 1 : 0;
    const int ry = is_missing(y) ? missing_rank(y) + 1 : 0;
    return (rx > ry) - (rx < ry);
  }
  return mx ? -1 : 1;
}

// The result of comparison `op` (Eq .. Ge) in that order.
inline bool compare_holds(Op op, double x, double y) {
  const int c = compare_values(x, y);
  switch (op) {
    case Op::Eq: return c == 0;
    case Op::Ne: return c != 0;
    case Op::Lt: return c < 0;
    case Op::Le: return c <= 0;
    case Op::Gt: return c > 0;
    default: return c >= 0;
  }
}

// The instruction of a binary operator; Halt for concatenation, which
// works on text.
Op binary_op_code(language::BinaryOp op);

// Folds a binary operator over two constants. False when the result is not
// a constant the program would compute without a note or an error (a missing
// operand of arithmetic, division by zero, overflow).
bool fold_binary(Op op, double x, double y, double* result);

// The library function `id` over its arguments (for folding).
double call_function(int id, const double* args, int n);

}  // namespace platform::compiler
