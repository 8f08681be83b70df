// Working rows that hold exactly. A correction or a step computed through
// the factors of the working rows leaves a parameter that they fix off by
// the last place of the move, and beside a bound at 0 that is no tolerance
// at all: a >= 0 holds with equality only at a = 0, a value of 1e-17 being
// all of its own size. So a row of one parameter sets that parameter, and
// a row of two sets the one not yet set from the other, along a chain of
// such rows (0 <= a <= d <= c, or b <= a alone); with unit coefficients
// both are exact.
#include <vector>

#include "linalg/vector_kernels.h"
#include "optim/lq.h"
#include "optim/optimiser_internal.h"

namespace {

using namespace optim;

bool simple_row(const CONSTRAINT* c, int columns) { return !c->nc && c->n == columns; }

// x[p] such that row j (coefficients times x, less b[j]) is zero, the other
// entries of x as they are.
void solve_row_for(const ZOPTGLOBAL* g, const CONSTRAINT* c, int k, double target, double* x) {
  const int* pmap = g->state.pmap;
  const double coefficient = *c->mat[k];
  if (coefficient == 0) return;
  double residual = -target;
  for (int i = 0; i < c->n; ++i) residual += *c->mat[i] * x[pmap[c->cols[i]]];
  x[pmap[c->cols[k]]] -= residual / coefficient;
}

}  // namespace

namespace optim {

void settle_working_rows(const ZOPTGLOBAL* g, double* x, const double* b) {
  const ZOPTSTATE& st = g->state;
  const int rows = working_constraints(g);
  std::vector<char> set(static_cast<std::size_t>(nparms(g)), 0);
  for (int j = 0; j < rows; ++j) {
    const CONSTRAINT* c = st.conp[j];
    if (!simple_row(c, 1)) continue;
    solve_row_for(g, c, 0, b[j], x);
    set[st.pmap[c->cols[0]]] = 1;
  }
  // From the parameters set, along chains; a chain that no row of one
  // parameter anchors starts at its first row's first parameter.
  for (bool more = true; more;) {
    more = false;
    int unanchored = -1;
    for (int j = 0; j < rows; ++j) {
      const CONSTRAINT* c = st.conp[j];
      if (!simple_row(c, 2)) continue;
      const int p0 = st.pmap[c->cols[0]], p1 = st.pmap[c->cols[1]];
      if (!set[p0] && !set[p1] && unanchored < 0) unanchored = j;
      if (set[p0] == set[p1]) continue;
      const int k = set[p0] ? 1 : 0;
      solve_row_for(g, c, k, b[j], x);
      set[k ? p1 : p0] = 1;
      more = true;
    }
    if (more || unanchored < 0) continue;
    set[st.pmap[st.conp[unanchored]->cols[0]]] = 1;
    more = true;
  }
}

void remove_row_residual(const ZOPTGLOBAL* g, double* x, double* residual, const double* b, double* change) {
  const ZOPTMARQU& mq = *g->state.marqu;
  const int n = nparms(g);
  lqsolve(working_constraints(g), n, mq.fmat, change, residual, mq.q, mq.beta, mq.singrowsc);
  zvxay11(x, change, n, -1.0);
  settle_working_rows(g, x, b);
}

}  // namespace optim
