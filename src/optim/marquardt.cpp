// The Marquardt step: the plain step from `next_step` is tried first (unless
// lambda is still large), and while the objective does not improve the
// Hessian's diagonal is inflated by a growing lambda and a shorter, more
// gradient-like step is computed from the saved Hessian. Lambda carries
// over between iterations: each step divides it by 10 (floor 1e-7), each
// ridged retry multiplies it by 8.
#include <algorithm>

#include "linalg/packed.h"
#include "optim/optimiser_internal.h"
#include "optim/optimiser_output.h"

namespace {

using namespace optim;

// Inflates the parameter diagonal by lambda; false when that would overflow.
bool inflate_diagonal(ZOPTGLOBAL* g, double lambda) {
  double* hes = g->state.hes;
  for (int i = 0; i < nparms(g); ++i) {
    double& h = hes[zisub(i, i)];
    if (h > kHalfHuge / (1 + lambda)) return false;
    h += lambda * h;
  }
  return true;
}

// Under working constraints the ridged Hessian is projected again, with a
// shorter restoration step. The reduced gradient is that of the start of
// the iteration, which the restored Hessian's border row holds: the first
// trial is evaluated with its derivatives, which replaced state.grad.
void project_ridged(ZOPTGLOBAL* g) {
  ZOPTMARQU& mq = *g->state.marqu;
  copy_parms(g->state.grad, g->state.hes + border_row(nparms(g)), nparms(g));
  for (int i = 0; i < nparms(g); ++i) mq.pk[i] *= 0.7;
  get_yk(g, g->state.hes);
  znprjhe(g);
}

bool step_vanished(const ZOPTGLOBAL* g) {
  for (int i = 0; i < nparms(g); ++i)
    if (g->state.parms[i] != g->state.pparms[i]) return false;
  return true;
}

// One ridged trial: 1 no more trials, 0 a trial point is set, -1 no step
// could be computed at this lambda (lambda has grown; try again).
int ridge_once(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  st.ridge = 1;
  if (st.subiters > g->opts.maxsubiters || mq.lambda > kLambdaMax) return 1;
  restore_hessian(g);
  if (!inflate_diagonal(g, mq.lambda)) return 1;
  if (working_constraints(g) > 0) project_ridged(g);
  mq.ridgeflag = 1;
  const int made = zoptdlt(g, 0);
  mq.ridgeflag = 0;
  mq.lambda *= 8;
  if (!made) return -1;
  step_from_start(g, 1.0);
  return step_vanished(g) ? 1 : 0;
}

}  // namespace

int ridge(ZOPTGLOBAL* g) {
  for (;;) {
    const int rc = ridge_once(g);
    if (rc >= 0) return rc;
    if (g->opts.itprint && g->funcs.usfout == znpit) znpit(g);
  }
}

int not_improved(ZOPTGLOBAL* g) {
  return evaluate_subiteration(g) != 0 || !improved(g);
}

// Each failed trial counts the retry that would follow it; the last one
// found none, so the count is the retries taken, as a line search counts
// its halvings.
void print_error(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  st.subiters -= 1;
  if (g->opts.printerror) {
    mq.lambda /= 10;
    note_marquardt_failed(st.subiters, mq.lambda);
  }
  mq.failed = 1;
}

int zoptmq(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  const int n = nparms(g);
  mq.lambda = std::max(0.1 * mq.lambda, kLambdaStart);
  mq.d_reason = 0;
  st.ridge = 0;
  if (mq.singrows) std::copy_n(mq.sweepx, n, mq.singrows);
  if (mq.lambda > kLambdaPlainStep) {
    mq.lambda *= 0.125;
    if (mq.lambda > kLambdaReset) mq.lambda = 10;
    ridge(g);
  } else {
    step_from_start(g, 1.0);
  }
  bool better = !not_improved(g);
  if (!better) {
    st.subiters += 1;
    while (!better && ridge(g) == 0) {
      if (mq.boundv) mq.d_reason = 1;
      if (g->opts.itprint > 1 || g->opts.details) znpit(g);
      better = evaluate_subiteration(g) == 0 && improved(g);
      if (!better) st.subiters += 1;
    }
  }
  if (!better) {
    print_error(g);
    return 1;
  }
  if (mq.singrows) mark_rows_sweepable(mq.singrows, n + 1);
  return 0;
}
