// Step computation: `next_step` prepares the bordered Hessian (objective
// corner, constraint matrix, projection) and `zoptdlt` sweeps its free rows
// together with the border row, which then holds the Newton step H^-1 g.
#include <cmath>
#include <cstring>

#include "linalg/packed.h"
#include "optim/optimiser_internal.h"
#include "optim/optimiser_output.h"

namespace {

using namespace optim;

// A caller that leaves the objective corner empty gets the objective there,
// |objective| as the reference quantity and the gradient as the border row.
void fill_objective_corner(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  const int n = nparms(g);
  if (st.hes[corner(n)] != 0) return;
  st.hes[corner(n)] = st.objective;
  st.grad[n] = std::fabs(st.objective);
  copy_parms(st.hes + border_row(n), st.grad, n);
}

// Sweeps the m free rows; returns the rank (0 when nothing could be swept).
// Under the Moore-Penrose option the step inverts the rows the default
// inverts, made minimum-norm: a row along which a Newton Hessian curves
// down away from the minimum, which the pseudo-inverse proper inverts,
// would turn the step uphill.
int sweep_free_rows(ZOPTGLOBAL* g, int m) {
  ZSWPN* swpi = g->state.swpi;
  swpi->sing = g->opts.sing;
  if (m < 1) {
    swpi->rank = 0;
    return 0;
  }
  double* hes = g->state.hes;
  const int rc = swpi->moorep ? minimum_norm_sweep(hes, m, m + 1, swpi)
                              : zswpn(hes, g->state.marqu->singrows, m, m + 1, swpi);
  if (rc != 0) swpi->rank = 0;
  return swpi->rank;
}

}  // namespace

int next_step(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  const int n = nparms(g);
  if (g->funcs.usmprt) g->funcs.usmprt(g);
  fill_objective_corner(g);
  if (g->funcs.usjnc) zncmat(g);
  st.pr = st.grad[n];
  save_hessian(g);
  znprjhs(g);
  copy_parms(st.pparms, st.parms, n);
  if (mq.inumconstr >= n) {
    // The working set fixes every parameter: the restoration step, formed
    // afresh for this point, is the step.
    st.r = 0;
    get_pk(g);
    copy_parms(mq.delta, mq.pk, n);
    return 0;
  }
  mark_rows_sweepable(mq.singrows, n);
  const int made = zoptdlt(g, 1);
  if (!made && st.subiters == 0) st.r = missing_value();
  st.fullsubiter = 0;
  return !made;
}

int zoptdlt(ZOPTGLOBAL* g, int print) {
  ZOPTSTATE& st = g->state;
  ZOPTMARQU& mq = *st.marqu;
  const ZOPTOPT& o = g->opts;
  const int m = nparms(g) - mq.inumconstr;
  st.rankxpx = -1;
  std::memset(st.swpi->sweepx, '0', static_cast<std::size_t>(m + 1));
  if (o.itprint && o.xpx && print) report_matrix(g, m, false);
  const int rank = sweep_free_rows(g, m);
  mq.sweepx = st.swpi->sweepx;
  st.rankxpx = rank;
  mq.singular = rank < m;
  if (mq.singular && (o.itprint > 1 || o.debug) && print) report_singular_rows(g, m);
  if (o.itprint && o.i && print) report_matrix(g, m, true);
  if (rank <= 0 && working_constraints(g) == 0) return 0;
  // The sweep leaves a singular row's step component meaningless, so it is
  // 0; the pseudo-inverse has already taken the singular directions out of
  // the step, and every row keeps its component of the minimum-norm step
  // (keeping only the '1' rows would freeze the dependent ones).
  const bool pseudo_inverse = st.swpi->moorep;
  for (int j = 0; j < m; ++j)
    mq.delta[j] = pseudo_inverse || mq.sweepx[j] == '1' ? st.hes[zisub(m, j)] : 0.0;
  if ((o.itprint > 1 || o.debug) && print) report_step(g, m, 204);
  return znunprd(g);
}
