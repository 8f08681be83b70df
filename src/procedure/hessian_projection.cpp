// Projections of a packed symmetric matrix onto the free directions of the
// active linear constraints: H := Z'(Z H Z')Z with the rows of Z spanning
// the free directions, and the plain quadratic form Z'HZ.
#include "linalg/dense_products.h"
#include "linalg/packed.h"
#include "linalg/vector_kernels.h"
#include "optim/optimiser.h"
#include "procedure/data_pass.h"
#include "procedure/procedure_context.h"

void jovfhes(RUVACOM* ctx, double* hess) {
  ZOPTGLOBAL* g = ctx->zoptg;
  const ZOPTMARQU& mq = *g->state.marqu;
  const int np = g->opts.num_parms;
  const int m = mq.inumconstr;
  if (m == 0 || m >= np || !mq.z || !mq.z[0]) return;
  const int p = np - m;
  const double* z = mq.z[0];  // p rows of np, row-major
  double* projected = g->mem.wrk1;
  double* t = g->mem.wrk3;
  zqform(hess, np, z, p, projected, t, 0);
  for (int j = 0; j < np; ++j) {
    // t = (Z H Z') Z e_j; column j of the result is Z' t.
    for (int i = 0; i < p; ++i) t[i] = zvdotsj(projected + zisub(i, 0), i, z + j, np, p);
    for (int i = j; i < np; ++i) hess[zisub(i, j)] = zvdotj1(z + i, np, t, p);
  }
}

void com_zhz(const double* hes, int m, const double* z, int n, double* nhes, double* wrk) {
  for (int j = 0; j < n; ++j) {
    // wrk = H z_j, z_j the column j of Z.
    for (int i = 0; i < m; ++i) wrk[i] = zvdotsj(hes + zisub(i, 0), i, z + j, n, m);
    for (int i = j; i < n; ++i) nhes[zisub(i, j)] = zvdotj1(z + i, n, wrk, m);
  }
}
