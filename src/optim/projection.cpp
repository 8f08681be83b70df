// The projected Hessian and the step in the parameters. While constraints
// are in the working set the step is computed in the null space of their
// gradients: `znprjhs` replaces the bordered Hessian by Z H Z' bordered by
// the reduced gradient Z (g - H pk), where the rows of Z span the null
// space and pk is the restoration step back onto the working constraints.
// `znunprd` maps the swept reduced step back to all n parameters and
// measures it (R, the relative parameter changes, the angle to the
// gradient); under the Moore-Penrose option it makes a step the data leave
// undetermined the minimum-norm one in the parameters scaled to unit
// diagonal. Without working constraints the Hessian is used as it stands.
#include <algorithm>
#include <cmath>
#include <vector>

#include "linalg/dense_products.h"
#include "linalg/packed.h"
#include "linalg/vector_kernels.h"
#include "optim/lq.h"
#include "optim/optimiser_internal.h"
#include "optim/optimiser_output.h"

namespace {

using namespace optim;

// R = sqrt(delta'g / pr), the relative offset of the step, held to [0, 1];
// it keeps its value when pr is too small to divide by. Too small is
// judged on the caller's scale of the objective, so that a problem whose
// sums of squares are all tiny (responses of 1e-80) still measures R.
void relative_offset(ZOPTGLOBAL* g, double gd) {
  ZOPTSTATE& st = g->state;
  if (!(st.pr > kSqrtTiny * st.objscale) || !(st.pr > 0)) return;
  double r = gd / st.pr;
  if (r > 0) r = std::sqrt(r);
  if (r < 0 || r > 1) r = 1;
  st.r = r;
}

// The largest of |factor change_i| / (|base_i| + 1e-6) into *value and its
// index into *index (the first on ties; 0 when every change is 0); below
// 1e-12 it is 0.
void largest_relative_change(const ZOPTGLOBAL* g, const double* change, double factor,
                             const double* base, double* value, int* index) {
  *value = 0;
  *index = 0;
  for (int i = 0; i < nparms(g); ++i) {
    const double relative = std::fabs(factor * change[i]) / (std::fabs(base[i]) + 1e-6);
    if (relative > *value) {
      *value = relative;
      *index = i;
    }
  }
  if (*value < 1e-12) *value = 0;
}

// The share of the step, from 0 to 1, that the inequalities outside the
// working set let it take: where the first of them that it crosses holds
// with equality. The values are taken afresh where the step starts.
double share_the_bounds_allow(ZOPTGLOBAL* g) {
  const ZOPTSTATE& st = g->state;
  const ZOPTMARQU& mq = *st.marqu;
  if (mq.ninequal == 0 || !g->funcs.uscon || g->funcs.uscon(g) != 0) return 1;
  double share = 1;
  for (int i = 0; i < mq.ninequal; ++i) {
    const CONSTRAINT* c = st.conp_i[i];
    if (c->act == '1' || c->nc || wzmis(*c->val)) continue;
    double along = 0;
    for (int k = 0; k < c->n; ++k) along += *c->mat[k] * mq.delta[st.pmap[c->cols[k]]];
    if (along > 0) share = std::min(share, std::max(*c->val, 0.0) / along);
  }
  return share;
}

// The largest relative parameter change the step prospects, as far as the
// bounds let it go.
void parameter_change(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  largest_relative_change(g, st.marqu->delta, share_the_bounds_allow(g), st.parms, &st.ppc, &st.worstp);
  if (!wzmis(st.r) && st.r < 1e-12) st.r = 0;
}

// Every component is tested, the first included: one oversized (or not a
// number) refuses the whole step.
bool step_oversized(const ZOPTGLOBAL* g) {
  const double* delta = g->state.marqu->delta;
  for (int i = 0; i < nparms(g); ++i)
    if (!(std::fabs(delta[i]) <= kMaxStep)) return true;
  return false;
}

// theta, the angle between step and gradient in degrees, and phi, the
// slope along the step relative to the objective.
void step_angles(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  const int n = nparms(g);
  const double* gradient = st.marqu->savhes + border_row(n);
  const double* delta = st.marqu->delta;
  if (zvamx(gradient, n) > kMaxStep || zvamx(delta, n) > kMaxStep) return;
  const double size_g = zvenorm(n, 1, gradient);
  const double size_d = zvenorm(n, 1, delta);
  const double s = zvdot11(gradient, delta, n);
  st.phi = size_d > kSqrtTiny && st.objective > kSqrtTiny ? s / size_d / st.objective
                                                          : special_missing_value();
  if (size_d * size_g > kSqrtTiny) {
    const double cosine = s / (size_d * size_g);
    st.theta =
        cosine >= -1 && cosine <= 1 ? std::acos(cosine) / 3.141592653589793 * 180 : missing_value();
  }
}

// Under the Moore-Penrose option a singular Z H Z' leaves the step free
// along the directions the data leave undetermined among those the working
// constraints leave free, and its pseudo-inverse chooses among them by the
// norm in the coordinates of Z, which turn with the factorisation (with
// b <= c active and a against b + 2c undetermined, a moved against b and
// c). The step, restoration included, becomes the member of least norm in
// the parameters scaled to unit diagonal, as without constraints: it loses
// its part along the null directions of H + A'RA, those the covariance
// projects off. The step's row flags, which callers read, are kept.
void minimum_norm_full_step(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  const ZOPTMARQU& mq = *st.marqu;
  if (!st.swpi->moorep || !mq.singular) return;
  const int n = nparms(g);
  double* penalised = g->mem.wrk1;
  std::copy_n(mq.savhes, static_cast<long>(n) * (n + 1) / 2, penalised);
  penalise_working_rows(g, penalised, g->mem.wrk3);
  const std::vector<char> flags(st.swpi->sweepx, st.swpi->sweepx + n + 1);
  minimum_norm_step(penalised, n, mq.savhes, st.swpi, mq.delta, g->mem.wrk4);
  std::copy(flags.begin(), flags.end(), st.swpi->sweepx);
}

// The step moves the working rows by what the restoration step asks, A
// delta = A pk (nothing without one), whatever its part in their null
// space: delta loses the least change that puts it there. The rows of Z
// are orthogonal to the working rows only to rounding, which a step of
// 1e16 along them turns into a move of a bound's parameter of order 1, and
// the minimum-norm choice among the directions a NEWTON Hessian leaves
// undetermined, made with the working rows penalised, may lean across a
// row along which that Hessian curves down.
void hold_working_rows(ZOPTGLOBAL* g, bool restoring) {
  ZOPTMARQU& mq = *g->state.marqu;
  const int n = nparms(g);
  const int rows = working_constraints(g);
  double* target = g->mem.wrk2;
  double* residual = target + rows;
  double* change = g->mem.wrk4;
  for (int j = 0; j < rows; ++j) {
    target[j] = restoring ? zvdot11(mq.mat[j], mq.pk, n) : 0.0;
    residual[j] = zvdot11(mq.mat[j], mq.delta, n) - target[j];
  }
  remove_row_residual(g, mq.delta, residual, target, change);
}

// The reduced step (delta[0..m-1]) mapped back to the n parameters, plus
// the restoration step when one is in force; returns |delta . (g - A'lambda)|,
// the step against the gradient of the Lagrangian.
double full_step(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  const int n = nparms(g);
  const int m = n - mq.inumconstr;
  double* reduced = g->mem.wrk2;
  std::copy_n(mq.delta, m, reduced);
  for (int k = 0; k < n; ++k) {
    double sum = 0;
    for (int i = 0; i < m; ++i) sum += mq.z[i][k] * reduced[i];
    mq.delta[k] = sum;
  }
  const bool restoring = mq.ruvacon || mq.added_bound;
  if (restoring) zvxy111(mq.delta, mq.delta, mq.pk, n);
  minimum_norm_full_step(g);
  hold_working_rows(g, restoring);
  zoptlg2(g);
  double* lagrangian = g->mem.wrk3;
  copy_parms(lagrangian, st.grad, n);
  for (int j = 0; j < working_constraints(g); ++j)
    zvxay11(lagrangian, mq.mat[j], n, -mq.lagrange[j]);
  return std::fabs(zvdot11(mq.delta, lagrangian, n));
}

// The congruence Z H Z' rounds its entry (i, j) by up to about 2n eps
// |z_i|'|H||z_j|. A direction the data leave undetermined, seen through the
// rounded rows of Z, comes out as a row of such rounding: a diagonal of
// 1e-31 beside curvatures of 1e6. The sweep judges a pivot against its own
// diagonal, so it would take that rounding for curvature and send the step
// along the direction without limit. A row that is rounding throughout
// holds no curvature and becomes exactly zero.
void clear_rounding_rows(ZOPTGLOBAL* g, double* projected, int m) {
  const ZOPTMARQU& mq = *g->state.marqu;
  const int n = nparms(g);
  const double* hes = g->state.hes;
  double* w = g->mem.wrk3;  // |H||z_i|
  const double tolerance = 2.0 * n * kRoundoff;
  for (int i = 0; i < m; ++i) {
    for (int k = 0; k < n; ++k) {
      double sum = 0;
      for (int l = 0; l < n; ++l) sum += std::fabs(hes[zisub(k, l)] * mq.z[i][l]);
      w[k] = sum;
    }
    bool rounding = true;
    for (int j = 0; j < m && rounding; ++j) {
      double bound = 0;
      for (int k = 0; k < n; ++k) bound += std::fabs(mq.z[j][k]) * w[k];
      rounding = std::fabs(projected[zisub(i, j)]) <= tolerance * bound;
    }
    if (rounding)
      for (int j = 0; j < m; ++j) projected[zisub(i, j)] = 0.0;
  }
}

// The projection applies with some but not all parameters fixed.
bool projecting(const ZOPTGLOBAL* g) {
  const int c = g->state.marqu->inumconstr;
  return c > 0 && c < nparms(g);
}

// Border row m of the projected matrix: Z (g + yk), and pr in the corner.
void reduced_gradient(ZOPTGLOBAL* g, int m) {
  ZOPTSTATE& st = g->state;
  const ZOPTMARQU& mq = *st.marqu;
  const int n = nparms(g);
  double* w = g->mem.wrk2;
  zvxy111(w, st.grad, mq.yk, n);
  for (int i = 0; i < m; ++i) st.hes[zisub(m, i)] = zvdot11(mq.z[i], w, n);
  st.hes[zisub(m, m)] = st.pr;
}

// w = -(sum over the nonlinear working constraints j and their row-k
// entries e of lambda_j value(e) z_i[col(e)]), i < m; false when a value
// is not finite.
bool lagrangian_row(const ZOPTGLOBAL* g, int k, int m, double* w) {
  const ZOPTSTATE& st = g->state;
  const ZOPTMARQU& mq = *st.marqu;
  std::fill_n(w, m, 0.0);
  for (int j = 0; j < working_constraints(g); ++j) {
    const NCONSTR* nc = st.conp[j]->nc;
    if (!nc) continue;
    for (int e = nc->rows[k]; e < nc->rows[k + 1]; ++e) {
      const double term = mq.lagrange[j] * *nc->mat[e];
      if (!std::isfinite(term)) return false;
      const int col = st.pmap[nc->cols[e]];
      for (int i = 0; i < m; ++i) w[i] -= term * mq.z[i][col];
    }
  }
  return true;
}

bool diagonally_dominant(const double* hes, int m) {
  for (int i = 0; i < m; ++i) {
    double off = 0;
    for (int j = 0; j < m; ++j)
      if (j != i) off += std::fabs(hes[zisub(i, j)]);
    const double diagonal = hes[zisub(i, i)];
    if (!(diagonal >= 0 && diagonal >= off)) return false;
  }
  return true;
}

// The accepted second-order term also goes into the saved Hessian.
void correct_saved_hessian(ZOPTGLOBAL* g) {
  const ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  for (int j = 0; j < working_constraints(g); ++j) {
    const NCONSTR* nc = st.conp[j]->nc;
    if (!nc) continue;
    for (int k = 0; k < nparms(g); ++k)
      for (int e = nc->rows[k]; e < nc->rows[k + 1]; ++e) {
        const int row = st.pmap[k], col = st.pmap[nc->cols[e]];
        if (row <= col) mq.savhes[zisub(row, col)] -= mq.lagrange[j] * *nc->mat[e];
      }
  }
}

}  // namespace

namespace optim {

void retrospective_change(ZOPTGLOBAL* g, const double* start) {
  ZOPTSTATE& st = g->state;
  const int n = nparms(g);
  std::vector<double> change(st.parms, st.parms + n);
  zvxay11(change.data(), start, n, -1.0);
  largest_relative_change(g, change.data(), 1.0, start, &st.rpc, &st.worstr);
}

}  // namespace optim

int null_space_basis(ZOPTGLOBAL* g) {
  ZOPTMARQU& mq = *g->state.marqu;
  if (zncmat(g) != 0 || !projecting(g)) return 0;
  const int m = nparms(g) - mq.inumconstr;
  computeQ(g);
  for (int i = 0; i < m; ++i) mq.z[i] = mq.Q[mq.inumconstr + i];
  return m;
}

int znprjhs(ZOPTGLOBAL* g) {
  if (!projecting(g)) return 0;
  const int m = null_space_basis(g);
  if (m == 0) return 0;
  znprjhe(g);
  check_hes(g);
  get_pk(g);
  get_yk(g, g->state.marqu->savhes);
  reduced_gradient(g, m);
  return 1;
}

int znprjhe(ZOPTGLOBAL* g) {
  if (!projecting(g)) return 0;
  const int m = nparms(g) - g->state.marqu->inumconstr;
  double* projected = g->mem.wrk1;
  zqform(g->state.hes, nparms(g), g->state.marqu->z[0], m, projected, g->mem.wrk3, 0);
  clear_rounding_rows(g, projected, m);
  std::copy_n(projected, static_cast<long>(m) * (m + 1) / 2, g->state.hes);
  reduced_gradient(g, m);
  return 1;
}

void check_hes(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  const ZOPTMARQU& mq = *st.marqu;
  if (!mq.ruvacon || g->opts.covariance || !projecting(g)) return;
  const int n = nparms(g);
  const int m = n - mq.inumconstr;
  const long cells = static_cast<long>(m) * (m + 1) / 2;
  std::copy_n(st.hes, cells, g->mem.wrk1);
  zoptlag(g);
  double* w = g->mem.wrk3;
  bool usable = true;
  for (int k = 0; k < n && usable; ++k) {
    usable = lagrangian_row(g, k, m, w);
    for (int a = 0; a < m && usable; ++a)
      for (int b = a; b < m; ++b) st.hes[zisub(a, b)] += w[b] * mq.z[a][st.pmap[k]];
  }
  if (usable && diagonally_dominant(st.hes, m))
    correct_saved_hessian(g);
  else
    std::copy_n(g->mem.wrk1, cells, st.hes);
}

int get_pk(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  const ZOPTOPT& o = g->opts;
  const int n = nparms(g);
  const int m = working_constraints(g);
  if (!mq.ruvacon && !mq.added_bound) {
    std::fill_n(mq.pk, n, 0.0);
    return 1;
  }
  if (o.itprint && o.debug) {
    print_constraint_matrix(g, mq.mat, 667);
    print_constraint_matrix(g, mq.fmat, 669);
  }
  lqsolve(m, n, mq.fmat, mq.pk, st.con, mq.q, mq.beta, mq.singrowsc);
  if (o.itprint > 1 || o.debug)
    report_parameter_vector(g, mq.pk, "wyv.model.pvec", 675, "ParmChange");
  mq.inumconstr = lq_rank(m, mq.singrowsc);
  // Once a run: the step is formed afresh at every iteration.
  if (o.itprint && mq.inumconstr < m && !mq.dependent_noted) {
    log_dependent_constraints(g);
    mq.dependent_noted = 1;
  }
  return 1;
}

int get_yk(ZOPTGLOBAL* g, double* hes) {
  ZOPTMARQU& mq = *g->state.marqu;
  const int n = nparms(g);
  for (int i = 0; i < n; ++i) mq.yk[i] = -zvdots1(hes + zisub(i, 0), i, mq.pk, n);
  if (g->opts.itprint > 1 || g->opts.debug)
    report_parameter_vector(g, mq.yk, "wyv.model.vec", 676, "YkVector");
  return 1;
}

int znunprd(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  const int n = nparms(g);
  const int c = mq.inumconstr;
  if (n <= c) return 0;
  const double gd = c == 0 ? zinner(mq.delta, st.grad, n) : full_step(g);
  if ((g->opts.itprint > 1 && c > 0) || g->opts.debug) report_full_step(g);
  if (!mq.ridgeflag) {
    relative_offset(g, gd);
    parameter_change(g);
    mq.maxval = kMaxStep;
    if (step_oversized(g)) return 0;
  }
  if (g->opts.details) step_angles(g);
  return 1;
}
