#include "platform/compiler/block_kernels.h"

#include <cmath>
#include <cstring>

#include "platform/compiler/values.h"

namespace platform::compiler {
namespace {

// Two rows at once (an SSE2 register); each lane takes the scalar operation
// (no contraction, no reordering), so every row gets the interpreter's bits.
using Lanes = double __attribute__((vector_size(2 * sizeof(double))));
using Bits = long long __attribute__((vector_size(2 * sizeof(long long))));
constexpr int kWidth = 2;

inline bool finite(double r) { return __builtin_isfinite(r); }

inline Lanes load(const double* p) {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline Lanes broadcast(const double* p) { return Lanes{*p, *p}; }

template <bool Column>
inline double value(const double* p, int i) {
  if constexpr (Column) return p[i];
  return *p;
}

void mark_not_finite(const double* r, int n, unsigned char* bad) {
  for (int i = 0; i < n; ++i) bad[i] |= !finite(r[i]);
}

// r = F(x, y, z) lane by lane. r - r is +0 for a finite r and NaN otherwise,
// so the OR of its bits is zero when every result is finite (an OR, not a
// sum, so that no long chain of additions paces the loop). The places are
// read once: the result does not overlap the step.
template <class F, bool Check, bool X, bool Y, bool Z>
void lanes_kernel(const BlockStep& s, int n, unsigned char* bad) {
  const double* __restrict x = s.x;
  const double* __restrict y = s.y;
  const double* __restrict z = s.z;
  double* __restrict r = s.r;
  const Lanes ux = broadcast(x), uy = broadcast(y), uz = broadcast(z);
  Bits check{};
  for (int i = 0; i < n; i += kWidth) {
    const Lanes v = F::apply(X ? load(x + i) : ux, Y ? load(y + i) : uy, Z ? load(z + i) : uz);
    std::memcpy(r + i, &v, sizeof v);
    if constexpr (Check) {
      const Lanes d = v - v;
      Bits b;
      std::memcpy(&b, &d, sizeof b);
      check |= b;
    }
  }
  if (Check && (check[0] | check[1]) != 0) mark_not_finite(r, n, bad);
}

#define RUVA_LANES_OP(Name, expr)                                                            \
  struct Name {                                                                              \
    [[gnu::always_inline]] static inline Lanes apply(Lanes a, Lanes b, Lanes c) {            \
      (void)b;                                                                               \
      (void)c;                                                                               \
      return expr;                                                                           \
    }                                                                                        \
  };
RUVA_LANES_OP(AddOp, a + b)
RUVA_LANES_OP(SubOp, a - b)
RUVA_LANES_OP(MulOp, a * b)
RUVA_LANES_OP(DivOp, a / b)
RUVA_LANES_OP(SqrOp, a * a)
RUVA_LANES_OP(NMulOp, -(a * b))
RUVA_LANES_OP(MulAddOp, a * b + c)
RUVA_LANES_OP(MulSubOp, a * b - c)
RUVA_LANES_OP(SubMulOp, c - a * b)
RUVA_LANES_OP(NegOp, -a)
#undef RUVA_LANES_OP

template <class F, bool Check>
BlockKernel lanes_kernel_for(bool x, bool y, bool z) {
  switch ((x ? 4 : 0) | (y ? 2 : 0) | (z ? 1 : 0)) {
    case 0: return &lanes_kernel<F, Check, false, false, false>;
    case 1: return &lanes_kernel<F, Check, false, false, true>;
    case 2: return &lanes_kernel<F, Check, false, true, false>;
    case 3: return &lanes_kernel<F, Check, false, true, true>;
    case 4: return &lanes_kernel<F, Check, true, false, false>;
    case 5: return &lanes_kernel<F, Check, true, false, true>;
    case 6: return &lanes_kernel<F, Check, true, true, false>;
    default: return &lanes_kernel<F, Check, true, true, true>;
  }
}

template <class F>
BlockKernel lanes_kernel_for(bool x, bool y, bool z, bool checked) {
  return checked ? lanes_kernel_for<F, true>(x, y, z) : lanes_kernel_for<F, false>(x, y, z);
}

// A function of one argument, the commonest call of a model.
template <bool X>
void call1_kernel(const BlockStep& s, int n, unsigned char* bad) {
  double (*const f)(double) = s.f->one;
  for (int i = 0; i < n; ++i) {
    const double r = f(value<X>(s.x, i));
    s.r[i] = r;
    bad[i] |= !finite(r);
  }
}

// A function of a product (EXP(-b*x)): the argument is checked too.
template <bool X, bool Y, bool Negate>
void call_product_kernel(const BlockStep& s, int n, unsigned char* bad) {
  double (*const f)(double) = s.f->one;
  for (int i = 0; i < n; ++i) {
    double arg = value<X>(s.x, i) * value<Y>(s.y, i);
    if constexpr (Negate) arg = -arg;
    const double r = f(arg);
    s.r[i] = r;
    bad[i] |= !(finite(arg) && finite(r));
  }
}

template <bool Negate>
BlockKernel call_product_kernel_for(bool x, bool y) {
  if (x && y) return &call_product_kernel<true, true, Negate>;
  if (x) return &call_product_kernel<true, false, Negate>;
  if (y) return &call_product_kernel<false, true, Negate>;
  return &call_product_kernel<false, false, Negate>;
}

inline double at(const double* p, bool column, int i) { return !p ? 0.0 : column ? p[i] : *p; }

// Any other operation, value by value.
template <bool X, bool Y, bool Z>
void value_kernel(const BlockStep& s, int n, unsigned char* bad) {
  for (int i = 0; i < n; ++i) {
    bool ok = true;
    s.r[i] = block_value(s.op, at(s.x, X, i), at(s.y, Y, i), at(s.z, Z, i), nullptr, &ok);
    bad[i] |= !ok;
  }
}

void many_kernel(const BlockStep& s, int n, unsigned char* bad) {
  constexpr int kMost = 64;
  double row[kMost];
  const int count = s.op.y;
  for (int i = 0; i < n; ++i) {
    if (count > kMost) {  // too many arguments to gather here: the interpreter runs the row
      bad[i] = 1;
      continue;
    }
    for (int k = 0; k < count; ++k) row[k] = at(s.args[k], s.varying[k], i);
    bool ok = true;
    s.r[i] = block_value(s.op, 0, 0, 0, row, &ok);
    bad[i] |= !ok;
  }
}

BlockKernel value_kernel_for(bool x, bool y, bool z) {
  switch ((x ? 4 : 0) | (y ? 2 : 0) | (z ? 1 : 0)) {
    case 0: return &value_kernel<false, false, false>;
    case 1: return &value_kernel<false, false, true>;
    case 2: return &value_kernel<false, true, false>;
    case 3: return &value_kernel<false, true, true>;
    case 4: return &value_kernel<true, false, false>;
    case 5: return &value_kernel<true, false, true>;
    case 6: return &value_kernel<true, true, false>;
    default: return &value_kernel<true, true, true>;
  }
}

}  // namespace

BlockKernel block_kernel(Op op, bool x, bool y, bool z, bool checked) {
  switch (op) {
    case Op::Add: return lanes_kernel_for<AddOp>(x, y, z, checked);
    case Op::Sub: return lanes_kernel_for<SubOp>(x, y, z, checked);
    case Op::Mul: return lanes_kernel_for<MulOp>(x, y, z, checked);
    case Op::Div: return lanes_kernel_for<DivOp>(x, y, z, checked);
    case Op::Sqr: return lanes_kernel_for<SqrOp>(x, y, z, checked);
    case Op::NMul: return lanes_kernel_for<NMulOp>(x, y, z, checked);
    case Op::MulAdd: return lanes_kernel_for<MulAddOp>(x, y, z, checked);
    case Op::MulSub: return lanes_kernel_for<MulSubOp>(x, y, z, checked);
    case Op::SubMul: return lanes_kernel_for<SubMulOp>(x, y, z, checked);
    case Op::Neg: return lanes_kernel_for<NegOp>(x, y, z, checked);
    case Op::Call1: return x ? &call1_kernel<true> : &call1_kernel<false>;
    case Op::CallMul: return call_product_kernel_for<false>(x, y);
    case Op::CallNMul: return call_product_kernel_for<true>(x, y);
    case Op::CallN: return &many_kernel;
    default: return value_kernel_for(x, y, z);
  }
}

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

}  // namespace platform::compiler
