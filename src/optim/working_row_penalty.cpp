// The Hessian penalised along the working rows, H + A'RA: definite on
// every direction the working constraints fix, and singular on exactly the
// directions they leave free and the data leave undetermined (those of
// Z H Z'), whatever the number of active constraints. So a sweep of it in
// the parameters decides what is undetermined on the free directions alone
// (a <= b active when only a + b enters the model leaves nothing), in the
// parameters' own coordinates rather than in those of Z.
#include <cmath>

#include "linalg/packed.h"
#include "optim/optimiser_internal.h"

namespace {

using namespace optim;

// The curvature along working row a, a'Ha / |a|^4 over the diagonal of H
// (the trace's share when H has none there): the scale of the row's entry
// in the constraint block of the inverse of the bordered Hessian.
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

// k += rho a_r a_r' over the parameter block.
void add_row_penalty(const ZOPTGLOBAL* g, double* k, int r, double rho) {
  const double* a = g->state.marqu->mat[r];
  for (int i = 0; i < nparms(g) && rho > 0; ++i)
    for (int j = 0; j <= i; ++j) k[zisub(i, j)] += rho * a[i] * a[j];
}

}  // namespace

namespace optim {

void penalise_working_rows(ZOPTGLOBAL* g, double* k, double* rho, double scale) {
  const ZOPTMARQU& mq = *g->state.marqu;
  for (int r = 0; r < working_constraints(g); ++r) {
    rho[r] = mq.singrowsc[r] == '1' ? scale * row_curvature(g, r) : 0;
    add_row_penalty(g, k, r, rho[r]);
  }
}

void penalise_rows_except(const ZOPTGLOBAL* g, double* k, int skip) {
  for (int r = 0; r < working_constraints(g); ++r)
    if (r != skip) add_row_penalty(g, k, r, row_curvature(g, r));
}

}  // namespace optim
