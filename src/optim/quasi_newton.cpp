// The quasi-Newton Hessian (opts.update_tech): the parameter block of
// state.hes is carried from iteration to iteration by the BFGS update and
// rebuilt from finite differences of the gradient (a restart) at the first
// iteration, after a singular step, or when an update is unusable. After
// each update the rank of the (projected) matrix is checked; a matrix that
// stays rank-deficient is made diagonally dominant.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/pool.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "linalg/vector_kernels.h"
#include "optim/optimiser_internal.h"

namespace {

using namespace optim;

constexpr double kUpdateLimit = 5.643803094122288e102;  // largest component / denominator
constexpr double kStep = 1.110223024625157e-12;         // relative finite-difference step

template <class T>
T* take(ZOPTGLOBAL* g, long count) {
  return static_cast<T*>(
      vmalcp_handler(g->mem.pool, count * static_cast<long>(sizeof(T)), kPoolCleared));
}

// The record, its vectors for n parameters and the rank check's save area.
bool ensure_storage(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  const int n = nparms(g);
  if (!st.quasi && !(st.quasi = take<quasi>(g, 1))) return false;
  quasi& qs = *st.quasi;
  if (qs.length < n || !qs.pp) {
    if (qs.pp) vmfree_handler(g->mem.pool, qs.pp, -1, 4);
    if (qs.pq) vmfree_handler(g->mem.pool, qs.pq, -1, 4);
    qs.pp = take<double>(g, n);
    qs.pq = take<double>(g, n + 1);
    if (!qs.pp || !qs.pq) return false;
    qs.length = n;
  }
  return st.quasihes ||
         (st.quasihes = take<double>(g, g->mem.hesl / static_cast<long>(sizeof(double))));
}

// The last step could not use every free direction.
bool last_step_singular(const ZOPTGLOBAL* g) {
  const ZOPTSTATE& st = g->state;
  const ZOPTMARQU& mq = *st.marqu;
  const int free = nparms(g) - mq.perm - mq.nact;
  if (st.rankxpx < free) return true;
  if (g->opts.method != 'M' || free <= 0) return false;
  return std::find(mq.singrows, mq.singrows + free, '0') != mq.singrows + free;
}

// H += v v' / d, with the components that would overflow the term dropped.
void rank_one(double* hes, double* v, int n, double d) {
  for (int i = 0; i < n; ++i)
    if (std::fabs(v[i] / d) > kUpdateLimit) v[i] = 0;
  zscp(v, n, 1 / d, hes);
}

// One column of the finite-difference Hessian: the gradient at p_i + h
// (or p_i - h when the forward point fails); false when neither works.
bool difference_column(ZOPTGLOBAL* g, int i, long nobs0) {
  ZOPTSTATE& st = g->state;
  const quasi& qs = *st.quasi;
  const int n = nparms(g);
  double h = scale(qs.pp[i], 0, 0);
  st.parms[i] += h;
  if (zoptobj(g) != 0 || st.nobs < nobs0) {
    if (g->opts.debug) xpsout("Ran into a boundary -----------------");
    st.parms[i] -= 2 * h;
    h = -h;
    if (zoptobj(g) != 0) {
      st.parms[i] = qs.pp[i];
      return false;
    }
  }
  g->funcs.usgrd(g);
  for (int j = 0; j < n; ++j) {
    const double t = (st.grad[j] - qs.pq[j]) / h;
    if (j == i)
      st.hes[zisub(i, i)] = t;
    else
      st.hes[zisub(i, j)] += 0.5 * t;
  }
  copy_parms(st.parms, qs.pp, n);
  return true;
}

}  // namespace

double scale(double num, double /*diag*/, double /*grad*/) {
  return std::fabs(num) > kStep ? std::fabs(num) * kStep : kStep;
}

int znupdat(double* hes, double* parm1, double* parm2, double* grad1, double* grad2, double* wrk,
            int n) {
  double* w = wrk;
  double* s = wrk + n;
  for (int i = 0; i < n; ++i) s[i] = parm2[i] - parm1[i];
  // The BFGS correction -(H s)(H s)'/(s'H s) with H s from the matrix
  // itself: the old gradient equals -H s only after a full, unprojected
  // plain step.
  for (int i = 0; i < n; ++i) w[i] = -zvdots1(hes + zisub(i, 0), i, s, n);
  const double d1 = zvdot11(w, s, n);
  if (std::fabs(d1) <= kSqrtTiny) return 1;
  // y = grad2 - grad1 must have positive curvature along s: checked before
  // the matrix is touched, so that a refused update leaves it as it was.
  double curvature = 0;
  for (int i = 0; i < n; ++i) curvature += (grad2[i] - grad1[i]) * s[i];
  if (curvature <= kSqrtTiny) return 1;
  rank_one(hes, w, n, d1);
  for (int i = 0; i < n; ++i) w[i] = grad2[i] - grad1[i];
  rank_one(hes, w, n, curvature);
  return 0;
}

int restart(quasi* qs, ZOPTGLOBAL* g, int /*sing*/) {
  ZOPTSTATE& st = g->state;
  const int n = nparms(g);
  if (g->opts.debug) xpsout("Performing a restart ----------");
  const int fullsubiter = st.fullsubiter;
  st.fullsubiter = 0;
  const long nobs0 = st.nobs;
  g->funcs.usgrd(g);
  copy_parms(qs->pp, st.parms, n);
  copy_parms(qs->pq, st.grad, n + 1);
  st.doingsubit = 1;
  std::memset(st.hes, 0, static_cast<std::size_t>(g->mem.hesl));
  for (int i = 0; i < n; ++i) difference_column(g, i, nobs0);
  st.doingsubit = 0;
  if (check_sing(g) < n) fix_hes(g);
  zoptobj(g);
  copy_parms(st.grad, qs->pq, n + 1);
  st.fullsubiter = fullsubiter;
  return 0;
}

int check_sing(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  const auto bytes = static_cast<std::size_t>(g->mem.hesl);
  std::memcpy(st.quasihes, st.hes, bytes);
  const int c = znprjhs(g) ? st.marqu->inumconstr : 0;
  const int m = nparms(g) - c;
  // The projected matrix is swept where it stands (state.hes returns from
  // the save area), so the saved Hessian is not disturbed.
  std::memset(st.swpi->sweepx, '0', static_cast<std::size_t>(m));
  st.swpi->sing = g->opts.sing;
  if (m < 1 || zswpn(st.hes, nullptr, m, m, st.swpi) != 0) st.swpi->rank = 0;
  std::memcpy(st.hes, st.quasihes, bytes);
  return st.swpi->rank + c;
}

void fix_hes(ZOPTGLOBAL* g) {
  const int n = nparms(g);
  double* hes = g->state.hes;
  double sum = 0;
  for (int i = 0; i < n; ++i) sum += std::fabs(hes[zisub(i, i)]);
  for (int i = 0; i < n; ++i) {
    double& diagonal = hes[zisub(i, i)];
    if (diagonal <= sum * 1e-8 / n + kSqrtTiny) diagonal = 1.0;
    const double limit = diagonal / n;
    for (int j = 0; j < n; ++j) {
      if (j == i) continue;
      double& cell = hes[zisub(i, j)];
      if (std::fabs(cell) > limit) cell = cell < 0 ? -limit : limit;
    }
  }
}

int zoptqn(ZOPTGLOBAL* g) {
  if (!ensure_storage(g)) return 1;
  ZOPTSTATE& st = g->state;
  quasi* qs = st.quasi;
  const int n = nparms(g);
  if (st.iters == 0 || last_step_singular(g)) {
    restart(qs, g, 0);
  } else {
    if (znupdat(st.hes, qs->pp, st.parms, qs->pq, st.grad, g->mem.wrk2, n) != 0) restart(qs, g, 0);
    if (check_sing(g) / n < 1) restart(qs, g, 1);
  }
  copy_parms(qs->pp, st.parms, n);
  copy_parms(qs->pq, st.grad, n);
  for (int j = 0; j <= n; ++j) st.hes[zisub(n, j)] = st.grad[j];
  return 0;
}
