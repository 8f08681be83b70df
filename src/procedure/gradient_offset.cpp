#include "procedure/gradient_offset.h"

#include <cmath>
#include <string>
#include <vector>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "linalg/sweep.h"
#include "optim/optimiser.h"
#include "procedure/group_name.h"
#include "procedure/iteration_history.h"
#include "procedure/procedure_context.h"

namespace {

constexpr int kMsgOffsetNotMet = 1063;

// The free directions: the rows of the orthogonal factor past the
// independent working rows, or the parameters themselves.
std::vector<std::vector<double>> free_directions(ZOPTGLOBAL* g) {
  const int n = g->opts.num_parms;
  const ZOPTMARQU& mq = *g->state.marqu;
  std::vector<std::vector<double>> z;
  if (mq.inumconstr > 0) {
    computeQ(g);
    for (int i = mq.inumconstr; i < n; ++i) z.emplace_back(mq.Q[i], mq.Q[i] + n);
    return z;
  }
  for (int i = 0; i < n; ++i) {
    z.emplace_back(static_cast<std::size_t>(n), 0.0);
    z.back()[i] = 1;
  }
  return z;
}

}  // namespace

double cross_product_offset(RUVACOM* ctx) {
  ZOPTGLOBAL* g = ctx->zoptg;
  const int n = ctx->nparm;
  const double pr = g->state.pr;
  if (n < 1 || !(pr > 0) || !std::isfinite(pr)) return missing_value();
  const std::vector<std::vector<double>> z = free_directions(g);
  const int m = static_cast<int>(z.size());
  // [Z H Z'  Z g; g'Z'  F], each row scaled to a unit diagonal so that a
  // parameter of extreme scale is swept by the same test as the others.
  std::vector<double> zg(m, 0.0), x(static_cast<std::size_t>(m + 1) * (m + 2) / 2, 0.0);
  for (int a = 0; a < m; ++a) {
    for (int i = 0; i < n; ++i) zg[a] += z[a][i] * g->state.grad[i];
    for (int b = 0; b <= a; ++b) {
      double s = 0;
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) s += z[a][i] * ctx->xpx2[zisub(i, j)] * z[b][j];
      x[zisub(a, b)] = s;
    }
  }
  std::vector<double> scale(m);
  for (int a = 0; a < m; ++a) {
    const double d = x[zisub(a, a)];
    scale[a] = d > 0 && std::isfinite(d) ? 1 / std::sqrt(d) : 0.0;
  }
  for (int a = 0; a < m; ++a) {
    for (int b = 0; b <= a; ++b) x[zisub(a, b)] *= scale[a] * scale[b];
    x[zisub(m, a)] = zg[a] * scale[a];
  }
  x[zisub(m, m)] = pr;
  std::string status(static_cast<std::size_t>(m + 1), '0');
  std::vector<double> diag(m + 1, 1.0), work(m + 1);
  if (m > 0)
    zsweepr(x.data(), 0, m - 1, m + 1, status.data(), diag.data(), work.data(), g->opts.sing, nullptr,
            "  ", nullptr, 1);
  // The swept border row holds (Z H Z')^-1 Z g on the swept rows.
  double gd = 0;
  for (int a = 0; a < m; ++a)
    if (status[a] == '1') gd += zg[a] * scale[a] * x[zisub(m, a)];
  const double r = std::sqrt(std::fabs(gd) / pr);
  return std::isfinite(r) ? std::min(r, 1.0) : missing_value();
}

bool gradient_stopped_off_the_minimum(RUVACOM* ctx) {
  if (ctx->method != 'A' || ctx->concrit != 'R') return false;
  const double r = cross_product_offset(ctx);
  if (wzmis(r) || r < ctx->zoptg->opts.atol) return false;
  if (!ctx->noprint) show_note(ctx, yolmsgs(305, kMsgOffsetNotMet, "", r));
  xpmlog(305, kMsgOffsetNotMet, by_group_phrase(ctx).c_str(), r);
  ruva_raise_rc(ctx, 4);
  return true;
}
