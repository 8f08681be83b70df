#include "procedure/convergence_status.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "linalg/vector_kernels.h"
#include "optim/optimiser.h"
#include "procedure/estimation_callbacks.h"
#include "procedure/group_name.h"
#include "procedure/inverse_in_use.h"
#include "procedure/proc_options.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"
#include "results/anova.h"

namespace {

constexpr double kPerfectFit = 1e-12;
constexpr int kMsgNotPsd = 133;

long packed_size(int n) { return static_cast<long>(n) * (n + 1) / 2; }
// A weighted SSE over its degrees of freedom; missing below one.
double over_df(double sumwsse, long df) {
  return wzmis(sumwsse) || df < 1 ? special_missing_value() : sumwsse / static_cast<double>(df);
}
double& at(double* a, int i, int j) { return a[zisub(i, j)]; }

// A perfect fit: a singular parameter unrelated to the estimated ones
// becomes '2'.
void settle_unrelated(RUVACOM* ctx) {
  const int n = ctx->nparm;
  char* df = ctx->parmdf;
  for (int i = 0; i < n; ++i) {
    if (df[i] != '0') continue;
    df[i] = '2';
    for (int j = 0; j < n; ++j) {
      const double d = at(ctx->xpx, j, j);
      if (df[j] == '1' && d != 0 && std::fabs(at(ctx->xpx, i, j) / d) > ctx->epsilon) df[i] = '0';
    }
  }
}

void clear_unestimated(RUVACOM* ctx) {
  for (int i = 0; i < ctx->nparm; ++i) {
    if (ctx->parmdf[i] == '1') continue;
    for (int j = 0; j < ctx->nparm; ++j) at(ctx->xpx, i, j) = at(ctx->xpx2, i, j) = 0.0;
  }
}

COV_CHECK_STATUS covariance_status(const RUVACOM* ctx, int ngood) {
  if (ctx->cov_unavailable || ngood < ctx->nparm) return COV_SING;
  const double mse = error_mean_square(ctx);
  if (wzmis(mse)) return COV_PSD;
  for (int i = 0; i < ctx->nparm; ++i) {
    const double d = ctx->xpx[zisub(i, i)];
    if (!wzmis(d) && d * mse < 0) return COV_SING;
  }
  return COV_PSD;
}

// The modified Cholesky check on a copy of the parameter block: the index
// of the first row with a clearly negative pivot, or -1.
int first_negative_pivot(RUVACOM* ctx, bool* no_room) {
  const int n = ctx->nparm;
  *no_room = false;
  if (n == 0) return -1;
  const long p = packed_size(n);
  auto* work = static_cast<double*>(ruva_alloc(static_cast<long>(sizeof(double)) * (p + n)));
  if (!work) {
    *no_room = true;
    return -1;
  }
  std::memcpy(work, ctx->xpx, sizeof(double) * static_cast<std::size_t>(p));
  double* d = work + p;
  for (int i = 0; i < n; ++i) d[i] = work[zisub(i, i)];
  int bad = -1;
  for (int i = 0; i < n && bad < 0; ++i) {
    const double tol = d[i] != 0 ? ctx->epsilon * std::fabs(d[i]) : ctx->epsilon;
    if (ModChol(i, work, tol) < -tol) bad = i;
  }
  ruva_free(work);
  return bad;
}

}  // namespace

int estimated_count(const RUVACOM* ctx) {
  int count = 0;
  for (int i = 0; i < ctx->nparm; ++i) count += ctx->parmdf[i] == '1';
  return count;
}

long error_df(const RUVACOM* ctx) { return anova_figures(anova_input(ctx, false)).error_df; }

double residual_mean_square(const RUVACOM* ctx) { return over_df(ctx->sumwsse, error_df(ctx)); }

double error_mean_square(const RUVACOM* ctx) {
  return stmt_field(ctx->prochead, proc_opt::kSigsq) ? ctx->sigsq : residual_mean_square(ctx);
}

bool negligible_mean_square(const RUVACOM* ctx, double mse, double floor) {
  if (is_missing(mse) || !(mse > 0)) return true;
  const double scale = response_scale(ctx);
  if (!(scale > 0)) return mse < floor;
  return mse * static_cast<double>(std::max(error_df(ctx), 1L)) < ctx->epsilon * scale;
}

double error_mean_square(const RUVACOM* ctx, int ngood, double sumwsse) {
  if (stmt_field(ctx->prochead, proc_opt::kSigsq)) return ctx->sigsq;
  const ZOPTMARQU& mq = *ctx->zoptg->state.marqu;
  const int m = ctx->nodf ? 0 : mq.perm + mq.nact;
  return over_df(sumwsse, ctx->iobs - ngood + m);
}

double ModChol(int k, double* base, double tol) {
  double* row_k = base + zisub(k, 0);
  double s = 0;
  for (int j = 0; j <= k; ++j) {
    const double* row_j = base + zisub(j, 0);
    s = row_k[j] - zinner(row_j, row_k, j);
    if (j < k) {
      row_k[j] = row_j[j] == 0 ? 0.0 : s / row_j[j];
      continue;
    }
    row_k[k] = s < -tol ? s : s <= tol ? 0.0 : std::sqrt(s);
  }
  return s;
}

int CheckEigVals(RUVACOM* ctx) {
  bool no_room = false;
  return first_negative_pivot(ctx, &no_room) >= 0 ? 1 : 0;
}

COV_CHECK_STATUS converge_tab(RUVACOM* ctx, int converged) {
  const int n = ctx->nparm;
  if (ctx->sumwsse < kPerfectFit) settle_unrelated(ctx);
  keep_whole_inverse(ctx);
  clear_unestimated(ctx);
  const int ngood = estimated_count(ctx);
  COV_CHECK_STATUS cs = covariance_status(ctx, ngood);
  bool flagged = false;
  bool no_room = false;
  if (!ctx->cov_unavailable && first_negative_pivot(ctx, &no_room) >= 0) {
    if (cs != COV_SING) cs = COV_NOT_PSD;
    xpmlog(305, kMsgNotPsd, by_group_phrase(ctx).c_str());
    ruva_raise_rc(ctx, 4);
    flagged = true;
  }
  // Without room for the check the covariance is not known to be usable.
  if (no_room && cs == COV_PSD) cs = COV_NOT_PSD;
  if (ctx->noprint) return cs;
  // An error sum of squares beyond the uncorrected total, past rounding.
  const bool above_total = anova_figures(anova_input(ctx, false)).model_ss < 0;
  const bool warn = !flagged && (ngood < n || above_total);
  show_convergence_table(ctx, converged, warn);
  return cs;
}
