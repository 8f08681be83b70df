// Objective and derivative evaluations of a run: the objective with the
// constraint penalty, the re-penalised objective at an accepted point, the
// refresh of Hessian and gradient, and the Kuhn-Tucker measure.
#include <algorithm>
#include <cmath>

#include "host/services.h"
#include "linalg/vector_kernels.h"
#include "optim/optimiser_internal.h"

namespace {

using namespace optim;

// Sum of squares of the working constraint values; false when one exceeds
// the overflow limit.
bool working_sum_of_squares(const ZOPTGLOBAL* g, double* sum) {
  const double* con = g->state.con;
  *sum = 0;
  for (int j = 0; j < working_constraints(g); ++j) {
    if (std::fabs(con[j]) > kBig) return false;
    *sum += con[j] * con[j];
  }
  return true;
}

// The penalty weight follows the last step: it grows while the restoration
// step pk dominates the step and shrinks otherwise.
void adapt_penalty(ZOPTGLOBAL* g) {
  ZOPTMARQU& mq = *g->state.marqu;
  const int n = nparms(g);
  double* diff = g->mem.wrk3;
  for (int i = 0; i < n; ++i) diff[i] = mq.delta[i] - mq.pk[i];
  const double d = zvenorm(n, 1, diff);
  const double p = zvenorm(n, 1, mq.pk);
  const double weight = mq.penalty == 0 ? kRoundoff : mq.penalty;
  mq.penalty = d < p ? std::min(3 * weight, kPenaltyMax) : std::max(0.01 * weight, kRoundoff);
}

int call_hessian(ZOPTGLOBAL* g) {
  if (g->opts.update_tech == 0) {
    g->funcs.ushes(g);
    return 0;
  }
  restore_hessian(g);
  g->funcs.usgrd(g);
  return zoptqn(g);
}

}  // namespace

namespace optim {

int evaluate_subiteration(ZOPTGLOBAL* g) {
  g->state.doingsubit = 1;
  const int rc = zoptobj(g);
  g->state.doingsubit = 0;
  return rc;
}

bool improved(const ZOPTGLOBAL* g) {
  const ZOPTSTATE& st = g->state;
  if (negligible_objective(g, std::fabs(st.objective))) return true;
  if (st.nobs != st.prevnobs) return st.nobs > st.prevnobs;
  return st.objective < st.prevobj || restores_curved_constraints(g);
}

bool restores_curved_constraints(const ZOPTGLOBAL* g) {
  const ZOPTSTATE& st = g->state;
  const ZOPTMARQU& mq = *st.marqu;
  return mq.ruvacon && mq.connorm < mq.prevcon && st.subiters >= 2 && 0.9 * st.objective < st.prevobj;
}

}  // namespace optim

int zoptobj(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  double penalty = 0;
  if (mq.perm > 0 || mq.ninequal > 0) {
    if (zngcon(g) != 0) return 1;
    double sum = 0;
    if (!working_sum_of_squares(g, &sum)) return 1;
    penalty = mq.penalty * sum;
    mq.connorm = zvenorm(working_constraints(g), 1, st.con);
    if (mq.boundv) {
      copy_parms(mq.crossing, st.parms, nparms(g));
      mq.crossed = 1;
      return 2;
    }
  }
  const int rc = g->funcs.usobj(g);
  if (rc != 0) return rc;
  if (objective_unusable(st.objective)) return 1;
  mq.user_obj = st.objective;
  st.objective = mq.user_obj + penalty;
  if (st.fullsubiter) update_ders(g);
  return 0;
}

int update_objective(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  if (working_constraints(g) == 0) {
    st.objective = mq.user_obj;
    return 0;
  }
  if (zngcon(g) != 0) return 1;
  adapt_penalty(g);
  double sum = 0;
  if (!working_sum_of_squares(g, &sum)) return 1;
  st.objective = mq.user_obj + mq.penalty * sum;
  return 0;
}

int update_ders(ZOPTGLOBAL* g) {
  if (!g->funcs.ushes) {
    xebug("No hessian function defined -------");
    return 1;
  }
  ZOPTSTATE& st = g->state;
  const long before = st.nobs;
  long fewest = before;
  if (call_hessian(g) != 0) return 1;
  fewest = std::min(fewest, st.nobs);
  g->funcs.usgrd(g);
  st.nobs = std::min(fewest, st.nobs);
  save_hessian(g);
  return st.nobs < before;
}

int znches(ZOPTGLOBAL* g) {
  if (!g->funcs.ushes) {
    xebug("No hessian function defined -------");
    return 1;
  }
  return call_hessian(g);
}

double kuhn_tucker(ZOPTGLOBAL* g) {
  const ZOPTMARQU& mq = *g->state.marqu;
  const int n = nparms(g);
  double* w = g->mem.wrk3;
  for (int j = 0; j < n; ++j) {
    w[j] = g->state.grad[j];
    for (int i = 0; i < working_constraints(g); ++i) w[j] -= mq.lagrange[i] * mq.mat[i][j];
  }
  if (zvamx(w, n) > kBig) return kBig;
  double sum = 0;
  for (int j = 0; j < n; ++j) sum += std::fabs(w[j]);
  return sum;
}
