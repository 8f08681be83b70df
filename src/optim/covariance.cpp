// Covariance of the estimates under the working constraints (`zoptcv`) and
// projection of a vector onto their null space (`zoptprv`). With no
// independent working row the caller forms the covariance itself.
//
// With A the working rows and the rows of Z spanning their null space,
// the constrained covariance (before scaling by the variance estimate) is
// C = Z'(Z H Z')^-1 Z, the parameter block of the inverse of the bordered
// matrix K = [H A'; A 0]; the constraint block of that inverse, -W, gives
// the multipliers' variances W. `zoptcv` leaves the inverse in state.hes:
// rows n + r hold the constraint rows.
//
// K is swept, with H + A'RA in place of H (the same inverse but for the
// constraint block, and definite on the directions the constraints fix):
// the parameters with the scaled sweep inverse, then the independent
// constraint rows pivot by pivot. The parameters the sweep leaves dependent
// are flagged '0', and so are those the working constraints hold to them,
// which are no more determined: what the flags leave, less the rank of the
// working rows over it, is the number of directions the data and the
// constraints determine.
//
// With dependent parameters the parameter block is then C0, the inverse on
// the free directions with the dependent parameters held: a generalised
// inverse of P H P, P the projector onto the free directions. Under the
// Moore-Penrose option it becomes the pseudo-inverse of P H P in the
// parameters scaled to unit diagonal, the minimum-norm solution the option
// gives without constraints: C0 projected, in the scaled parameters, off
// the directions the data leave undetermined. (The pseudo-inverse of
// Z H Z' would measure the norm in the coordinates of Z, which turn with
// the factorisation: b <= c beside a against b + c gave a the standard
// error of a + b + c, with the wrong sign against the others.) Since
// H C H = H C0 H, the functions the data determine and the multipliers'
// variances keep the sweep's values; the constraint rows stay as the sweep
// leaves them.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "host/services.h"
#include "linalg/orthonormal_span.h"
#include "linalg/packed.h"
#include "linalg/sweep.h"
#include "linalg/vector_kernels.h"
#include "optim/optimiser_internal.h"

namespace {

using namespace optim;

// A parameter is free when some null-space basis vector moves it by more
// than the rounding of the basis, a last place of each of its n unit-size
// entries: the reflections leave 2e-16 on a parameter that a chain of
// bounds (0 <= a <= d <= c) fixes.
bool parameter_free(const ZOPTGLOBAL* g, int j) {
  const ZOPTMARQU& mq = *g->state.marqu;
  const int m = nparms(g) - mq.inumconstr;
  for (int i = 0; i < m; ++i)
    if (basis_moves(mq.z[i][j])) return true;
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
    if (flags[j] != '1' && parameter_free(g, j)) {
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

// H + A'RA (penalise_working_rows, R scaled by `scale`) keeps the
// parameter block and the constraint rows' columns of the inverse of K
// while making H definite on every direction the constraints fix, so the
// sweep decides dependence on the free directions alone; the constraint
// block of the inverse comes out less R. Sweeps the parameter rows of K,
// formed afresh in state.hes, so, the statuses from '0'; false out of the
// sweep's range. `diag` receives the penalised diagonal the sweep started
// from.
bool sweep_penalised(ZOPTGLOBAL* g, int order, double scale, double* rho, std::vector<double>* diag) {
  ZSWPN* swpi = g->state.swpi;
  double* k = g->state.hes;
  const int n = nparms(g);
  bordered_matrix(g);
  penalise_working_rows(g, k, rho, scale);
  diag->resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) (*diag)[i] = k[zisub(i, i)];
  std::memset(swpi->sweepx, '0', static_cast<std::size_t>(order));
  const char moorep = swpi->moorep;  // the caller's switch would pseudo-invert H itself
  swpi->moorep = 0;
  const int rc = zswpn(k, nullptr, n, order, swpi);
  swpi->moorep = moorep;
  return rc == 0;
}

// Whether the sweep left out a parameter row on a clearly negative pivot.
bool negative_pivot(const ZOPTGLOBAL* g, const std::vector<double>& diag) {
  for (int i = 0; i < nparms(g); ++i)
    if (g->state.swpi->sweepx[i] == '0' &&
        g->state.hes[zisub(i, i)] < -g->state.swpi->sing * std::fabs(diag[i]))
      return true;
  return false;
}

int unswept_rows(const ZOPTGLOBAL* g) {
  return static_cast<int>(std::count(g->state.swpi->sweepx, g->state.swpi->sweepx + nparms(g), '0'));
}

// NEWTON's Hessian may curve down along directions the working constraints
// fix, more than a penalty on the scale of its diagonal outweighs: the
// sweep would then leave out a parameter the constraints hold, or one they
// leave free, as if the data did not determine it. After a clearly
// negative pivot the penalty rises tenfold at a time, to 1e12 times, and
// the least that leaves fewest rows out is swept. Negative curvature along
// the free directions no penalty removes (the caller names the parameters
// it moves), nor a direction the data leave undetermined.
bool sweep_penalised_definite(ZOPTGLOBAL* g, int order, double* rho, std::vector<double>* diag,
                              double* scale) {
  *scale = 1;
  if (!sweep_penalised(g, order, 1, rho, diag)) return false;
  if (!negative_pivot(g, *diag)) return true;
  int fewest = unswept_rows(g);
  for (double s = 10; s <= 1e12; s *= 10) {
    if (!sweep_penalised(g, order, s, rho, diag)) break;
    const int count = unswept_rows(g);
    if (count < fewest) fewest = count, *scale = s;
  }
  return sweep_penalised(g, order, *scale, rho, diag);
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
// are of the order of 1/H. Under the Moore-Penrose option the parameter
// block then takes the minimum norm, from the unswept rows' null
// directions. The rows `indefinite` names may pivot on a negative value.
// False when the matrix is out of the sweep's range.
bool sweep_bordered(ZOPTGLOBAL* g, const int* indefinite, int count) {
  ZOPTSTATE& st = g->state;
  ZSWPN* swpi = st.swpi;
  const int n = nparms(g);
  const int order = n + working_constraints(g);
  double trace = 0;
  for (int i = 0; i < n; ++i) trace += g->state.marqu->savhes[zisub(i, i)];
  double* rho = g->mem.wrk3;
  std::vector<double> diag;
  double scale = 1;
  if (!sweep_penalised_definite(g, order, rho, &diag, &scale)) return false;
  // NEWTON can stop where the Hessian curves down along free directions
  // the data determine; the caller names the parameters they move. Their
  // rows, which the sweep left out as if dependent, are swept as they
  // stand, so that the covariance is the inverse where the iterations
  // stopped and its check finds it indefinite.
  if (count > 0) zsweep_listed_rows(st.hes, n, order, swpi->sweepx, indefinite, count, diag.data(), swpi->sing);
  char* flags = swpi->sweepx;
  const double tolerance = -(trace > kSqrtTiny ? 1 / trace : 1) * swpi->sing;
  for (int r = 0; r < working_constraints(g); ++r)
    if (st.marqu->singrowsc[r] == '1') zsweep(st.hes, n + r, order, flags, g->mem.wrk1, tolerance);
  for (int r = 0; r < working_constraints(g); ++r) {
    if (flags[n + r] != '1') continue;
    st.hes[zisub(n + r, n + r)] += rho[r];
    settle_multiplier_variance(g, r, rho[r] / scale);
  }
  const std::vector<char> swept(flags, flags + n);
  mark_held_with_dependent(g, flags);
  zero_fixed_rows(g);
  if (g->opts.moorepenrose && std::any_of(swept.begin(), swept.end(), [](char f) { return f != '1'; }))
    minimum_norm_inverse(st.hes, n, st.marqu->savhes, swept.data(), flags, swpi, g->mem.wrk4);
  return true;
}

}  // namespace

int zoptcv(ZOPTGLOBAL* g, const int* indefinite, int count) {
  ZOPTMARQU& mq = *g->state.marqu;
  if (mq.inumconstr == 0) return 0;
  mq.sweepx = g->state.swpi->sweepx;
  if (!sweep_bordered(g, indefinite, count)) return 1;
  std::copy_n(g->state.swpi->sweepx + nparms(g), working_constraints(g), mq.singrowsc);
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
