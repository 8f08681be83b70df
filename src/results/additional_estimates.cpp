// Additional estimates: each ESTIMATE expression at the final estimates with
// its delta-method standard error sqrt(g' V g) (g its gradient, V the
// covariance of the parameters), t test and confidence limits, in the
// AdditionalEstimates table; on request the covariance G V G' of the
// estimates (ECOV), their correlations (ECORR) and the gradients (EDER).
// An estimate the data do not determine (inverse_in_use.h,
// determined_functions.h), or that has no variance for a reason of its own
// or of the fit (variance_reasons.h), has no standard error, test, limits
// or covariance, and a note says why.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/dense_products.h"
#include "linalg/packed.h"
#include "linalg/packed_matrix.h"
#include "procedure/result_phases.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"
#include "procedure/statement_lookup.h"
#include "results/expression_values.h"
#include "results/pool_buffer.h"
#include "results/result_output.h"
#include "results/variance_reasons.h"

namespace {

constexpr int kMsgTitle = 604, kMsgEstimate = 36, kMsgStdErr = 37, kMsgDf = 29;
constexpr int kMsgT = 605, kMsgProbT = 606, kMsgAlpha = 51;
constexpr int kMsgCovHeader = 607, kMsgCorrHeader = 608, kMsgDerHeader = 609;
constexpr int kMsgCorrTitle = 610, kMsgCovTitle = 611, kMsgDerTitle = 612;
constexpr int kMsgNotEstimable = 1000;
constexpr int kAlphaSlot = 5, kDfSlot = 6;
constexpr int kLongestDerName = 50;

// A number column without a header of its own: the name shows.
bool unlabelled_column(ResultTable* t, const char* name, double* cell) {
  WOB_PARM_BLK_STR pb[5] = {wob_int(272, 12), wob_int(270, 89), wob_text(138, yoltxt(name, -1)), wob_cell(285, cell),
                            wob_int(103, 5)};
  return t->column(pb, 5);
}

bool define(ResultTable* t, RUVACOM* ctx) {
  RUVA_TVAL& v = ctx->tval;
  return label_column(t, ctx, ctx->maxename) && t->column(kMsgEstimate, "Estimate", "g", &v.estimate) &&
         t->column(kMsgStdErr, "StandardError", "g", &v.sder) && t->column(kMsgDf, "DF", "g", &v.dfe) &&
         t->column(kMsgT, "tValue", "g", &v.tval) && t->column(kMsgProbT, "Probt", "g", &v.prob) &&
         t->column(kMsgAlpha, "Alpha", "g", &v.alpha) && unlabelled_column(t, "Lower", &v.lower) &&
         unlabelled_column(t, "Upper", &v.upper);
}

// Row i of the correlations of the estimates from their covariance S.
void correlation_row(const double* s, int i, double* r) {
  auto positive = [](double v) { return !wzmis(v) && v > 0; };
  const double sii = s[zisub(i, i)];
  for (int j = 0; j <= i; ++j) {
    const double sjj = s[zisub(j, j)], sij = s[zisub(i, j)];
    double& c = r[zisub(i, j)];
    if (!positive(sii) || !positive(sjj) || wzmis(sij)) c = special_missing_value();
    else c = i == j ? 1.0 : std::clamp(sij / std::sqrt(sii) / std::sqrt(sjj), -1.0, 1.0);
  }
}

// sqrt(g'Vg), missing only when the variance is missing or not positive,
// formed with g divided by the power of 2 nearest its largest
// element and that factor put back after the root, so that a gradient of
// 1e290 or 1e-300 gives the standard error a double holds rather than an
// overflow or a variance that underflowed to 0. A power of 2 scales
// exactly: every other standard error keeps its last bit.
double standard_error(const double* g, const double* v, int p) {
  double largest = 0;
  for (int j = 0; j < p; ++j) largest = std::max(largest, std::fabs(g[j]));
  if (!(largest > 0) || !std::isfinite(largest)) return missing_value();
  int exponent = 0;
  std::frexp(largest, &exponent);
  PoolBuffer<double> scaled(p);
  if (!scaled.get()) ruva_out_of_memory(static_cast<long>(sizeof(double)) * p);
  for (int j = 0; j < p; ++j) scaled.get()[j] = std::ldexp(g[j], -exponent);
  const double var = zmxq1(scaled.get(), const_cast<double*>(v), p, 1);
  return !wzmis(var) && var > 0 ? std::ldexp(std::sqrt(var), exponent) : missing_value();
}

struct Matrices {
  const double* v;         // covariance of the parameters
  double* cov;             // of the estimates, with ECOV or ECORR
  double* corr;            // their correlations, with ECORR
  const char* with_error;  // per estimate: the data determine it and it has a variance
};

// Why estimate i has no standard error when the data determine it: its
// own reason, else the fit's when its variance is missing; kNone when it
// has one.
NoVariance reason_without_variance(RUVACOM* ctx, int i, NoVariance own, const double* v) {
  const double* g = ctx->gradesti + static_cast<long>(i) * ctx->nparm;
  if (own != NoVariance::kNone || !wzmis(standard_error(g, v, ctx->nparm))) return own;
  const NoVariance fit = fit_without_variance(ctx);
  return fit != NoVariance::kNone ? fit : NoVariance::kNotPositive;
}

// Which estimates have a standard error; a NOTE names each one that does
// not and why, and its covariances with the others become missing.
void mark_standard_errors(RUVACOM* ctx, char* with_error, const char* underived, const double* v, double* cov) {
  const int n = ctx->nesti;
  PoolBuffer<NoVariance> reasons(n);
  NoVariance* own = reasons.get();
  if (!own) ruva_out_of_memory(static_cast<long>(sizeof(NoVariance)) * n);
  mark_functions(ctx, {ctx->gradestr, ctx->gradeptr, ctx->estiptr, ctx->gradesti, underived, n}, with_error, own);
  for (int i = 0; i < n; ++i) {
    if (!with_error[i]) {
      note_not_estimable(ctx, kMsgNotEstimable, ctx->estilab[i], ctx->estilen[i]);
    } else {
      const NoVariance reason = reason_without_variance(ctx, i, own[i], v);
      if (reason == NoVariance::kNone) continue;
      with_error[i] = 0;
      note_no_standard_error(ctx, reason, ctx->estilab[i], ctx->estilen[i]);
    }
    for (int j = 0; cov && j < n; ++j) cov[zisub(i, j)] = missing_value();
  }
}

bool estimate_row(ResultTable* t, RUVACOM* ctx, const STMT* s, int i, const Matrices& m) {
  const int p = ctx->nparm;
  const double* g = ctx->gradesti + static_cast<long>(i) * p;
  set_label(ctx, ctx->maxename, ctx->estilab[i], ctx->estilen[i]);
  RUVA_TVAL& v = ctx->tval;
  v.estimate = *ctx->estiptr[i];
  if (ctx->pecorr) correlation_row(m.cov, i, m.corr);
  v.sder = m.with_error[i] ? standard_error(g, m.v, p) : missing_value();
  v.alpha = statement_number(s, kAlphaSlot, ctx->alpha);
  v.dfe = statement_number(s, kDfSlot, ctx->estdf);
  ruvatval(&v);
  return t->row();
}

void print_table(RUVACOM* ctx, const Matrices& m) {
  ResultTable t(ctx->yolman);
  bool done = t.create_table("AdditionalEstimates", result_text(kMsgTitle)) && define(&t, ctx) &&
              t.open("Stat.RUVA.AdditionalEstimates", nullptr);
  int i = 0;
  for (const STMT* s = ctx->prochead; done && s; s = s->next)
    if (stmt_is(s, "ESTIMATE ")) done = estimate_row(&t, ctx, s, i++, m);
  if (done) t.finish(nullptr);
  end_after_output_failure(t.status);
}

void name_matrices(RUVACOM* ctx) {
  const int n = ctx->nesti, p = ctx->nparm;
  if (!ctx->estnam) ctx->estnam = ruva_new_or_exit<xobskey>(n);
  for (int i = 0; i < n; ++i) ctx->estnam[i] = yoltxt(ctx->estilab[i] ? ctx->estilab[i] : "", ctx->estilen[i]);
  if (!ctx->peder) return;
  if (!ctx->estdernam) ctx->estdernam = ruva_new_or_exit<xobskey>(std::max(p, 1));
  for (int j = 0; j < p; ++j) {
    const CMPSYM* sym = ctx->parmsym->s[j];
    ctx->estdernam[j] = yoltxts("Der %.*s", std::min<int>(sym->nameleng, kLongestDerName), sym->name);
  }
}

// A negative status of ECOV or ECORR ends the matrices; EDER is the last.
void print_matrices(RUVACOM* ctx, const Matrices& m) {
  const int n = ctx->nesti;
  name_matrices(ctx);
  auto text = [](int message) { return result_text(message); };
  const ResultMatrix cov{"stat.ruva.CovMatAddEst", "CovMatAddEst", text(kMsgCovTitle), text(kMsgCovHeader),
                         m.cov, n, n, "sc", ctx->estnam, ctx->estnam};
  if (ctx->pecov && emit_result_matrix(ctx->yolman, cov) != 0) return;
  const ResultMatrix corr{"stat.ruva.CorrMatAddEst", "CorrMatAddEst", text(kMsgCorrTitle), text(kMsgCorrHeader),
                          m.corr, n, n, "sc", ctx->estnam, ctx->estnam};
  if (ctx->pecorr && emit_result_matrix(ctx->yolman, corr) != 0) return;
  const ResultMatrix der{"stat.ruva.DerMatAddEst", "DerMatAddEst", text(kMsgDerTitle), text(kMsgDerHeader),
                         ctx->gradesti, n, ctx->nparm, "r", ctx->estnam, ctx->estdernam};
  if (ctx->peder) emit_result_matrix(ctx->yolman, der);
}

}  // namespace

int ruvaesti(RUVACOM* ctx) {
  const int n = ctx->nesti, p = ctx->nparm;
  if (!evaluate_expressions(ctx, "ESTIMATE")) return 1012;
  if (ctx->noprint || n < 1 || p < 1) return 0;
  PoolBuffer<double> v(static_cast<long>(p) * (p + 1) / 2), corr(static_cast<long>(n) * (n + 1) / 2);
  PoolBuffer<char> with_error(n), underived(n);
  if (!v.get() || !corr.get() || !with_error.get() || !underived.get())
    ruva_out_of_memory(static_cast<long>(sizeof(double)) * (p * (p + 1) + n * (n + 1)) / 2 + 2 * n);
  gradient_matrix(ctx, ctx->gradestr, ctx->gradeptr, n, ctx->gradesti, underived.get());
  parameter_covariance(ctx, v.get());
  const Matrices m{v.get(), ctx->ecovmat ? ctx->ecovmat + 2 * n : nullptr, corr.get(), with_error.get()};
  if (m.cov) zqform(v.get(), p, ctx->gradesti, n, m.cov, ctx->parmwork, 0);
  mark_standard_errors(ctx, with_error.get(), underived.get(), v.get(), m.cov);
  print_table(ctx, m);
  if (ctx->pecov || ctx->pecorr || ctx->peder) print_matrices(ctx, m);
  return 0;
}
