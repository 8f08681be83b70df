#include "procedure/stop_offset.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/constants.h"
#include "linalg/dense_products.h"
#include "linalg/packed.h"
#include "linalg/sweep.h"
#include "linalg/vector_kernels.h"
#include "optim/lq.h"
#include "optim/optimiser.h"
#include "procedure/data_pass.h"
#include "procedure/group_name.h"
#include "procedure/iteration_history.h"
#include "procedure/procedure_context.h"

namespace {

constexpr int kMsgGradientOffsetNotMet = 1063, kMsgOffsetNotMet = 1064, kMsgVanishing = 1065;
// The optimiser takes an R below this for 0.
constexpr double kNegligibleOffset = 1e-12;
// The offset below which a point passes CONVERGEOBJ= and CONVERGEPARM=.
constexpr double kSlowStepsOffset = 0.01;
// How far NEWTON's offset may exceed the criterion its own R met.
constexpr double kNewtonMetric = 10;

// J'WJ at the stop: NEWTON's pass keeps it apart from its Hessian.
const double* cross_products(const RUVACOM* ctx) {
  return ctx->method == 'W' ? ctx->jwj : ctx->xpx;
}

// Each parameter in the unit of its column of derivatives: 1/length of the
// column, 1 for a column of zeros, which no scale makes count.
std::vector<double> column_scales(const double* h, int n) {
  std::vector<double> scale(static_cast<std::size_t>(n), 1.0);
  for (int j = 0; j < n; ++j) {
    const double d = h[zisub(j, j)];
    if (d > 0 && std::isfinite(d)) scale[j] = 1 / std::sqrt(d);
  }
  return scale;
}

// Orthonormal rows of n entries spanning, in the scaled parameters, the
// directions the working constraints leave free; *m of them (-1 when the
// constraints' derivatives cannot be formed). Each working row is scaled
// to unit length, so that SINGULAR= judges its dependence on the others
// relatively.
std::vector<double> free_directions(RUVACOM* ctx, const std::vector<double>& scale, int* m) {
  ZOPTGLOBAL* g = ctx->zoptg;
  const ZOPTMARQU& mq = *g->state.marqu;
  const int n = ctx->nparm;
  const int r = mq.perm + mq.nact;
  std::vector<double> basis(static_cast<std::size_t>(n) * n);
  std::vector<double*> q_rows(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) q_rows[i] = basis.data() + static_cast<long>(i) * n;
  *m = n;
  if (r < 1) {
    explicit_q(0, n, nullptr, nullptr, nullptr, q_rows.data());
    return basis;
  }
  if (zncmat(g) != 0) {
    *m = -1;
    return {};
  }
  std::vector<double> a(static_cast<std::size_t>(r) * n);
  std::vector<double*> rows(static_cast<std::size_t>(r));
  for (int i = 0; i < r; ++i) {
    rows[i] = a.data() + static_cast<long>(i) * n;
    for (int j = 0; j < n; ++j) rows[i][j] = mq.mat[i][j] * scale[j];
    const double length = zvenorm(n, 1, rows[i]);
    if (length > 0) zvscl11(rows[i], rows[i], n, 1 / length);
  }
  std::vector<double> q(static_cast<std::size_t>(n) * (n + 1) / 2 + 1), beta(r), w(r), w2(n);
  std::string flags(static_cast<std::size_t>(r), '0');
  znlqfct(r, n, rows.data(), w.data(), w2.data(), q.data(), beta.data(), flags.data(),
          g->opts.sing);
  explicit_q(r, n, q.data(), beta.data(), flags.data(), q_rows.data());
  const int rank = lq_rank(r, flags.data());
  *m = n - rank;
  basis.erase(basis.begin(), basis.begin() + static_cast<long>(rank) * n);
  return basis;
}

// [Z H Z'  Z g; g'Z'  F] packed, of order m + 1, in the scaled parameters:
// H = J'WJ, g the gradient, F the objective's reference quantity pr, Z the
// m rows of `z`.
std::vector<double> reduced_bordered(const RUVACOM* ctx, const std::vector<double>& scale,
                                     const std::vector<double>& z, int m) {
  const int n = ctx->nparm;
  const double* jwj = cross_products(ctx);
  std::vector<double> h(jwj, jwj + static_cast<long>(n) * (n + 1) / 2);
  std::vector<double> grad(static_cast<std::size_t>(n)), work(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    grad[i] = ctx->zoptg->state.grad[i] * scale[i];
    for (int j = 0; j <= i; ++j) h[zisub(i, j)] *= scale[i] * scale[j];
  }
  std::vector<double> x(static_cast<std::size_t>(m + 1) * (m + 2) / 2, 0.0);
  if (m > 0) zqform(h.data(), n, z.data(), m, x.data(), work.data(), 0);
  for (int b = 0; b < m; ++b)
    x[zisub(m, b)] = zvdot11(z.data() + static_cast<long>(b) * n, grad.data(), n);
  x[zisub(m, m)] = ctx->zoptg->state.pr;
  return x;
}

// Adds to `names` the parameters that row `row` of z moves.
void add_moved(const std::vector<double>& z, int row, int n, std::vector<char>* names) {
  for (int j = 0; j < n; ++j)
    if (std::fabs(z[static_cast<long>(row) * n + j]) > linalg::kRoundoff) (*names)[j] = 1;
}

// The free parameters whose columns of derivatives are negligible beside
// the longest: below the square root of SINGULAR= of its length.
void add_vanishing_columns(const RUVACOM* ctx, const std::vector<double>& z, int m,
                           std::vector<char>* names) {
  const int n = ctx->nparm;
  const double* h = cross_products(ctx);
  double longest = 0;
  for (int j = 0; j < n; ++j) longest = std::max(longest, h[zisub(j, j)]);
  for (int j = 0; j < n; ++j) {
    double free = 0;
    for (int a = 0; a < m; ++a) free += std::fabs(z[static_cast<long>(a) * n + j]);
    const double d = h[zisub(j, j)];
    if (d > 0 && d <= ctx->zoptg->opts.sing * longest && free > linalg::kRoundoff) (*names)[j] = 1;
  }
}

std::vector<int> indices(const std::vector<char>& marked) {
  std::vector<int> out;
  for (std::size_t j = 0; j < marked.size(); ++j)
    if (marked[j]) out.push_back(static_cast<int>(j));
  return out;
}

std::string vanishing_phrase(const RUVACOM* ctx, const std::vector<int>& params) {
  if (params.empty()) return "";
  std::string names;
  for (int i : params) names += (names.empty() ? "" : ", ") + std::string(ctx->pname[i]);
  std::vector<char> text(names.size() + 512);
  xpmstr(text.data(), static_cast<int>(text.size()), 305, kMsgVanishing, names.c_str());
  return std::string(" ") + text.data();
}

// The relative offset the fit must be below. CONVERGE= (or its default)
// judges R itself. CONVERGEOBJ= and CONVERGEPARM= judge the change the
// last iteration made, which slow steps keep small short of the minimum
// as well: a point passes them where R is below 0.01 (the objective
// within a ten-thousandth of its minimum along the step; steps that still
// converge, slowly, stop below 1e-3, while stalls, plateaus and degenerate
// limits stand at 0.1 and more), or where the step still to take,
// linearised, makes a change they accept: it lowers the objective by R^2
// of it, and changes no parameter j by more than c relatively only where
// R <= c sum_j |x_j| ||J_j|| / sqrt(F) (an x_j of 0 counting 1, as the
// test then measures the change absolutely). With both, a point is
// refused only when the step breaks both. GRADIENT's steps are short
// however far the minimum is, so that its changes say nothing of the
// distance: CONVERGE= alone judges it. NEWTON's steps stop on R formed
// from the Hessian, which differs from J'WJ by the residuals' curvature:
// where they reach the minimum the offset is within a few times that R
// (a plateau or a limit stands orders of magnitude above), so it is held
// to ten times CONVERGE=.
double required_offset(const RUVACOM* ctx) {
  const double converge = ctx->offset_criterion * (ctx->method == 'W' ? kNewtonMetric : 1.0);
  const bool callers = ctx->concrit == 'S' || ctx->concrit == 'P' || ctx->concrit == 'B';
  if (!callers || ctx->method == 'A') return converge;
  const double objective = ctx->concrit == 'P' ? 0.0 : std::sqrt(ctx->criterion);
  double parameters = 0;
  if (ctx->concrit != 'S') {
    const double* h = cross_products(ctx);
    double reach = 0;
    for (int j = 0; j < ctx->nparm; ++j)
      reach += (ctx->parm[j] != 0 ? std::fabs(ctx->parm[j]) : 1.0) *
               std::sqrt(std::max(h[zisub(j, j)], 0.0));
    parameters = ctx->criter2 * reach / std::sqrt(ctx->zoptg->state.pr);
  }
  const double bound = std::max({kSlowStepsOffset, objective, parameters});
  return std::isfinite(bound) ? std::max(converge, bound) : std::max(converge, kSlowStepsOffset);
}

// The pass at the stop forms its own cross products, gradient and sum of
// squares; what the optimiser left in the arrays it shares with the pass
// (the swept matrix that the preparation of the skewness reads) is put
// back afterwards.
class PassAtTheStop {
 public:
  explicit PassAtTheStop(RUVACOM* ctx)
      : ctx_(ctx),
        packed_(static_cast<long>(ctx->nparm + 1) * (ctx->nparm + 2) / 2),
        sse_(ctx->sse) {
    for (double* a : arrays()) saved_.emplace_back(a, a + packed_);
    gradient_.assign(ctx->gradient, ctx->gradient + ctx->nparm + 1);
    ctx->do_der = 1;
    ruvass(ctx);
  }
  PassAtTheStop(const PassAtTheStop&) = delete;
  PassAtTheStop& operator=(const PassAtTheStop&) = delete;
  ~PassAtTheStop() {
    const std::vector<double*> a = arrays();
    for (std::size_t k = 0; k < a.size(); ++k) std::copy(saved_[k].begin(), saved_[k].end(), a[k]);
    std::copy(gradient_.begin(), gradient_.end(), ctx_->gradient);
    ctx_->sse = sse_;
  }

 private:
  std::vector<double*> arrays() const { return {ctx_->xpx, ctx_->xpx2, ctx_->jwj, ctx_->hessian2}; }
  RUVACOM* ctx_;
  long packed_;
  double sse_;
  std::vector<std::vector<double>> saved_;
  std::vector<double> gradient_;
};

}  // namespace

StopOffset offset_at_stop(RUVACOM* ctx, double criterion) {
  StopOffset out{missing_value(), {}};
  const ZOPTGLOBAL* g = ctx->zoptg;
  const double pr = g->state.pr;
  const int n = ctx->nparm;
  if (n < 1 || !(pr > 0) || !std::isfinite(pr)) return out;
  const std::vector<double> scale = column_scales(cross_products(ctx), n);
  int m = 0;
  const std::vector<double> z = free_directions(ctx, scale, &m);
  if (m < 0) return out;
  std::vector<double> x = reduced_bordered(ctx, scale, z, m);
  const std::vector<double> zg(x.begin() + zisub(m, 0), x.begin() + zisub(m, 0) + m);
  std::string status(static_cast<std::size_t>(m + 1), '0');
  std::vector<double> diag(m + 1, 1.0), work(m + 1);
  if (m > 0)
    zsweepr(x.data(), 0, m - 1, m + 1, status.data(), diag.data(), work.data(), g->opts.sing,
            nullptr, "  ", nullptr, 1);
  // Each direction is judged against the unit of a scaled column, not its
  // own length: one along which the derivatives cancel exactly (a - b where
  // only a + b counts) has a length of rounding, which its own scale would
  // blow up. The swept border row then holds (Z H Z')^-1 Z g on the swept
  // rows, and on the others the gradient the swept ones leave, over a pivot
  // of at most SINGULAR=.
  const double pivot_bound = std::max(g->opts.sing, linalg::kRoundoff);
  double gd = 0, unresolved = 0;
  std::vector<char> names(static_cast<std::size_t>(n), 0);
  for (int a = 0; a < m; ++a) {
    const double border = x[zisub(m, a)];
    if (status[a] == '1') {
      gd += zg[a] * border;
      continue;
    }
    const double share = border * border / pivot_bound;
    unresolved = std::max(unresolved, share);
    if (!(std::sqrt(share / pr) < criterion)) add_moved(z, a, n, &names);
  }
  const double r = std::sqrt((std::fabs(gd) + unresolved) / pr);
  out.r = std::isfinite(r) ? std::min(r, 1.0) : missing_value();
  add_vanishing_columns(ctx, z, m, &names);
  out.vanishing = indices(names);
  return out;
}

bool stopped_off_the_minimum(RUVACOM* ctx) {
  const ZOPTGLOBAL* g = ctx->zoptg;
  // A fit whose objective counts as zero has converged whatever R says.
  if (g->state.pr < g->opts.aftl * g->state.objscale) return false;
  // A pass with derivatives puts the cross products at the stop into xpx
  // (the optimiser leaves them swept there, GRADIENT the identity).
  StopOffset offset;
  double criterion = 0;
  {
    const PassAtTheStop pass(ctx);
    criterion = required_offset(ctx);
    offset = offset_at_stop(ctx, criterion);
  }
  if (wzmis(offset.r) || offset.r < criterion || offset.r < kNegligibleOffset) return false;
  const std::string vanishing = vanishing_phrase(ctx, offset.vanishing);
  const int message = ctx->method == 'A' ? kMsgGradientOffsetNotMet : kMsgOffsetNotMet;
  if (!ctx->noprint)
    show_note(ctx, yolmsgs(305, message, "", offset.r, criterion, vanishing.c_str()));
  xpmlog(305, message, by_group_phrase(ctx).c_str(), offset.r, criterion, vanishing.c_str());
  ruva_raise_rc(ctx, 4);
  return true;
}
