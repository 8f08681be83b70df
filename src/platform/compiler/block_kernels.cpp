#include "platform/compiler/block_kernels.h"

#include <cmath>
#include <cstring>

#include "platform/compiler/functions.h"
#include "platform/compiler/values.h"

namespace platform::compiler {
namespace {

// Two rows at once (an SSE2 register); each lane takes the scalar operation (no contraction,
// no reordering), so every row gets the bits the interpreter gives it.
using Lanes = double __attribute__((vector_size(kBlockLanes * sizeof(double))));

inline bool finite(double r) { return __builtin_isfinite(r); }

template <bool Varying>
inline Lanes lanes(const double* p, int i) {
  Lanes v;
  if constexpr (Varying) {
    std::memcpy(&v, p + i, sizeof v);
  } else {
    const double x = *p;
    v = Lanes{x, x};
  }
  return v;
}

// r = f(x, y, z) lane by lane; returns false when some result is not finite
// (r - r is 0 for a finite r and NaN otherwise).
template <bool X, bool Y, bool Z, class F>
bool map_lanes(double* r, const double* x, const double* y, const double* z, int n, F f) {
  Lanes check{};
  for (int i = 0; i < n; i += kBlockLanes) {
    const Lanes v = f(lanes<X>(x, i), lanes<Y>(y, i), lanes<Z>(z, i));
    std::memcpy(r + i, &v, sizeof v);
    check += v - v;
  }
  for (int k = 0; k < kBlockLanes; ++k)
    if (check[k] != 0) return false;
  return true;
}

template <class F>
bool map_operands(double* r, BlockOperand x, BlockOperand y, BlockOperand z, int n, F f) {
  static const double kUnused = 0;
  const double* px = x.p ? x.p : &kUnused;
  const double* py = y.p ? y.p : &kUnused;
  const double* pz = z.p ? z.p : &kUnused;
  switch ((x.varying ? 4 : 0) | (y.varying ? 2 : 0) | (z.varying ? 1 : 0)) {
    case 0: return map_lanes<false, false, false>(r, px, py, pz, n, f);
    case 1: return map_lanes<false, false, true>(r, px, py, pz, n, f);
    case 2: return map_lanes<false, true, false>(r, px, py, pz, n, f);
    case 3: return map_lanes<false, true, true>(r, px, py, pz, n, f);
    case 4: return map_lanes<true, false, false>(r, px, py, pz, n, f);
    case 5: return map_lanes<true, false, true>(r, px, py, pz, n, f);
    case 6: return map_lanes<true, true, false>(r, px, py, pz, n, f);
    default: return map_lanes<true, true, true>(r, px, py, pz, n, f);
  }
}

// The arithmetic operations, lane by lane; false for the others.
bool arithmetic(Op op, double* r, BlockOperand x, BlockOperand y, BlockOperand z, int n, bool* finite_rows) {
  bool done = true;
  auto run = [&](auto f) { *finite_rows = map_operands(r, x, y, z, n, f); };
  switch (op) {
    case Op::Add: run([](Lanes a, Lanes b, Lanes) { return a + b; }); break;
    case Op::Sub: run([](Lanes a, Lanes b, Lanes) { return a - b; }); break;
    case Op::Mul: run([](Lanes a, Lanes b, Lanes) { return a * b; }); break;
    case Op::Div: run([](Lanes a, Lanes b, Lanes) { return a / b; }); break;
    case Op::Sqr: run([](Lanes a, Lanes, Lanes) { return a * a; }); break;
    case Op::NMul: run([](Lanes a, Lanes b, Lanes) { return -(a * b); }); break;
    case Op::MulAdd: run([](Lanes a, Lanes b, Lanes c) { return a * b + c; }); break;
    case Op::MulSub: run([](Lanes a, Lanes b, Lanes c) { return a * b - c; }); break;
    case Op::SubMul: run([](Lanes a, Lanes b, Lanes c) { return c - a * b; }); break;
    case Op::Neg: run([](Lanes a, Lanes, Lanes) { return -a; }); break;
    default: done = false;
  }
  return done;
}

inline double at(BlockOperand o, int i) { return !o.p ? 0.0 : o.varying ? o.p[i] : *o.p; }

}  // namespace

double block_value(const BlockOp& op, double x, double y, double z, const double* args, bool* ok) {
  const FunctionDef& f = function_table()[op.fn];
  double r = 0;
  bool argument_finite = true;
  switch (op.op) {
    case Op::Add: r = x + y; break;
    case Op::Sub: r = x - y; break;
    case Op::Mul: r = x * y; break;
    case Op::Div: r = x / y; break;
    case Op::Pow: r = std::pow(x, y); break;
    case Op::Sqr: r = x * x; break;
    case Op::NMul: r = -(x * y); break;
    case Op::MulAdd: r = x * y + z; break;
    case Op::MulSub: r = x * y - z; break;
    case Op::SubMul: r = z - x * y; break;
    case Op::Neg: r = -x; break;
    case Op::MinOp: r = compare_values(x, y) <= 0 ? x : y; break;
    case Op::MaxOp: r = compare_values(x, y) >= 0 ? x : y; break;
    case Op::Eq: case Op::Ne: case Op::Lt: case Op::Le: case Op::Gt: case Op::Ge:
      r = compare_holds(op.op, x, y) ? 1.0 : 0.0;
      break;
    case Op::Not: r = truth(x) ? 0.0 : 1.0; break;
    case Op::And: r = truth(x) && truth(y) ? 1.0 : 0.0; break;
    case Op::Or: r = truth(x) || truth(y) ? 1.0 : 0.0; break;
    case Op::Call1: r = f.one(x); break;
    case Op::CallMul:
    case Op::CallNMul: {
      double arg = x * y;
      if (op.op == Op::CallNMul) arg = -arg;
      argument_finite = finite(arg);
      r = f.one(arg);
      break;
    }
    case Op::Call2: r = f.two(x, y); break;
    case Op::CallN: r = f.many(args, op.y); break;
    default: argument_finite = false;
  }
  *ok = argument_finite && finite(r);
  return r;
}

void block_rows(const BlockOp& op, double* r, BlockOperand x, BlockOperand y, BlockOperand z,
                const BlockOperand* args, int n, unsigned char* bad) {
  bool all_finite = true;
  if (arithmetic(op.op, r, x, y, z, n, &all_finite)) {
    if (!all_finite)
      for (int i = 0; i < n; ++i) bad[i] |= !finite(r[i]);
    return;
  }
  double row_args[64];
  const bool many = op.op == Op::CallN;
  if (many && op.y > 64) {  // more arguments than a row holds here: every row through the interpreter
    for (int i = 0; i < n; ++i) bad[i] = 1;
    return;
  }
  for (int i = 0; i < n; ++i) {
    if (many)
      for (int k = 0; k < op.y; ++k) row_args[k] = at(args[k], i);
    bool ok = true;
    r[i] = block_value(op, at(x, i), at(y, i), at(z, i), row_args, &ok);
    bad[i] |= !ok;
  }
}

}  // namespace platform::compiler
