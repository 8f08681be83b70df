// Lagrange multiplier estimates of the working constraints: the least-
// squares solution of A' lambda = g from the LQ factors (g - A' lambda is
// orthogonal to every working row). An inequality reads value >= 0, so a
// negative multiplier says that moving into its interior lowers the
// objective. The first estimate uses the gradient at the current point,
// the second the gradient the saved Hessian predicts at the end of the last
// step, g - pdamp H delta.
#include <algorithm>

#include "linalg/packed.h"
#include "linalg/vector_kernels.h"
#include "optim/lq.h"
#include "optim/optimiser_internal.h"
#include "optim/optimiser_output.h"

namespace {

using namespace optim;

// lambda = the solution of A' lambda = w for the working rows; w is changed.
void solve_multipliers(ZOPTGLOBAL* g, double* w, double* lambda) {
  ZOPTMARQU& mq = *g->state.marqu;
  const int m = working_constraints(g);
  pre(m, nparms(g), mq.q, w, mq.beta, mq.singrowsc);
  lq_backsolve(m, mq.fmat, w, lambda, mq.singrowsc);
}

bool tracing(const ZOPTGLOBAL* g) {
  return (g->opts.itprint > 1 || g->opts.debug) && working_constraints(g) > 0;
}

}  // namespace

int zoptlag(ZOPTGLOBAL* g) {
  ZOPTMARQU& mq = *g->state.marqu;
  if (!mq.factored) return 0;
  const int m = working_constraints(g);
  if (m > 0) {
    double* w = g->mem.wrk3;
    copy_parms(w, g->state.grad, nparms(g));
    solve_multipliers(g, w, mq.lagrange);
    if (tracing(g)) report_multipliers(g, mq.lagrange, 672, "FirstLagrMultEst");
    std::copy_n(mq.lagrange, m, mq.nlagr);
  }
  return 1;
}

int zoptlg2(ZOPTGLOBAL* g) {
  ZOPTMARQU& mq = *g->state.marqu;
  const int n = nparms(g);
  if (working_constraints(g) == 0) return 1;
  double* w = g->mem.wrk3;
  const double factor = g->lnsrch.pdamp;
  for (int i = 0; i < n; ++i)
    w[i] = g->state.grad[i] - factor * zvdots1(mq.savhes + zisub(i, 0), i, mq.delta, n);
  solve_multipliers(g, w, mq.nlagr);
  if (tracing(g)) report_multipliers(g, mq.nlagr, 673, "SecondLagrMultEst");
  return 1;
}
