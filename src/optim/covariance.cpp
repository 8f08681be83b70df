// Covariance of the estimates under the working constraints (`zoptcv`) and
// projection of a vector onto their null space (`zoptprv`). With no
// independent working row the caller forms the covariance itself.
//
// With A the working rows and the rows of Z spanning their null space,
// the constrained covariance (before scaling by the variance estimate) is
// C = Z'(Z H Z')^-1 Z, the parameter block of the inverse of the bordered
// matrix K = [H A'; A 0]; the constraint block of that inverse, -W, gives
// the multipliers' variances W. `zoptcv` leaves the whole inverse in
// state.hes: rows n + r hold the constraint rows.
//
// By default K is swept, with H + A'RA in place of H (the same inverse but
// for the constraint block, and definite on the directions the constraints
// fix): the parameters with the scaled sweep inverse, then the independent
// constraint rows pivot by pivot. Under the Moore-Penrose option the sweep
// would pseudo-invert H itself, which is not the constrained covariance;
// then C = Z'(Z H Z')+ Z is formed directly, and the constraint block from
// the right inverse Y of A (A Y = I):
// K^-1 = [C, (I - C H) Y; ., -Y'(H - H C H) Y].
//
// Either way the parameters the sweep leaves dependent are flagged '0', and
// so are those the working constraints hold to them, which are no more
// determined: what the flags leave, less the rank of the working rows over
// it, is the number of directions the data and the constraints determine.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "host/services.h"
#include "linalg/dense_products.h"
#include "linalg/orthonormal_span.h"
#include "linalg/packed.h"
#include "linalg/vector_kernels.h"
#include "optim/lq.h"
#include "optim/optimiser_internal.h"

namespace {

using namespace optim;

// A parameter is free when some null-space basis vector moves it.
bool parameter_free(const ZOPTGLOBAL* g, int j) {
  const ZOPTMARQU& mq = *g->state.marqu;
  const int m = nparms(g) - mq.inumconstr;
  for (int i = 0; i < m; ++i)
    if (std::fabs(mq.z[i][j]) > kRoundoff) return true;
  return false;
}

// Parameter j's part on the free directions: column j of the null-space basis.
std::vector<double> free_part(const ZOPTGLOBAL* g, int j) {
  const ZOPTMARQU& mq = *g->state.marqu;
  std::vector<double> v(static_cast<std::size_t>(nparms(g) - mq.inumconstr));
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = mq.z[i][j];
  return v;
}

// With the parameters the sweep leaves dependent held where they are, the
// working constraints may hold others too: those whose free part lies in
// the span of the dependent ones' (to sqrt(SINGULAR=) of its length). Such a
// parameter is no more determined than they are, and the inverse gives it
// a variance of rounding size: (a+b+c)*conc/(K+conc) with b <= c active
// leaves c dependent and b = c held with it, a carrying a + b + c. Flags
// them '0' among the parameter flags; the parameters the constraints alone
// fix keep theirs.
void mark_held_with_dependent(ZOPTGLOBAL* g, char* flags) {
  const int n = nparms(g);
  const double tolerance = std::sqrt(std::max(g->state.swpi->sing, kRoundoff));
  const int m = n - g->state.marqu->inumconstr;
  linalg::OrthonormalSpan dependent(m);
  for (int j = 0; j < n; ++j)
    if (flags[j] != '1') {
      const std::vector<double> v = free_part(g, j);
      dependent.add(v.data(), tolerance * zvenorm(m, 1, v.data()));
    }
  if (dependent.size() == 0) return;
  for (int j = 0; j < n; ++j) {
    if (flags[j] != '1' || !parameter_free(g, j)) continue;
    const std::vector<double> v = free_part(g, j);
    if (dependent.outside(v.data()) <= tolerance * zvenorm(m, 1, v.data())) flags[j] = '0';
  }
}

void zero_fixed_rows(ZOPTGLOBAL* g) {
  const int n = nparms(g);
  for (int j = 0; j < n; ++j)
    if (!parameter_free(g, j))
      for (int i = 0; i < n; ++i) g->state.hes[zisub(j, i)] = 0;
}

// K = [H A'; A 0] from the saved Hessian and the working rows.
void bordered_matrix(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  const ZOPTMARQU& mq = *st.marqu;
  const int n = nparms(g);
  std::memset(st.hes, 0, static_cast<std::size_t>(g->mem.hesl));
  std::copy_n(mq.savhes, static_cast<long>(n) * (n + 1) / 2, st.hes);
  for (int r = 0; r < working_constraints(g); ++r)
    std::copy_n(mq.mat[r], n, st.hes + zisub(n + r, 0));
}

// The curvature along working row a, a'Ha / |a|^4 over the diagonal of H
// (the trace's share when H has none there): the scale of the row's entry
// in the constraint block of the inverse of K.
double row_curvature(const ZOPTGLOBAL* g, int r) {
  const double* a = g->state.marqu->mat[r];
  const double* h = g->state.marqu->savhes;
  const int n = nparms(g);
  double norm = 0, weight = 0, trace = 0;
  for (int j = 0; j < n; ++j) {
    const double d = std::fabs(h[zisub(j, j)]);
    norm += a[j] * a[j], weight += a[j] * a[j] * d, trace += d;
  }
  if (!(norm > 0)) return 0;
  if (!(weight > 0)) weight = trace > 0 ? trace / n * norm : norm;
  return weight / (norm * norm);
}

// H + A'RA, R = diag(rho_r) over the independent working rows r (the
// factorisation's flags), keeps the parameter block and the constraint
// rows' columns of the inverse of K while making H definite on every
// direction the constraints fix: what it leaves singular is exactly what
// Z H Z' does, whatever the number of active constraints, so the scaled
// sweep decides dependence on the free directions alone (a <= b active when
// only a + b enters the model leaves no direction undetermined). rho_r is
// the row's curvature; the constraint block of the inverse comes out less
// R. Sweeps the parameter rows of k (packed, order `order`, H in its
// parameter block) so, the statuses from '0'; false out of the sweep's range.
bool sweep_penalised(ZOPTGLOBAL* g, double* k, int order, double* rho) {
  const ZOPTMARQU& mq = *g->state.marqu;
  ZSWPN* swpi = g->state.swpi;
  const int n = nparms(g);
  for (int r = 0; r < working_constraints(g); ++r) {
    rho[r] = mq.singrowsc[r] == '1' ? row_curvature(g, r) : 0;
    const double* a = mq.mat[r];
    for (int i = 0; i < n && rho[r] > 0; ++i)
      for (int j = 0; j <= i; ++j) k[zisub(i, j)] += rho[r] * a[i] * a[j];
  }
  std::memset(swpi->sweepx, '0', static_cast<std::size_t>(order));
  const char moorep = swpi->moorep;  // the caller's switch would pseudo-invert H itself
  swpi->moorep = 0;
  const int rc = zswpn(k, nullptr, n, order, swpi);
  swpi->moorep = moorep;
  return rc == 0;
}

// The multiplier's variance of working row r, its entry of the constraint
// block negated, is 0 when below SINGULAR= of the row's curvature: what is
// left there is rounding. A bound that holds only a direction the data
// leave undetermined has a multiplier of 0 whatever the data (the gradient
// lies in the range of H, and y'(H - HCH) vanishes with y'(H - HCH)y), so
// its estimate, of the size of the fit's convergence, is 0 too.
void settle_multiplier_variance(ZOPTGLOBAL* g, int r, double curvature) {
  double& w = g->state.hes[zisub(nparms(g) + r, nparms(g) + r)];
  if (std::fabs(w) > g->state.swpi->sing * curvature) return;
  w = 0;
  g->state.marqu->lagrange[r] = 0;
}

// The sweep of K with H + A'RA in its parameter block. The parameters go
// first through the scaled sweep inverse, which leaves unswept those that
// a direction the constraints leave free and the data do not determine
// depends on; then the working rows the factorisation found independent,
// with a two-sided tolerance scaled to the constraint rows, whose pivots
// are of the order of 1/H. False when the matrix is out of the sweep's
// range.
bool sweep_bordered(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZSWPN* swpi = st.swpi;
  const int n = nparms(g);
  const int order = n + working_constraints(g);
  bordered_matrix(g);
  double trace = 0;
  for (int i = 0; i < n; ++i) trace += st.hes[zisub(i, i)];
  double* rho = g->mem.wrk3;
  if (!sweep_penalised(g, st.hes, order, rho)) return false;
  char* flags = swpi->sweepx;
  const double tolerance = -(trace > kSqrtTiny ? 1 / trace : 1) * swpi->sing;
  for (int r = 0; r < working_constraints(g); ++r)
    if (st.marqu->singrowsc[r] == '1') zsweep(st.hes, n + r, order, flags, g->mem.wrk1, tolerance);
  for (int r = 0; r < working_constraints(g); ++r) {
    if (flags[n + r] != '1') continue;
    st.hes[zisub(n + r, n + r)] += rho[r];
    settle_multiplier_variance(g, r, rho[r]);
  }
  mark_held_with_dependent(g, flags);
  zero_fixed_rows(g);
  return true;
}

// y = H x over the parameter block of the saved Hessian.
void hessian_times(const ZOPTGLOBAL* g, const double* x, double* y) {
  const double* h = g->state.marqu->savhes;
  for (int i = 0; i < nparms(g); ++i) y[i] = zvdots1(h + zisub(i, 0), i, x, nparms(g));
}

// y = C x over the parameter block of state.hes.
void covariance_times(const ZOPTGLOBAL* g, const double* x, double* y) {
  const double* c = g->state.hes;
  for (int i = 0; i < nparms(g); ++i) y[i] = zvdots1(c + zisub(i, 0), i, x, nparms(g));
}

// Column r of the right inverse Y: the minimum-norm solution of A y = e_r.
void right_inverse_column(ZOPTGLOBAL* g, int r, double* b, double* y) {
  ZOPTMARQU& mq = *g->state.marqu;
  const int m = working_constraints(g);
  std::fill_n(b, m, 0.0);
  b[r] = 1;
  lqsolve(m, nparms(g), mq.fmat, y, b, mq.q, mq.beta, mq.singrowsc);
}

// C = Z'(Z H Z')+ Z in the parameter block; returns the rank of Z H Z',
// or -1 (nothing changed) when it is 0 or the record has no room for it.
int constrained_pseudo_inverse(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  const ZOPTMARQU& mq = *st.marqu;
  const int n = nparms(g);
  const int m = n - mq.inumconstr;
  double* projected = g->mem.wrk1;
  double* column = g->mem.wrk3;
  zqform(mq.savhes, n, mq.z[0], m, projected, g->mem.wrk3, 0);
  const int rank = moore_penrose(projected, m, st.swpi);
  if (rank == 0) return -1;
  std::memset(st.hes, 0, static_cast<std::size_t>(g->mem.hesl));
  for (int j = 0; j < n; ++j) {
    for (int a = 0; a < m; ++a) column[a] = mq.z[a][j];
    double* t = g->mem.wrk2;  // (Z H Z')+ Z e_j
    for (int a = 0; a < m; ++a) t[a] = zvdots1(projected + zisub(a, 0), a, column, m);
    for (int i = j; i < n; ++i) {
      double sum = 0;
      for (int a = 0; a < m; ++a) sum += mq.z[a][i] * t[a];
      st.hes[zisub(i, j)] = sum;
    }
  }
  zero_fixed_rows(g);
  return rank;
}

// The constraint rows n + r of the inverse: (I - C H) y_r and -y_s'(H - H C H) y_r.
void constraint_block(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  const ZOPTMARQU& mq = *st.marqu;
  const int n = nparms(g);
  const long half = g->mem.siz2 / static_cast<long>(2 * sizeof(double));
  double* y = g->mem.wrk4;
  double* w = g->mem.wrk2;
  double* residual = g->mem.wrk2 + half;
  double* v = g->mem.wrk3;
  for (int r = 0; r < working_constraints(g); ++r) {
    if (mq.singrowsc[r] == '0') continue;
    right_inverse_column(g, r, v, y);
    hessian_times(g, y, w);
    covariance_times(g, w, v);
    for (int j = 0; j < n; ++j) st.hes[zisub(n + r, j)] = y[j] - v[j];
    hessian_times(g, v, residual);
    for (int j = 0; j < n; ++j) residual[j] = w[j] - residual[j];
    for (int s = 0; s <= r; ++s) {
      if (mq.singrowsc[s] == '0') continue;
      right_inverse_column(g, s, v, w);
      st.hes[zisub(n + r, n + s)] = -zvdot11(w, residual, n);
    }
    settle_multiplier_variance(g, r, row_curvature(g, r));
  }
}

// Status flags of the direct form: the constraint rows as the factorisation
// found them; the parameters as the default's sweep of H + A'RA leaves
// them, so that G4 names the dependent parameters the default names. Out of
// the sweep's range, every parameter counts as estimated.
void pseudo_inverse_flags(ZOPTGLOBAL* g) {
  const ZOPTMARQU& mq = *g->state.marqu;
  const int n = nparms(g);
  char* flags = g->state.swpi->sweepx;
  std::copy_n(mq.savhes, static_cast<long>(n) * (n + 1) / 2, g->mem.wrk1);
  if (!sweep_penalised(g, g->mem.wrk1, n, g->mem.wrk3)) std::memset(flags, '1', static_cast<std::size_t>(n));
  mark_held_with_dependent(g, flags);
  std::copy_n(mq.singrowsc, working_constraints(g), flags + n);
}

}  // namespace

int zoptcv(ZOPTGLOBAL* g) {
  ZOPTMARQU& mq = *g->state.marqu;
  const int n = nparms(g);
  const int k = mq.inumconstr;
  if (k == 0) return 0;
  mq.sweepx = g->state.swpi->sweepx;
  const int rank = g->opts.moorepenrose && k < n ? constrained_pseudo_inverse(g) : -1;
  if (rank >= 0) {
    constraint_block(g);
    pseudo_inverse_flags(g);
    return 0;
  }
  if (!sweep_bordered(g)) return 1;
  std::copy_n(g->state.swpi->sweepx + n, working_constraints(g), mq.singrowsc);
  return 0;
}

void zoptprv(ZOPTGLOBAL* g, double* vec, int n) {
  const ZOPTMARQU& mq = *g->state.marqu;
  const int k = mq.inumconstr;
  if (k == 0) return;
  const int m = n - k;
  double* coefficient = g->mem.wrk2;
  for (int i = 0; i < m; ++i) coefficient[i] = zvdot11(mq.z[i], vec, n);
  std::fill_n(vec, n, 0.0);
  for (int i = 0; i < m; ++i) zvxay11(vec, mq.z[i], n, coefficient[i]);
}
