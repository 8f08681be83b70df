#include "procedure/gradient_offset.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/dense_products.h"
#include "linalg/packed.h"
#include "linalg/sweep.h"
#include "linalg/vector_kernels.h"
#include "optim/optimiser.h"
#include "procedure/data_pass.h"
#include "procedure/group_name.h"
#include "procedure/iteration_history.h"
#include "procedure/procedure_context.h"

namespace {

constexpr int kMsgOffsetNotMet = 1063;

// [Z H Z'  Z g; g'Z'  F] packed, of order m + 1: H the cross products, g
// the gradient and F the objective's reference quantity pr, Z the rows of
// the orthogonal factor past the independent working rows (the directions
// the working constraints leave free), or the identity without them.
std::vector<double> reduced_bordered(RUVACOM* ctx, int* m) {
  ZOPTGLOBAL* g = ctx->zoptg;
  const ZOPTMARQU& mq = *g->state.marqu;
  const int n = ctx->nparm;
  const double* h = ctx->xpx;
  const double* grad = g->state.grad;
  *m = n - mq.inumconstr;
  std::vector<double> x(static_cast<std::size_t>(*m + 1) * (*m + 2) / 2, 0.0);
  if (mq.inumconstr == 0) {
    std::copy(h, h + static_cast<long>(n) * (n + 1) / 2, x.begin());
    std::copy(grad, grad + n, x.begin() + zisub(n, 0));
  } else {
    computeQ(g);
    // Rows inumconstr.. of Q, contiguous; none when the constraints fix
    // every parameter.
    const double* z = *m > 0 ? mq.Q[mq.inumconstr] : nullptr;
    std::vector<double> work(static_cast<std::size_t>(n));
    if (z) zqform(h, n, z, *m, x.data(), work.data(), 0);
    for (int b = 0; b < *m; ++b) x[zisub(*m, b)] = zvdot11(z + static_cast<long>(b) * n, grad, n);
  }
  x[zisub(*m, *m)] = g->state.pr;
  return x;
}

// Scales rows and columns 0..m-1 of the packed order-(m+1) x to a unit
// diagonal, so that a parameter of extreme scale is swept by the same test
// as the others; a row with no positive diagonal is zeroed.
void unit_diagonal(std::vector<double>* x, int m) {
  std::vector<double> scale(m);
  for (int a = 0; a < m; ++a) {
    const double d = (*x)[zisub(a, a)];
    scale[a] = d > 0 && std::isfinite(d) ? 1 / std::sqrt(d) : 0.0;
  }
  for (int a = 0; a < m; ++a) {
    for (int b = 0; b <= a; ++b) (*x)[zisub(a, b)] *= scale[a] * scale[b];
    (*x)[zisub(m, a)] *= scale[a];
  }
}

}  // namespace

double cross_product_offset(RUVACOM* ctx) {
  const double pr = ctx->zoptg->state.pr;
  if (ctx->nparm < 1 || !(pr > 0) || !std::isfinite(pr)) return missing_value();
  int m = 0;
  std::vector<double> x = reduced_bordered(ctx, &m);
  unit_diagonal(&x, m);
  const std::vector<double> zg(x.begin() + zisub(m, 0), x.begin() + zisub(m, 0) + m);
  std::string status(static_cast<std::size_t>(m + 1), '0');
  std::vector<double> diag(m + 1, 1.0), work(m + 1);
  if (m > 0)
    zsweepr(x.data(), 0, m - 1, m + 1, status.data(), diag.data(), work.data(),
            ctx->zoptg->opts.sing, nullptr, "  ", nullptr, 1);
  // The swept border row holds (Z H Z')^-1 Z g on the swept rows.
  double gd = 0;
  for (int a = 0; a < m; ++a)
    if (status[a] == '1') gd += zg[a] * x[zisub(m, a)];
  const double r = std::sqrt(std::fabs(gd) / pr);
  return std::isfinite(r) ? std::min(r, 1.0) : missing_value();
}

bool gradient_stopped_off_the_minimum(RUVACOM* ctx) {
  const ZOPTGLOBAL* g = ctx->zoptg;
  // CONVERGEOBJ= and CONVERGEPARM= too stop GRADIENT where its steps are
  // short, which says as little of the distance to the minimum.
  if (ctx->method != 'A') return false;
  // A fit whose objective counts as zero has converged whatever R says.
  if (g->state.pr < g->opts.aftl * g->state.objscale) return false;
  // A pass with derivatives puts the cross products at the stop into xpx:
  // the optimiser's refreshes of the identity may have left it in xpx2.
  ctx->do_der = 1;
  ruvass(ctx);
  const double r = cross_product_offset(ctx);
  if (wzmis(r) || r < ctx->offset_criterion) return false;
  if (!ctx->noprint) show_note(ctx, yolmsgs(305, kMsgOffsetNotMet, "", r));
  xpmlog(305, kMsgOffsetNotMet, by_group_phrase(ctx).c_str(), r);
  ruva_raise_rc(ctx, 4);
  return true;
}
