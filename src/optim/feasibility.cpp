// The feasibility phase: before the first objective (`zoptfes`) and after
// an inequality joined the working set (`znaddac`), a damped Gauss-Newton
// iteration on c(x) = 0 over the working constraints moves the parameters
// onto them. Each pass solves A d = c for the minimum-norm correction d
// from the LQ factors and searches along -d with the run's line search,
// scoring points by the total violation V = sum |c_i| (`cobj`). A start
// outside linear constraints is first moved to the nearest point that
// satisfies them all (nearest_start.cpp), which the passes then only
// confirm.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/services.h"
#include "linalg/vector_kernels.h"
#include "optim/lq.h"
#include "optim/optimiser_internal.h"
#include "optim/optimiser_output.h"
#include "random/engine_congruential.h"

namespace {

using namespace optim;

enum class Pass { kGoOn, kFeasible, kFailed };

// S = sum over the working rows and parameters of |A_ij d_j|: the change
// the correction predicts.
double predicted_change(const ZOPTGLOBAL* g, const double* d) {
  const ZOPTMARQU& mq = *g->state.marqu;
  double sum = 0;
  for (int i = 0; i < working_constraints(g); ++i)
    for (int j = 0; j < nparms(g); ++j) sum += std::fabs(mq.mat[i][j] * d[j]);
  return sum;
}

// The total violation V below the tolerance, each working value counted
// against its own constraint's size (the values are those V was summed
// from). V is huge where an inequality outside the working set is violated.
bool negligible_violation(const ZOPTGLOBAL* g, double violation) {
  return violation < kHuge && scaled_working_norm(g, 1) < g->opts.ceps;
}

bool all_independent(const ZOPTGLOBAL* g) {
  const ZOPTMARQU& mq = *g->state.marqu;
  return lq_rank(working_constraints(g), mq.singrowsc) == working_constraints(g);
}

// The start-up phase lets active inequalities strictly inside their
// feasible side go; each is judged by its own value, and V loses their part.
// Within its tolerance an inequality holds with equality: a correction that
// lands on it leaves a value of either sign in the last place of its terms
// (a - b = 2e-22 at a = b = 1.05e-6), and it stays.
void release_satisfied(ZOPTGLOBAL* g, double* violation) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  for (int j = mq.perm; j < working_constraints(g);) {
    if (st.con[j] > tolerance(g, st.conp[j])) {
      if (*violation < kHuge) *violation -= st.con[j];
      leave_working_set(g, j);
    } else {
      ++j;
    }
  }
  if (*violation < 0) *violation = 0;
}

// Back to the start of the pass with a larger working set.
void restart_pass(ZOPTGLOBAL* g, double* violation) {
  mark_rows_independent(g, working_constraints(g));
  copy_parms(g->state.parms, g->state.pparms, nparms(g));
  *violation = cobj(g);
}

// After the search: the working set follows what the trial points met.
void adapt_working_set(ZOPTGLOBAL* g, bool found, double* violation) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  if (!found) {
    join_violated(g);
    restart_pass(g, violation);
    return;
  }
  *violation = g->lnsrch.currobj;
  // Stuck against an inequality that is not working: it joins.
  if (mq.d_reason == 1 && rel_changep(g) < 0.001 && join_working_set(g, st.conp_i[mq.next_act])) {
    restart_pass(g, violation);
  } else if (mq.nact > 0 && mq.fesflag == 0) {
    release_satisfied(g, violation);
  }
}

Pass one_pass(ZOPTGLOBAL* g, int pass, double* violation) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  const ZOPTOPT& o = g->opts;
  const int n = nparms(g);
  const int m = working_constraints(g);
  double* d = mq.correction;
  if (o.itprint && o.debug) print_constraint_matrix(g, mq.fmat, 669);
  std::fill_n(d, std::max(m, n), 0.0);
  if (m >= 1) {
    // Without factors (no Jacobian callback) the phase cannot move.
    if (!mq.factored) return negligible_violation(g, *violation) ? Pass::kFeasible : Pass::kFailed;
    lqsolve(m, n, mq.fmat, d, st.con, mq.q, mq.beta, mq.singrowsc);
  }
  if (negligible_violation(g, *violation)) return Pass::kFeasible;
  const double change = predicted_change(g, d);
  if (o.debug) xpsout("Sum %g and oldobj %g", change, *violation);
  if (*violation != kHuge && change < 0.001 * *violation && all_independent(g))
    return Pass::kFeasible;
  mq.d_reason = 0;
  g->lnsrch.oldobj = *violation;
  const bool found = zlnsrch(d, st.parms, st.pparms, n, &g->lnsrch) != 0;
  if (!found && mq.d_reason == 0) {
    if (o.printerror) note_feasibility_failed(pass);
    return Pass::kFailed;
  }
  adapt_working_set(g, found, violation);
  copy_parms(st.pparms, st.parms, n);
  if (zncmat(g) != 0) return Pass::kFailed;
  if (negligible_violation(g, *violation)) return Pass::kFeasible;
  if (o.itprint > 1 || o.debug) report_feasibility_pass(g, d);
  return Pass::kGoOn;
}

}  // namespace

double cobj(void* user) {
  auto* g = static_cast<ZOPTGLOBAL*>(user);
  ZOPTMARQU& mq = *g->state.marqu;
  const int rc = zngcon(g);
  if (mq.boundv) {
    mq.d_reason = 1;
    return kHuge;
  }
  if (rc != 0) return kHuge;
  double sum = 0;
  for (int j = 0; j < working_constraints(g); ++j) {
    if (wzmis(g->state.con[j])) return kHuge;
    sum += std::fabs(g->state.con[j]);
  }
  return sum;
}

int check_constraints(ZOPTGLOBAL* g, double** mat, int /*np*/, int nc) {
  ZOPTSTATE& st = g->state;
  long seed = 123;  // restarts on every call: a given start is moved reproducibly
  int moved = 0;
  for (int i = 0; i < nc; ++i) {
    const CONSTRAINT* c = st.conp[i];
    if (c->n < 1) {
      moved = 1;
      continue;
    }
    bool degenerate = true;
    for (int j = 0; j < c->n; ++j) degenerate = degenerate && mat[i][st.pmap[c->cols[j]]] == 0;
    if (!degenerate) continue;
    for (int j = 0; j < c->n; ++j) st.parms[st.pmap[c->cols[j]]] += zrannor(&seed);
    moved = 1;
  }
  return moved;
}

namespace {

// The start-up: from a start that violates inequalities, the nearest point
// that satisfies every constraint when they are linear; inequalities
// violated there join, and the correction passes move onto them.
int start_feasible(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  const int n = nparms(g);
  mq.fesflag = mq.factored = 0;
  mark_rows_independent(g, mq.perm);
  for (int i = 0; i < mq.ninequal; ++i) st.conp_i[i]->act = '0';
  mq.nact = 0;
  if (cobj(g) == kHuge && !mq.boundv) return 0;
  if (mq.boundv) {
    // What rounding leaves of the violations at the nearest point, the
    // passes below correct.
    if (start_from_nearest_point(g)) cobj(g);
    if (mq.boundv) join_violated(g);
    if (cobj(g) == kHuge) return 0;
  }
  if (zncmat(g) != 0) return 0;
  copy_parms(st.pparms, st.parms, n);
  // Equalities whose gradient vanishes at the start cannot steer the
  // correction: their parameters are moved a little first.
  if (mq.factored && check_constraints(g, mq.mat, n, mq.perm)) {
    if (cobj(g) == kHuge || zncmat(g) != 0) return 0;
    copy_parms(st.pparms, st.parms, n);
  }
  return feasable(g);
}

}  // namespace

// Without a feasible start no inequality holds where the run stops.
int zoptfes(ZOPTGLOBAL* g) {
  if (start_feasible(g)) return 1;
  ZOPTMARQU& mq = *g->state.marqu;
  while (mq.nact > 0) leave_working_set(g, working_constraints(g) - 1);
  mq.inumconstr = 0;
  return 0;
}

namespace optim {

void put_on_working_set(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  const int n = nparms(g);
  const int m = working_constraints(g);
  if (mq.ruvacon || m == 0 || zngcon(g) != 0 || zncmat(g) != 0 || !mq.factored) return;
  // The rows' constant parts, coefficients times parameters less value.
  double* constants = g->mem.wrk2;
  for (int j = 0; j < m; ++j) constants[j] = zvdot11(mq.mat[j], st.parms, n) - st.con[j];
  remove_row_residual(g, st.parms, st.con, constants, mq.correction);
}

}  // namespace optim

int feasable(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  LINESRCH& ls = g->lnsrch;
  const ZOPTOPT& o = g->opts;
  copy_parms(st.pparms, st.parms, nparms(g));
  if (working_constraints(g) == 0) return 1;
  // The search scores the violation, whose slope along the correction is
  // -V: it is given no gradient (the objective's would mislead it).
  ls.objfunc = cobj;
  ls.subpfunc = nullptr;
  const double damp = ls.damp, pdamp = ls.pdamp;
  double* gradient = ls.gradient;
  ls.gradient = nullptr;
  ls.damp = 1;
  std::memset(g->mem.wrk2, 0, static_cast<std::size_t>(g->mem.siz2));
  double violation = cobj(g);
  if (o.itprint && o.debug) print_constraint_matrix(g, mq.mat, 667);
  int pass = 0;
  Pass outcome = Pass::kGoOn;
  for (; pass <= o.maxiters && outcome == Pass::kGoOn; ++pass)
    outcome = one_pass(g, pass, &violation);
  ls.gradient = gradient;
  ls.objfunc = objective;
  if (outcome == Pass::kFailed) return 0;
  mq.inumconstr = lq_rank(working_constraints(g), mq.singrowsc);
  if (outcome == Pass::kGoOn && mq.fesflag == 0) {
    if (o.printerror) {
      note_feasibility_failed(pass);
      if (mq.inumconstr < working_constraints(g)) note_dependent_constraints();
    }
    return 0;
  }
  ls.damp = damp;
  ls.pdamp = pdamp;
  return 1;
}
