#include "platform/compiler/block_kernels.h"

#include <cmath>
#include <cstring>

#include "platform/compiler/values.h"

namespace platform::compiler {
namespace {

inline bool finite(double r) { return __builtin_isfinite(r); }

template <bool Column>
inline double value(const double* p, int i) {
  if constexpr (Column) return p[i];
  return *p;
}

void mark_not_finite(const double* r, int n, unsigned char* bad) {
  for (int i = 0; i < n; ++i) bad[i] |= !finite(r[i]);
}

// The arithmetic kernels twice: two rows at once in SSE2 registers, which
// every x86-64 processor has, and four at once where AVX2 is there. Each
// lane takes the scalar operation (no contraction, no reordering), so that
// every row gets the interpreter's bits either way.
namespace sse2 {
using Lanes = double __attribute__((vector_size(2 * sizeof(double))));
using Bits = long long __attribute__((vector_size(2 * sizeof(long long))));
#include "platform/compiler/block_lanes.inc"
}  // namespace sse2

#if defined(__x86_64__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace avx2 {
using Lanes = double __attribute__((vector_size(4 * sizeof(double))));
using Bits = long long __attribute__((vector_size(4 * sizeof(long long))));
#include "platform/compiler/block_lanes.inc"
}  // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif

BlockKernel arithmetic_kernel(Op op, bool x, bool y, bool z, bool checked, int lanes) {
#if defined(__x86_64__)
  if (lanes == 4) return avx2::arithmetic_kernel(op, x, y, z, checked);
#endif
  (void)lanes;
  return sse2::arithmetic_kernel(op, x, y, z, checked);
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

bool block_kernels_four_wide() {
#if defined(__x86_64__)
  static const bool wide = __builtin_cpu_supports("avx2");
  return wide;
#else
  return false;
#endif
}

BlockKernel block_kernel(Op op, bool x, bool y, bool z, bool checked) {
  return block_kernel_of_width(op, x, y, z, checked, block_kernels_four_wide() ? 4 : 2);
}

BlockKernel block_kernel_of_width(Op op, bool x, bool y, bool z, bool checked, int lanes) {
  if (BlockKernel k = arithmetic_kernel(op, x, y, z, checked, lanes)) return k;
  switch (op) {
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
