// The interpreter: the innermost loop of every data pass. Dispatch is a
// computed goto per instruction; operands are cell indices into the frame.
// Arithmetic runs at full speed and looks at its result only once: a result
// that is not finite sends it to the slow path, which tells a missing
// operand (a missing result, counted) from a failed operation (a missing
// result and an error at the operation's place). No raw NaN or infinity is
// ever stored in a cell.
#include <cmath>

#include "host/missing.h"
#include "platform/compiler/executor.h"
#include "platform/compiler/fp_guard.h"
#include "platform/compiler/functions.h"
#include "platform/compiler/values.h"

namespace platform::compiler {
namespace {

inline bool finite(double r) { return __builtin_isfinite(r); }

// The element an Index instruction chain computed, as an index into the array.
inline std::size_t element(double index) { return static_cast<std::size_t>(index); }

}  // namespace

double Executor::arith_fault(const Instr& in, double x, double y, double r) {
  if (std::isnan(x) || std::isnan(y)) {
    count_missing(in.site);
    return missing_value();
  }
  switch (in.op) {
    case Op::Div:
      fail(in.site, y == 0 ? RunError::DivideByZero : RunError::Overflow);
      break;
    case Op::Pow:
      fail(in.site, std::isnan(r) || x == 0 ? RunError::OperatorArgument : RunError::Overflow);
      break;
    default:
      fail(in.site, RunError::Overflow);
      break;
  }
  return missing_value();
}

// A product and a sum in one instruction: a missing operand gives one
// missing value, any other failure is an overflow.
double Executor::fused_fault(const Instr& in, double x, double y, double z) {
  if (std::isnan(x) || std::isnan(y) || std::isnan(z)) {
    count_missing(in.site);
    return missing_value();
  }
  fail(in.site, RunError::Overflow);
  return missing_value();
}

double Executor::call_fault(const Instr& in, const double* args, int n, double r) {
  (void)r;
  for (int i = 0; i < n; ++i)
    if (std::isnan(args[i])) {
      count_missing(in.site);
      return missing_value();
    }
  fail(in.site, RunError::FunctionArgument);
  return missing_value();
}

// One run of a segment: the external cells copied in, the code interpreted
// under the floating-point guard, the assigned external cells copied back.
// One function, so that a run costs one call.
int Executor::run(int segment, const RunOptions& options, RunCounts* counts) {
#define RUVA_CMP_LABEL(name, text) &&L_##name,
  static const void* const kTable[] = {RUVA_CMP_OPCODES(RUVA_CMP_LABEL)};
#undef RUVA_CMP_LABEL
  const Program& p = *program_;
  if (segment < 0 || segment >= kSegments || !p.has_segment[segment]) {
    if (counts) *counts = {};
    return kRunNormal;
  }
  const Instr* const code = p.code.data();
  const FunctionDef* const fns = function_table();
  double* const c = c_;
  for (const External& e : externals_) c[e.cell] = *e.place;
  run_errors_ = 0;
  run_missing_ = 0;
  end_site_ = -1;
  if (!errors_.empty()) errors_.clear();
  record_ = options.record_errors;
  const int derivatives = options.derivatives;
  runs_level(derivatives);
  FloatingPointGuard guard;
  const Instr* ip = code + p.entry[segment];
  long loops = 0;
  int depth = 0;
  int result = kRunNormal;

#define DISPATCH() goto* kTable[static_cast<int>(ip->op)]
#define END_RUN(code_) \
  do {                 \
    result = (code_);  \
    goto done;         \
  } while (0)
#define NEXT()  \
  do {          \
    ++ip;       \
    DISPATCH(); \
  } while (0)
#define JUMP_IF(cond)                       \
  do {                                      \
    ip = (cond) ? code + ip->a : ip + 1;    \
    DISPATCH();                             \
  } while (0)
#define ARITH(expr)                                               \
  do {                                                            \
    const double x = c[ip->b], y = c[ip->c];                      \
    double r = (expr);                                            \
    if (__builtin_expect(!finite(r), 0)) r = arith_fault(*ip, x, y, r); \
    c[ip->a] = r;                                                 \
    NEXT();                                                       \
  } while (0)
#define COMPARE(op, holds)                                        \
  do {                                                            \
    const double x = c[ip->b], y = c[ip->c];                      \
    const bool h = __builtin_expect(__builtin_isunordered(x, y), 0) \
                       ? compare_holds(Op::op, x, y) : (holds);   \
    c[ip->a] = h ? 1.0 : 0.0;                                     \
    NEXT();                                                       \
  } while (0)
#define JUMP_UNLESS(op, holds)                                    \
  do {                                                            \
    const double x = c[ip->b], y = c[ip->c];                      \
    const bool h = __builtin_expect(__builtin_isunordered(x, y), 0) \
                       ? compare_holds(Op::op, x, y) : (holds);   \
    JUMP_IF(!h);                                                  \
  } while (0)

  DISPATCH();

L_Halt:
  END_RUN(kRunNormal);
L_Mov:
  c[ip->a] = c[ip->b];
  NEXT();
L_Add:
  ARITH(x + y);
L_Sub:
  ARITH(x - y);
L_Mul:
  ARITH(x * y);
L_Div:
  ARITH(x / y);
L_Pow: {
  const double x = c[ip->b], y = c[ip->c];
  double r = std::pow(x, y);
  // pow(1, NaN) and pow(NaN, 0) are 1: a missing operand must be looked at first.
  if (__builtin_expect(std::isnan(x) || std::isnan(y) || !finite(r), 0)) r = arith_fault(*ip, x, y, r);
  c[ip->a] = r;
  NEXT();
}
L_Sqr: {
  const double x = c[ip->b];
  double r = x * x;
  if (__builtin_expect(!finite(r), 0)) r = arith_fault(*ip, x, 0, r);
  c[ip->a] = r;
  NEXT();
}
L_NMul:
  ARITH(-(x * y));
L_MulAdd: {
  const double x = c[ip->b], y = c[ip->c], z = c[ip->d];
  double r = x * y + z;
  if (__builtin_expect(!finite(r), 0)) r = fused_fault(*ip, x, y, z);
  c[ip->a] = r;
  NEXT();
}
L_MulSub: {
  const double x = c[ip->b], y = c[ip->c], z = c[ip->d];
  double r = x * y - z;
  if (__builtin_expect(!finite(r), 0)) r = fused_fault(*ip, x, y, z);
  c[ip->a] = r;
  NEXT();
}
L_SubMul: {
  const double x = c[ip->b], y = c[ip->c], z = c[ip->d];
  double r = z - x * y;
  if (__builtin_expect(!finite(r), 0)) r = fused_fault(*ip, x, y, z);
  c[ip->a] = r;
  NEXT();
}
L_Neg: {
  const double x = c[ip->b];
  if (__builtin_expect(std::isnan(x), 0)) {
    count_missing(ip->site);
    c[ip->a] = missing_value();
  } else {
    c[ip->a] = -x;
  }
  NEXT();
}
L_MinOp: {
  const double x = c[ip->b], y = c[ip->c];
  c[ip->a] = compare_values(x, y) <= 0 ? x : y;
  NEXT();
}
L_MaxOp: {
  const double x = c[ip->b], y = c[ip->c];
  c[ip->a] = compare_values(x, y) >= 0 ? x : y;
  NEXT();
}
L_Eq:
  COMPARE(Eq, x == y);
L_Ne:
  COMPARE(Ne, x != y);
L_Lt:
  COMPARE(Lt, x < y);
L_Le:
  COMPARE(Le, x <= y);
L_Gt:
  COMPARE(Gt, x > y);
L_Ge:
  COMPARE(Ge, x >= y);
L_Not:
  c[ip->a] = truth(c[ip->b]) ? 0.0 : 1.0;
  NEXT();
L_And:
  c[ip->a] = truth(c[ip->b]) && truth(c[ip->c]) ? 1.0 : 0.0;
  NEXT();
L_Or:
  c[ip->a] = truth(c[ip->b]) || truth(c[ip->c]) ? 1.0 : 0.0;
  NEXT();
L_Call1: {
  const double x = c[ip->b];
  double r = fns[ip->d].one(x);
  if (__builtin_expect(!finite(r), 0)) r = call_fault(*ip, &x, 1, r);
  c[ip->a] = r;
  NEXT();
}
L_CallMul:
L_CallNMul: {
  // A function of a product, the commonest argument of EXP in a model.
  const double x = c[ip->b], y = c[ip->c];
  double arg = x * y;
  if (ip->op == Op::CallNMul) arg = -arg;
  double r;
  if (__builtin_expect(finite(arg), 1)) {
    r = fns[ip->d].one(arg);
    if (__builtin_expect(!finite(r), 0)) r = call_fault(*ip, &arg, 1, r);
  } else {
    r = arith_fault(*ip, x, y, arg);
  }
  c[ip->a] = r;
  NEXT();
}
L_Call2: {
  const double args[2] = {c[ip->b], c[ip->c]};
  double r = (std::isnan(args[0]) || std::isnan(args[1])) ? NAN : fns[ip->d].two(args[0], args[1]);
  if (__builtin_expect(!finite(r), 0)) r = call_fault(*ip, args, 2, r);
  c[ip->a] = r;
  NEXT();
}
L_CallN: {
  const FunctionDef& f = fns[ip->d];
  const double* args = c + ip->b;
  const int n = ip->c;
  double r;
  if (f.takes_missing) {
    r = f.many(args, n);
  } else {
    bool any_missing = false;
    for (int i = 0; i < n; ++i) any_missing |= std::isnan(args[i]);
    r = any_missing ? NAN : f.many(args, n);
    if (!finite(r)) r = call_fault(*ip, args, n, r);
  }
  c[ip->a] = r;
  NEXT();
}
L_Jmp:
  ip = code + ip->a;
  DISPATCH();
L_Loop:
  if (__builtin_expect(++loops > kLoopLimit, 0)) {
    fail(ip->site, RunError::LoopLimit);
    end_site_ = ip->site;
    END_RUN(kRunLimit);
  }
  ip = code + ip->a;
  DISPATCH();
L_Jf:
  JUMP_IF(!truth(c[ip->b]));
L_Jt:
  JUMP_IF(truth(c[ip->b]));
L_SkipDer:
  JUMP_IF(derivatives <= ip->b);
L_JfEq:
  JUMP_UNLESS(Eq, x == y);
L_JfNe:
  JUMP_UNLESS(Ne, x != y);
L_JfLt:
  JUMP_UNLESS(Lt, x < y);
L_JfLe:
  JUMP_UNLESS(Le, x <= y);
L_JfGt:
  JUMP_UNLESS(Gt, x > y);
L_JfGe:
  JUMP_UNLESS(Ge, x >= y);
L_JumpTable:
  ip = code + p.jump_tables[static_cast<std::size_t>(ip->c)][element(c[ip->b])];
  DISPATCH();
L_DoCheck: {
  const double start = c[ip->b], end = c[ip->c], by = c[ip->d];
  if (std::isnan(start) || std::isnan(end) || std::isnan(by) || by == 0) {
    fail(ip->site, RunError::DoLoop);
    end_site_ = ip->site;
    END_RUN(kRunAbandoned);
  }
  NEXT();
}
L_DoTest: {
  const double v = c[ip->b], end = c[ip->c], by = c[ip->d];
  JUMP_IF(std::isnan(v) || (by > 0 ? v > end : v < end));
}
L_Index: {
  const ArrayShape& a = p.arrays[static_cast<std::size_t>(ip->c)];
  const auto k = static_cast<std::size_t>(ip->d);
  const double s = c[ip->b];
  const double i = std::isnan(s) ? -1 : std::trunc(s) - static_cast<double>(a.lower[k]);
  if (__builtin_expect(!(i >= 0 && i < static_cast<double>(a.extent[k])), 0)) {
    fail(ip->site, RunError::Subscript);
    end_site_ = ip->site;
    END_RUN(kRunSubscript);
  }
  c[ip->a] = k == 0 ? i : c[ip->a] * static_cast<double>(a.extent[k]) + i;
  NEXT();
}
L_LoadX:
  c[ip->a] = c[p.arrays[static_cast<std::size_t>(ip->c)].elements[element(c[ip->b])]];
  NEXT();
L_StoreX:
  c[p.arrays[static_cast<std::size_t>(ip->c)].elements[element(c[ip->b])]] = c[ip->a];
  NEXT();
L_Link:
  if (depth == kLinkDepth) {
    fail(ip->site, RunError::LinkDepth);
    end_site_ = ip->site;
    END_RUN(kRunLimit);
  }
  link_stack_[depth++] = static_cast<int>(ip - code) + 1;
  ip = code + ip->a;
  DISPATCH();
L_Return:
  if (depth == 0) END_RUN(kRunNormal);
  ip = code + link_stack_[--depth];
  DISPATCH();
L_Delete:
  END_RUN(kRunDeleted);
L_Stop:
  end_site_ = ip->site;
  END_RUN(kRunStopped);
L_Abort:
  fail(ip->site, RunError::Abort);
  end_site_ = ip->site;
  END_RUN(kRunAborted);
L_NoWhen:
  fail(ip->site, RunError::NoWhen);
  end_site_ = ip->site;
  END_RUN(kRunAbandoned);
L_Put:
  if (options.put) put(ip->d);
  NEXT();
L_CMov:
L_CCat:
L_CCmp:
L_N2C:
L_C2N:
L_CFn:
L_CSubstr:
L_CLength:
L_CIndex:
L_CMissing:
L_CLoadX:
L_CStoreX:
  char_op(*ip);
  NEXT();

done:
  for (const External& e : stored_externals_) *e.place = c[e.cell];
  if (counts) *counts = {run_errors_, run_missing_};
  return result;

#undef END_RUN
#undef DISPATCH
#undef NEXT
#undef JUMP_IF
#undef ARITH
#undef COMPARE
#undef JUMP_UNLESS
}

}  // namespace platform::compiler
