#include "platform/compiler/values.h"

#include "platform/compiler/functions.h"

namespace platform::compiler {

Op binary_op_code(language::BinaryOp op) {
  using language::BinaryOp;
  switch (op) {
    case BinaryOp::Power: return Op::Pow;
    case BinaryOp::Min: return Op::MinOp;
    case BinaryOp::Max: return Op::MaxOp;
    case BinaryOp::Multiply: return Op::Mul;
    case BinaryOp::Divide: return Op::Div;
    case BinaryOp::Add: return Op::Add;
    case BinaryOp::Subtract: return Op::Sub;
    case BinaryOp::Eq: return Op::Eq;
    case BinaryOp::Ne: return Op::Ne;
    case BinaryOp::Lt: return Op::Lt;
    case BinaryOp::Le: return Op::Le;
    case BinaryOp::Gt: return Op::Gt;
    case BinaryOp::Ge: return Op::Ge;
    case BinaryOp::And: return Op::And;
    case BinaryOp::Or: return Op::Or;
    default: return Op::Halt;
  }
}

bool fold_binary(Op op, double x, double y, double* result) {
  double r = 0;
  switch (op) {
    case Op::Eq: case Op::Ne: case Op::Lt: case Op::Le: case Op::Gt: case Op::Ge:
      *result = compare_holds(op, x, y) ? 1 : 0;
      return true;
    case Op::And: *result = truth(x) && truth(y); return true;
    case Op::Or: *result = truth(x) || truth(y); return true;
    case Op::MinOp: *result = compare_values(x, y) <= 0 ? x : y; return true;
    case Op::MaxOp: *result = compare_values(x, y) >= 0 ? x : y; return true;
    default: break;
  }
  if (std::isnan(x) || std::isnan(y)) return false;
  switch (op) {
    case Op::Add: r = x + y; break;
    case Op::Sub: r = x - y; break;
    case Op::Mul: r = x * y; break;
    case Op::Div: r = x / y; break;
    case Op::Pow: r = std::pow(x, y); break;
    default: return false;
  }
  if (!std::isfinite(r)) return false;
  *result = r;
  return true;
}

double call_function(int id, const double* args, int n) {
  const FunctionDef& f = function_def(id);
  if (n == 1 && f.one) return f.one(args[0]);
  if (n == 2 && f.two) return f.two(args[0], args[1]);
  return f.many ? f.many(args, n) : std::nan("");
}

}  // namespace platform::compiler
