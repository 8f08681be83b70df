#include "procedure/stop_offset.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/constants.h"
#include "linalg/packed.h"
#include "linalg/vector_kernels.h"
#include "optim/lq.h"
#include "optim/optimiser.h"
#include "procedure/data_pass.h"
#include "procedure/offset_measures.h"
#include "procedure/pass_memo.h"
#include "procedure/group_name.h"
#include "procedure/iteration_history.h"
#include "procedure/procedure_context.h"

namespace {

constexpr int kMsgGradientOffsetNotMet = 1063, kMsgOffsetNotMet = 1064, kMsgVanishing = 1065;
constexpr int kMsgVanished = 1066, kMsgAtPrecision = 1067;
// The smallest relative offset whose step the objective can show: the
// square root of 64 units of rounding.
constexpr double kResolvableOffset = 1.1920928955078125e-07;
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

// Whether the free directions z (m rows of n) move parameter j.
bool moves(const std::vector<double>& z, int m, int n, int j) {
  double part = 0;
  for (int a = 0; a < m; ++a) part += std::fabs(z[static_cast<long>(a) * n + j]);
  return part > linalg::kRoundoff;
}

// Adds to `names` the parameters that the scaled direction w (n entries)
// moves by more than a thousandth of its largest part.
void add_moved(const double* w, int n, std::vector<char>* names) {
  double largest = 0;
  for (int j = 0; j < n; ++j) largest = std::max(largest, std::fabs(w[j]));
  for (int j = 0; j < n; ++j)
    if (std::fabs(w[j]) > 1e-3 * largest) (*names)[j] = 1;
}

// The free parameters whose columns of derivatives are negligible beside
// the longest: below the square root of SINGULAR= of its length.
void add_vanishing_columns(const RUVACOM* ctx, const double* h, const std::vector<double>& z, int m,
                           std::vector<char>* names) {
  const int n = ctx->nparm;
  double longest = 0;
  for (int j = 0; j < n; ++j) longest = std::max(longest, h[zisub(j, j)]);
  for (int j = 0; j < n; ++j) {
    const double d = h[zisub(j, j)];
    if (d > 0 && d <= ctx->zoptg->opts.sing * longest && moves(z, m, n, j)) (*names)[j] = 1;
  }
}

std::vector<int> indices(const std::vector<char>& marked) {
  std::vector<int> out;
  for (std::size_t j = 0; j < marked.size(); ++j)
    if (marked[j]) out.push_back(static_cast<int>(j));
  return out;
}

std::string names_of(const RUVACOM* ctx, const std::vector<int>& params) {
  std::string names;
  for (int i : params) names += (names.empty() ? "" : ", ") + std::string(ctx->pname[i]);
  return names;
}

std::string vanishing_phrase(const RUVACOM* ctx, const std::vector<int>& params) {
  if (params.empty()) return "";
  const std::string names = names_of(ctx, params);
  std::vector<char> text(names.size() + 512);
  xpmstr(text.data(), static_cast<int>(text.size()), 305, kMsgVanishing, names.c_str());
  return std::string(" ") + text.data();
}

// The offset CONVERGE= (or its default) asks, judging R itself. NEWTON's steps stop on
// R formed from the Hessian, which differs from J'WJ by the residuals'
// curvature: where they reach the minimum the offset is within a few times
// that R (a plateau or a limit stands orders of magnitude above), so it is
// held to ten times CONVERGE=.
double converge_offset(const RUVACOM* ctx, const double*) {
  return ctx->offset_criterion * (ctx->method == 'W' ? kNewtonMetric : 1.0);
}

// The step still to take would lower the objective by R^2 of itself: an R
// below the square root of a few dozen units of rounding changes it by
// less than the rounding of its sum, so that no criterion finer than that
// can be seen to be met (where no step reduced the objective, or where the
// optimiser's own R, formed otherwise, met a finer CONVERGE=).
double resolvable_offset(const RUVACOM* ctx, const double* h) {
  return std::max(converge_offset(ctx, h), kResolvableOffset);
}

// The relative offset the fit must be below. CONVERGE= (or its default, or
// the least the objective can show) judges R itself. CONVERGEOBJ= and CONVERGEPARM= judge the change the
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
// distance: CONVERGE= alone judges it.
double required_offset(const RUVACOM* ctx, const double* h) {
  const double converge = resolvable_offset(ctx, h);
  const bool callers = ctx->concrit == 'S' || ctx->concrit == 'P' || ctx->concrit == 'B';
  if (!callers || ctx->method == 'A') return converge;
  const double objective = ctx->concrit == 'P' ? 0.0 : std::sqrt(ctx->criterion);
  double parameters = 0;
  if (ctx->concrit != 'S') {
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
  PassAtTheStop(RUVACOM* ctx, PassRows* rows)
      : ctx_(ctx),
        packed_(static_cast<long>(ctx->nparm + 1) * (ctx->nparm + 2) / 2),
        sse_(ctx->sse) {
    for (double* a : arrays()) saved_.emplace_back(a, a + packed_);
    gradient_.assign(ctx->gradient, ctx->gradient + ctx->nparm + 1);
    ctx->do_der = 1;
    ruvass_with_rows(ctx, rows);
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

// J'WJ at the stop (packed, order nparm): the latest pass's, kept for the
// last pass, when it was made at the stop; else that of a pass made now.
std::vector<double> products_at_stop(RUVACOM* ctx) {
  const long packed = static_cast<long>(ctx->nparm) * (ctx->nparm + 1) / 2;
  if (ctx->method != 'W')
    if (const double* kept = latest_pass_products(ctx)) return {kept, kept + packed};
  const PassAtTheStop pass(ctx, nullptr);
  const double* h = cross_products(ctx);
  return {h, h + packed};
}

// The free parameters whose columns of derivatives are all zero at the stop
// though they were not at `start`: the iterations took the model where
// those parameters no longer matter (a term exp(-k*x) whose k ran off to
// where it underflows), a limit rather than a minimum.
std::vector<int> vanished_since_start(RUVACOM* ctx, const double* h, const std::vector<double>& z, int m,
                                      const double* start) {
  const int n = ctx->nparm;
  std::vector<int> zero;
  for (int j = 0; j < n; ++j)
    if (h[zisub(j, j)] == 0 && moves(z, m, n, j)) zero.push_back(j);
  if (zero.empty() || !start) return {};
  std::vector<double> at_start(static_cast<std::size_t>(n + 1) * (n + 2) / 2);
  if (cross_products_at(ctx, start, at_start.data()) <= 0) return {};
  std::vector<int> vanished;
  for (int j : zero)
    if (at_start[zisub(j, j)] > 0) vanished.push_back(j);
  return vanished;
}

// The relative offset, at most 1 (missing when it cannot be formed), and
// the parameters whose derivatives, or a combination's, nearly vanish.
struct StopOffset {
  double r;
  std::vector<int> vanishing;
};

// What the point where the iterations stopped is: its relative offset over
// the free directions and the parameters named with it, and the
// parameters whose derivatives vanished on the way there.
struct StopPoint {
  StopOffset offset{missing_value(), {}};
  std::vector<int> vanished;
  double criterion = 0;  // the offset the point must be below
};

// The offset a point must be below, from J'WJ at the point.
using Criterion = double (*)(const RUVACOM*, const double*);

// The share of the objective along the free directions: from J'WJ where
// it resolves every direction that holds a gradient, else from a factor of
// the rows of a pass made now.
FreeShare free_share(RUVACOM* ctx, const std::vector<double>& h, const std::vector<double>& scale,
                     const std::vector<double>& z, int m, double criterion) {
  const ZOPTGLOBAL* g = ctx->zoptg;
  const int n = ctx->nparm;
  const double pr = g->state.pr, sing = g->opts.sing;
  const long nobs = g->state.nobs;
  FreeShare share = share_from_products(h.data(), scale, z, n, m, g->state.grad, pr, sing, nobs);
  if (share.moved.empty()) return share;
  RowFactor rows(n);
  { const PassAtTheStop pass(ctx, &rows); }
  return share_from_rows(rows.triangle(), scale, z, n, m, g->state.grad, pr, sing, criterion, nobs);
}

StopPoint judge_stop(RUVACOM* ctx, const double* start, Criterion required) {
  StopPoint out;
  const ZOPTGLOBAL* g = ctx->zoptg;
  const double pr = g->state.pr;
  const int n = ctx->nparm;
  if (n < 1 || !(pr > 0) || !std::isfinite(pr)) return out;
  const std::vector<double> h = products_at_stop(ctx);
  out.criterion = required(ctx, h.data());
  const std::vector<double> scale = column_scales(h.data(), n);
  int m = 0;
  const std::vector<double> z = free_directions(ctx, scale, &m);
  if (m < 0) return out;
  std::vector<char> names(static_cast<std::size_t>(n), 0);
  add_vanishing_columns(ctx, h.data(), z, m, &names);
  out.vanished = vanished_since_start(ctx, h.data(), z, m, start);
  double share = 0;
  if (m > 0) {
    const FreeShare free = free_share(ctx, h, scale, z, m, out.criterion);
    if (wzmis(free.share)) return out;
    share = free.share;
    for (std::size_t at = 0; at < free.moved.size(); at += static_cast<std::size_t>(n))
      add_moved(free.moved.data() + at, n, &names);
  }
  const double r = std::sqrt(share / pr);
  out.offset = {std::isfinite(r) ? std::min(r, 1.0) : missing_value(), indices(names)};
  return out;
}

// A fit whose objective counts as zero has converged whatever R says.
bool negligible_objective(const RUVACOM* ctx) {
  const ZOPTGLOBAL* g = ctx->zoptg;
  return g->state.pr < g->opts.aftl * g->state.objscale;
}

}  // namespace

bool stopped_off_the_minimum(RUVACOM* ctx, const double* start) {
  if (negligible_objective(ctx)) return false;
  const StopPoint stop = judge_stop(ctx, start, required_offset);
  const std::string where = by_group_phrase(ctx);
  if (!stop.vanished.empty()) {
    const std::string names = names_of(ctx, stop.vanished);
    if (!ctx->noprint) show_note(ctx, yolmsgs(305, kMsgVanished, names.c_str(), ""));
    xpmlog(305, kMsgVanished, names.c_str(), where.c_str());
    ruva_raise_rc(ctx, 4);
    return true;
  }
  const double r = stop.offset.r, criterion = stop.criterion;
  if (wzmis(r) || r < criterion || r < kNegligibleOffset) return false;
  const int message = ctx->method == 'A' ? kMsgGradientOffsetNotMet : kMsgOffsetNotMet;
  const std::string vanishing = vanishing_phrase(ctx, stop.offset.vanishing);
  if (!ctx->noprint) show_note(ctx, yolmsgs(305, message, "", r, criterion, vanishing.c_str()));
  xpmlog(305, message, where.c_str(), r, criterion, vanishing.c_str());
  ruva_raise_rc(ctx, 4);
  return true;
}

bool at_minimum_where_no_step_reduced(RUVACOM* ctx, const double* start) {
  ZOPTGLOBAL* g = ctx->zoptg;
  // The optimiser's own R stays near the square root of the rounding there
  // (about 1e-8), and GRADIENT's is no relative offset at all: the offset
  // judges the point by CONVERGE= itself, or by the least the objective can
  // show where that is finer; the optimiser's test adds that no working
  // constraint is broken and no active bound asks to be left.
  if (g->state.error != s_nodecr || !stays_on_working_set(g)) return false;
  if (!negligible_objective(ctx)) {
    const StopPoint stop = judge_stop(ctx, start, resolvable_offset);
    const double r = stop.offset.r, criterion = stop.criterion;
    if (!stop.vanished.empty() || wzmis(r) || !(r < criterion)) return false;
    if (!ctx->noprint) show_note(ctx, yolmsgs(305, kMsgAtPrecision, "", r, criterion));
    xpmlog(305, kMsgAtPrecision, by_group_phrase(ctx).c_str(), r, criterion);
  }
  g->state.error = s_ok;
  return true;
}
