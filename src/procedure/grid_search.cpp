// The grid search `jovgrid`: the objective at every combination of
// starting values, the best points kept in order (the earlier point winning
// a tie), the grid printed and written to OUTEST=, and the best point left
// in the parameters as the start of the estimation.
#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <vector>

#include "host/missing.h"
#include "host/services.h"
#include "host/object_methods.h"
#include "optim/optimiser.h"
#include "procedure/data_pass.h"
#include "procedure/estimation_callbacks.h"
#include "procedure/pass_memo.h"
#include "procedure/iteration_history.h"
#include "procedure/outest_data_set.h"
#include "procedure/step_memory.h"
#include "procedure/group_name.h"
#include "procedure/procedure_context.h"
#include "procedure/step_phases.h"
#include "procedure/starting_values.h"
#include "procedure/unused_observations.h"

namespace {

constexpr int kMsgElapsed = 7, kMsgNoStorage = 8, kMsgSomeInfeasible = 15, kMsgNoUsablePoint = 19;
constexpr int kMsgAllInfeasible = 76, kMsgGridRow = 77, kMsgStartInfeasible = 81, kMsgResponsesTooSmall = 980;
constexpr int kMsgNoneFeasible = 1027;
constexpr int kSelRow = 329;

// One kept grid point.
struct POINT {
  std::int32_t parmnum;  // -1: an empty entry
  std::int64_t iobs;
  double loss;
};

// The best points, ascending by loss; returned to the pool when the search ends.
class BestPoints {
 public:
  explicit BestPoints(int size) : size_(size), p_(size > 0 ? ruva_new<POINT>(size) : nullptr) {
    for (int j = 0; p_ && j < size_; ++j) p_[j] = {-1, 0, DBL_MAX};
  }
  ~BestPoints() { ruva_free(p_); }
  BestPoints(const BestPoints&) = delete;
  BestPoints& operator=(const BestPoints&) = delete;

  bool ready() const { return p_ != nullptr; }
  const POINT& operator[](int j) const { return p_[j]; }
  // Inserts before the first entry with a strictly larger loss.
  void offer(int k, double loss) {
    int j = 0;
    while (j < size_ && !(p_[j].loss > loss)) ++j;
    if (j == size_) return;
    std::move_backward(p_ + j, p_ + size_ - 1, p_ + size_);
    p_[j] = {k, 0, loss};
  }

 private:
  int size_;
  POINT* p_;
};

// Point k in mixed radix, the first parameter varying fastest; parameters
// without grid values keep theirs.
void set_point(RUVACOM* ctx, long k) {
  ctx->grid_point = static_cast<std::int32_t>(k + 1);
  for (int i = 0; i < ctx->nparm; ++i) {
    const RUVAPARMSTR& p = ctx->parms[i];
    if (p.npoint == 0) continue;
    ctx->parm[i] = p.vals[k % p.npoint];
    k /= p.npoint;
  }
}

void start_control_variables(RUVACOM* ctx) {
  const CMPLIST* list = ctx->control;
  for (int i = 0; list && i < list->n; ++i) {
    CMPSYM* sym = list->s[i];
    if (sym->ninit != 0 && cmp_numeric(sym)) *cmp_cell(sym) = sym->init[0];
  }
}

// 1 when the point violates a bound (it is then not evaluated).
int infeasible(RUVACOM* ctx) {
  ZOPTGLOBAL* g = ctx->zoptg;
  if (zngcon(g) != 0) return 1;
  return g->state.marqu->boundv ? 1 : 0;
}

bool add_row(RUVACOM* ctx) {
  if (!ctx->data) return true;
  const int rc = wobmth(static_cast<wobop>(ctx->data), nullptr, kSelRow, 0, nullptr);
  if (rc >= 0) return true;
  xprrlog(0, rc);
  return false;
}

struct Scan {
  bool anywarn = false;
  int warn = 0;
  long infeasible = 0;  // points that violate the BOUNDS
  double best_sumwy2 = 0;  // the best point's sum of w y^2
  long best_nonzero_y = 0;  // and its count of nonzero responses
};

// Every point once; false when a printed row failed.
bool scan_points(RUVACOM* ctx, BestPoints* best, Scan* scan) {
  const bool print_all = ctx->npoints > 1 && ctx->nrank == -1;
  for (long k = 0; k < ctx->npoints; ++k) {
    set_point(ctx, k);
    scan->warn = infeasible(ctx);
    long iobs = 0;
    if (scan->warn) {
      ctx->sse = missing_value();
    } else if ((iobs = ruvass(ctx)) <= 0) {
      ctx->sse = special_missing_value();
    }
    scan->anywarn = scan->anywarn || scan->warn;
    scan->infeasible += scan->warn;
    if (ctx->outestptr && ctx->npoints > 1) {
      set_outest_status(ctx, kMsgGridRow);
      write_outest_row(ctx, nullptr);
    }
    if (iobs > 0 && !wzmis(ctx->sse) && !scan->warn) {
      best->offer(static_cast<int>(k), ctx->sse);
      if ((*best)[0].parmnum == k) {
        remember_pass(ctx, iobs);
        scan->best_sumwy2 = ctx->sumwy2;
        scan->best_nonzero_y = ctx->nonzero_y;
      }
    }
    if (print_all) {
      if (k == 0) jovprt(scan->warn + kHistoryGrid, ctx);
      if (!add_row(ctx)) return false;
    }
  }
  return true;
}

bool print_best(RUVACOM* ctx, const BestPoints& best) {
  for (int j = 0; j < std::min(ctx->nrank, ctx->nsave) && best[j].parmnum >= 0; ++j) {
    set_point(ctx, best[j].parmnum);
    ctx->sse = best[j].loss;
    if (j == 0) jovprt(kHistoryGrid, ctx);
    if (!add_row(ctx)) return false;
  }
  return true;
}

// The pass that shows the program's missing-value report for a group in
// which no point could be evaluated.
void reporting_pass(RUVACOM* ctx) {
  ctx->lastpass = 1;
  const double sse = ctx->sse;
  xbyrwnd(ctx->fiddata, kXoGroupStart);
  ruvass(ctx);
  ctx->sse = sse;
  ctx->lastpass = 0;
  if (ctx->nmissgen != 0 && !ctx->noprint) {
    cmppmis(&ctx->globcmp);
    ++ctx->nerrmsg;
  }
}

// Says that points of the grid violate the BOUNDS and were not evaluated:
// in the log and, unless NOPRINT, under the grid.
void report_infeasible_points(RUVACOM* ctx, const Scan& scan) {
  const bool all = scan.infeasible == ctx->npoints;
  xpmlog(305, all ? kMsgNoneFeasible : kMsgSomeInfeasible, by_group_phrase(ctx).c_str());
  ruva_raise_rc(ctx, 4);
  if (!ctx->noprint) show_note(ctx, yolmsgs(305, all ? kMsgNoneFeasible : kMsgSomeInfeasible, ""));
}

// No point gave an objective: the group is not fitted (1), and the pass at
// the current point reports why.
int no_usable_point(RUVACOM* ctx, const Scan& scan) {
  if (scan.anywarn && ctx->npoints > 1) report_infeasible_points(ctx, scan);
  xpmlog(305, kMsgNoUsablePoint, group_name(ctx).c_str());
  reporting_pass(ctx);
  report_unused_observations(ctx);
  return 1;
}

// True when no observation read has a dependent value, which no parameter
// value can change: the pass at the current point tells.
bool no_dependent_value(RUVACOM* ctx) {
  const double sse = ctx->sse;
  const long used = ruvass(ctx);
  ctx->sse = sse;
  return used <= 0 && ctx->unused.count[static_cast<int>(Unused::kDependent)] == ctx->nobs;
}

// No point that was kept satisfies the BOUNDS. When they admit a point, the
// one nearest the last point must give an objective (points outside the
// bounds are never evaluated); the estimation then starts from the last
// point, which the optimiser moves there. Bounds that no point satisfies
// are left to the estimation, which stops and says so, unless no
// observation has a dependent value: that group is not fitted.
int start_inside_bounds(RUVACOM* ctx, const Scan& scan) {
  const std::vector<double> last(ctx->parm, ctx->parm + ctx->nparm);
  if (zoptnear(ctx->zoptg) != 0) return no_dependent_value(ctx) ? no_usable_point(ctx, scan) : 0;
  const double sse = ctx->sse;
  if (ruvass(ctx) <= 0 || wzmis(ctx->sse)) return no_usable_point(ctx, scan);
  ctx->sse = sse;
  std::copy(last.begin(), last.end(), ctx->parm);
  xpmlog(305, ctx->npoints > 1 ? kMsgAllInfeasible : kMsgStartInfeasible, by_group_phrase(ctx).c_str());
  return 0;
}

// No point was kept: 1 skips the group's estimation, 0 starts it. A grid
// printed in full already shows every point, the last one included.
int no_point_kept(RUVACOM* ctx, const Scan& scan) {
  if (ctx->nsave == 1 && ctx->nrank == -1) ctx->sse = special_missing_value();
  if (ctx->npoints > 1 && ctx->nrank != -1) {
    jovprt(scan.warn + kHistoryGrid, ctx);
    if (!add_row(ctx)) return 1;
  }
  close_history(ctx);
  ruva_raise_rc(ctx, 4);
  return scan.anywarn ? start_inside_bounds(ctx, scan) : no_usable_point(ctx, scan);
}

// Responses whose weighted squares sum to less than the smallest normal
// double (y of 1e-160) leave the sums of squares and cross products without
// precision, or zero: any fit would stop at its start. The group is not
// fitted. A loss function or a program's own residual sets its own scale.
int responses_too_small(RUVACOM* ctx, const Scan& scan) {
  if (ctx->lossflag || ctx->residflag || scan.best_nonzero_y == 0 || !(scan.best_sumwy2 < DBL_MIN)) return 0;
  xpmlog(305, kMsgResponsesTooSmall, group_name(ctx).c_str(), scan.best_sumwy2);
  ruva_raise_rc(ctx, 4);
  return 1;
}

void report_elapsed(const RUVACOM* ctx, double t0, double t1) {
  int stimer = 0;
  if (xoptbgt("STIMER", &stimer) != 0 || !stimer) return;
  const long e = static_cast<long>(t1 - t0);
  xpmlog(305, kMsgElapsed, by_group_phrase(ctx).c_str(), static_cast<int>(e / 3600), static_cast<int>(e % 3600 / 60),
         static_cast<int>(e % 60));
}

void start_search(RUVACOM* ctx) {
  xpselec(0, 2);
  ctx->zoptg->funcs.uscon = jovecon;
  cmpexi(1, 0, 0, &ctx->globcmp);
  ctx->failed = 0;
  ctx->nerrmsg = 0;
  ctx->unused = {};  // no pass of this BY group has run yet
}

}  // namespace

int jovgrid(RUVACOM* ctx) {
  const double t0 = ztime();
  start_search(ctx);
  forget_pass(ctx);
  if (nlparms(ctx) != 0) return 1;
  start_control_variables(ctx);
  ctx->do_der = 1;
  if (ctx->nsave <= 0) {
    xpmlog(305, kMsgNoStorage);
    xexit(1016, 0);
  }
  BestPoints best(ctx->nsave);
  if (!best.ready()) {
    xpmlog(305, kMsgNoStorage);
    xexit(1016, 0);
  }
  set_outest_type(ctx, "GRID");
  ctx->usse = 0.0;
  ctx->iter = -1.0;
  Scan scan;
  if (!scan_points(ctx, &best, &scan)) return 1;
  if (ctx->nrank > 0 && !print_best(ctx, best)) return 1;
  if (best[0].parmnum < 0) return no_point_kept(ctx, scan);
  if (!(ctx->nrank == -1 && best[0].parmnum == 0 && ctx->npoints <= 1)) {
    ctx->sse = best[0].loss;
    set_point(ctx, best[0].parmnum);
  }
  if (close_history(ctx) != 0) return 1;
  if (responses_too_small(ctx, scan)) return 1;
  const double t1 = ztime();
  if (scan.anywarn) report_infeasible_points(ctx, scan);
  report_elapsed(ctx, t0, t1);
  return 0;
}
