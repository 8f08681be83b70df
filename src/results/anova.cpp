// The figures of the analysis of variance. With an intercept the model row
// is corrected for the mean: its sum of squares is the corrected total less
// the error sum of squares, on one degree of freedom less. The F test is
// formed only when both mean squares exist and the error mean square is
// positive.
#include "results/anova.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/orthonormal_span.h"
#include "linalg/vector_kernels.h"
#include "optim/optimiser.h"
#include "prob/t_f_beta.h"
#include "procedure/group_name.h"
#include "procedure/procedure_context.h"
#include "results/result_output.h"

namespace {

constexpr int kMsgNegativeModelSS = 61;
constexpr int kMsgSingular = 62;

double ratio(double ss, long df) { return df >= 1 ? ss / static_cast<double>(df) : special_missing_value(); }

void f_test(AnovaFigures* a) {
  a->f = a->p = special_missing_value();
  if (wzmis(a->model_ms) || wzmis(a->error_ms) || !(a->error_ms > 0)) return;
  a->f = a->model_ms / a->error_ms;
  if (a->f < 0) return;
  const double p = zprbf(a->f, static_cast<double>(a->model_df), static_cast<double>(a->error_df));
  if (p >= 0) a->p = p;
}

// The active constraints take from the model the rank of their rows over
// the estimated parameters: one that pins an estimated parameter takes a
// degree of freedom; one among parameters that are not estimated (b <= c
// with c dependent and b held with it) takes none, as do rows that others
// already span. Each row is measured against its whole length.
int constraints_on_estimated(const RUVACOM* ctx) {
  const ZOPTGLOBAL* g = ctx->zoptg;
  const ZOPTMARQU* mq = g ? g->state.marqu : nullptr;
  if (!mq || !mq->mat || !mq->singrowsc) return 0;
  const int n = ctx->nparm;
  const double tolerance = std::sqrt(std::max(ctx->epsilon, DBL_EPSILON));
  linalg::OrthonormalSpan rows(n);
  std::vector<double> on_estimated(static_cast<std::size_t>(n));
  for (int k = 0; k < mq->perm + mq->nact; ++k) {
    if (mq->singrowsc[k] != '1') continue;
    const double* row = mq->mat[k];
    const double length = zvenorm(n, 1, row);
    if (!(length > 0)) continue;
    for (int j = 0; j < n; ++j) on_estimated[j] = ctx->parmdf[j] == '1' ? row[j] / length : 0.0;
    rows.add(on_estimated.data(), tolerance);
  }
  return rows.size();
}

// Sums of squares below SINGULAR= times this scale are rounding and count
// as 0: the weighted sum of squared responses, so that data in any unit
// (responses of 1e-9, weights of 1e-20) keep their table; responses that
// are all zero (an implicit model) give no scale and the test is absolute.
double rounding_scale(double sumy2) { return sumy2 > 0 && std::isfinite(sumy2) ? sumy2 : 1.0; }

}  // namespace

AnovaFigures anova_figures(const AnovaInput& in) {
  AnovaFigures a;
  const double eps = in.epsilon * rounding_scale(in.sumy2);
  a.error_ss = in.sumy2 < eps && std::fabs(in.sumwsse) < eps ? 0.0 : in.sumwsse;
  a.uncorrected_ss = in.sumy2;
  a.corrected_ss = in.sumw > 0 ? in.sumy2 - in.sumy * (in.sumy / in.sumw) : 0.0;
  a.uncorrected_df = in.iobs;
  a.corrected_df = in.iobs - 1;
  const long m = in.uncorrected_df ? in.estimated : in.estimated - in.constrained;
  a.error_df = in.iobs - m;
  a.corrected = in.intercept;
  a.model_df = a.corrected ? (m > 0 ? m - 1 : 0) : m;
  a.model_ss = (a.corrected ? a.corrected_ss : a.uncorrected_ss) - a.error_ss;
  if (std::fabs(a.model_ss) < eps) a.model_ss = 0.0;
  a.model_ms = ratio(a.model_ss, a.model_df);
  a.error_ms = ratio(a.error_ss, a.error_df);
  f_test(&a);
  return a;
}

AnovaInput anova_input(const RUVACOM* ctx, bool intercept) {
  AnovaInput in;
  in.sumw = ctx->sumw;
  in.sumy = ctx->sumy;
  in.sumy2 = ctx->sumy2;
  in.sumwsse = ctx->sumwsse;
  in.epsilon = ctx->epsilon;
  in.iobs = ctx->iobs;
  for (int i = 0; i < ctx->nparm; ++i) in.estimated += ctx->parmdf[i] == '1' ? 1 : 0;
  in.constrained = constraints_on_estimated(ctx);
  in.uncorrected_df = ctx->nodf != 0;
  in.intercept = intercept;
  return in;
}

void log_anova_notes(const RUVACOM* ctx, const AnovaFigures& a, bool singular) {
  const std::string where = by_group_phrase(ctx);
  if (a.model_ss < 0) xpmlog(kResultMessages, kMsgNegativeModelSS, where.c_str());
  if (singular) xpmlog(kResultMessages, kMsgSingular, where.c_str());
}
