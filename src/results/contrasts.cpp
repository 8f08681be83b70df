// Contrasts: for each CONTRAST statement the Wald F test that its k rows L
// are jointly zero at the final estimates, F = L' W^- L / ndf with W the
// delta-method covariance G V G' of the rows and W^- its generalised
// inverse by sweeping; rows that depend on earlier ones lose their pivot
// and their degree of freedom. One row per statement in the Contrasts table.
// A statement with a row the data do not determine (inverse_in_use.h,
// determined_functions.h) has no test, and that row no degree of freedom.
// A row the active bounds hold fixed has no variance, as a constant row has
// none: it loses its pivot. A note
// says why a statement left without a degree of freedom, or with a missing
// F, has no test (variance_reasons.h).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/dense_products.h"
#include "linalg/packed.h"
#include "linalg/packed_matrix.h"
#include "prob/t_f_beta.h"
#include "procedure/inverse_in_use.h"
#include "procedure/result_phases.h"
#include "procedure/procedure_context.h"
#include "procedure/statement_lookup.h"
#include "results/expression_values.h"
#include "results/pool_buffer.h"
#include "results/result_output.h"
#include "results/variance_reasons.h"

namespace {

constexpr int kMsgTitle = 214, kMsgNumDf = 623, kMsgDenDf = 624, kMsgF = 625, kMsgProbF = 626;
constexpr int kDfSlot = 6;
constexpr int kMsgNotEstimable = 1001;
constexpr double kRelativeTolerance = 1.110223024625157e-12;
constexpr double kSmallestPivot = 1.491668147e-154;

bool define(ResultTable* t, RUVACOM* ctx) {
  return label_column(t, ctx, ctx->maxcname) && t->column(kMsgNumDf, "NumDF", "g", &ctx->ndf) &&
         t->column(kMsgDenDf, "DenDF", "g", &ctx->ddf) && t->column(kMsgF, "FValue", "g", &ctx->fval) &&
         t->column(kMsgProbF, "ProbF", "g", &ctx->probf);
}

void zero_row_and_column(double* w, int j, int k) {
  for (int m = 0; m < k; ++m) w[zisub(j, m)] = 0.0;
}

// Sweeps W (packed, order k) into a generalised inverse pivot by pivot; a
// pivot that has fallen below its tolerance relative to its own first
// diagonal value is dropped. Returns the pivots swept, the rank of W.
int generalised_inverse(RUVACOM* ctx, int k) {
  double* w = ctx->contvar;
  double* work = ctx->contvec + k;
  double* diag = ctx->contvec + 2 * k;
  for (int j = 0; j < k; ++j) diag[j] = w[zisub(j, j)];
  std::memset(ctx->contdf, '0', static_cast<std::size_t>(k));
  int rank = 0;
  for (int j = 0; j < k; ++j) {
    const double d = std::fabs(diag[j]);
    zsweep(w, j, k, ctx->contdf, work, d > kSmallestPivot ? kRelativeTolerance * d : kRelativeTolerance);
    if (ctx->contdf[j] == '1') ++rank;
    else zero_row_and_column(w, j, k);
  }
  return rank;
}

// The F test of the k rows whose gradients start at gc. W = G C G' is
// formed from the unscaled covariance C, so that its rank, the contrast's
// degrees of freedom, does not hang on the error variance; then
// F = L' W^- L / (mse ndf). Without a positive error variance, or with a
// value that cannot be computed, there is no test: F and its p-value are
// missing and the degrees of freedom stay those of the contrast.
void contrast_test(RUVACOM* ctx, const double* c, const double* gc, double* const* values, int k) {
  ctx->ndf = 0;
  ctx->fval = missing_value();
  if (k >= 1) {
    zqform(c, ctx->nparm, gc, k, ctx->contvar, ctx->parmwork, 0);
    for (int j = 0; j < k; ++j) ctx->contvec[j] = *values[j];
    ctx->ndf = generalised_inverse(ctx, k);
    const bool values_known = std::none_of(ctx->contvec, ctx->contvec + k, [](double v) { return wzmis(v); });
    const double q = values_known ? zmxq1(ctx->contvec, ctx->contvar, k, 1) : missing_value();
    const bool variance = !wzmis(ctx->mse) && ctx->mse > 0;
    if (ctx->ndf != 0 && variance && !wzmis(q) && std::isfinite(q)) ctx->fval = q / ctx->mse / ctx->ndf;
  }
  // Any negative result is a failure code of the probability function.
  const double p = wzmis(ctx->fval) ? -1.0 : zprbf(ctx->fval, ctx->ndf, ctx->ddf);
  ctx->probf = p < 0 ? missing_value() : p;
}

// True when the data determine each of the k rows of contrast i (flags
// from mark_functions); else a NOTE names the contrast.
bool determined(RUVACOM* ctx, const char* rows, int k, int i) {
  for (int r = 0; r < k; ++r) {
    if (rows[r]) continue;
    note_not_estimable(ctx, kMsgNotEstimable, ctx->contlab[i], ctx->contlen[i]);
    return false;
  }
  return true;
}

// Why a contrast whose rows are all determined has no F test: a row whose
// value cannot be computed, the fit's reason, else, with no degree of
// freedom left, its rows' (a row without derivatives first, then one the
// bounds hold fixed); kNone when it has one.
NoVariance reason_without_test(RUVACOM* ctx, const NoVariance* reasons, int k) {
  if (!wzmis(ctx->fval) && ctx->ndf != 0) return NoVariance::kNone;
  if (std::find(reasons, reasons + k, NoVariance::kUncomputable) != reasons + k) return NoVariance::kUncomputable;
  const NoVariance fit = fit_without_variance(ctx);
  if (fit != NoVariance::kNone) return fit;
  if (ctx->ndf != 0) return NoVariance::kNotPositive;
  for (const NoVariance first : {NoVariance::kUnderived, NoVariance::kFixedByBounds})
    if (std::find(reasons, reasons + k, first) != reasons + k) return first;
  return std::find(reasons, reasons + k, NoVariance::kNone) != reasons + k ? NoVariance::kNotPositive
                                                                          : NoVariance::kConstant;
}

struct Rows {
  const char* determined;     // per row of all the contrasts: the data determine it
  const NoVariance* reasons;  // per row: its own reason to have no variance
  double* gradients;          // maxcontn rows of nparm: one contrast's rows with a variance
};

// The k gradient rows of a contrast from gc into g, those the active bounds
// hold fixed (reasons from mark_functions) and those the data do not
// determine as zero rows: neither counts in the degrees of freedom. An
// undetermined row would otherwise count or not by the choice of inverse
// (the variance of a - b is that of a under the default's, about zero
// under G4's), although it is no more testable one way than the other.
void rows_with_variance(const RUVACOM* ctx, const double* gc, const Rows& rows, int row, int k, double* g) {
  const int p = ctx->nparm;
  std::copy_n(gc, static_cast<long>(k) * p, g);
  for (int r = 0; r < k; ++r)
    if (rows.reasons[row + r] == NoVariance::kFixedByBounds || !rows.determined[row + r])
      std::fill_n(g + static_cast<long>(r) * p, p, 0.0);
}

// The test of contrast i of k rows from `row` on, or its note.
void test_contrast(RUVACOM* ctx, const double* c, const Rows& rows, int i, int row, int k) {
  const double* gc = ctx->gradcont + static_cast<long>(row) * ctx->nparm;
  rows_with_variance(ctx, gc, rows, row, k, rows.gradients);
  contrast_test(ctx, c, rows.gradients, ctx->contptr + row, k);
  if (!determined(ctx, rows.determined + row, k, i)) {
    ctx->fval = ctx->probf = missing_value();
    return;
  }
  const NoVariance reason = reason_without_test(ctx, rows.reasons + row, k);
  if (reason != NoVariance::kNone) note_no_f_test(ctx, reason, ctx->contlab[i], ctx->contlen[i]);
}

void print_table(RUVACOM* ctx, const double* c, const Rows& rows) {
  ResultTable t(ctx->yolman);
  bool done = t.create_table("Contrasts", result_text(kMsgTitle)) && define(&t, ctx) &&
              t.open("Stat.RUVA.Contrasts", nullptr);
  int i = 0, row = 0;
  for (const STMT* s = ctx->prochead; done && s; s = s->next) {
    if (!stmt_is(s, "CONTRAST ")) continue;
    const int k = ctx->contn[i];
    set_label(ctx, ctx->maxcname, ctx->contlab[i], ctx->contlen[i]);
    ctx->ddf = statement_number(s, kDfSlot, ctx->estdf);
    test_contrast(ctx, c, rows, i, row, k);
    done = t.row();
    row += k;
    ++i;
  }
  if (done) t.finish(nullptr);
  end_after_output_failure(t.status);
}

}  // namespace

int ruvacont(RUVACOM* ctx) {
  const int p = ctx->nparm;
  if (!evaluate_expressions(ctx, "CONTRAST")) return 1012;
  if (ctx->noprint || p < 1) return 0;
  const int most = std::max(ctx->maxcontn, 1), all = std::max(ctx->contnt, 1);
  PoolBuffer<double> gradients(static_cast<long>(most) * p);
  PoolBuffer<char> determined(all), underived(all);
  PoolBuffer<NoVariance> reasons(all);
  if (!gradients.get() || !determined.get() || !underived.get() || !reasons.get())
    ruva_out_of_memory(static_cast<long>(sizeof(double)) * most * p + 2 * all +
                       static_cast<long>(sizeof(NoVariance)) * all);
  gradient_matrix(ctx, ctx->gradcstr, ctx->gradcptr, ctx->contnt, ctx->gradcont, underived.get());
  mark_functions(ctx, {ctx->gradcstr, ctx->gradcptr, ctx->contptr, ctx->gradcont, underived.get(), ctx->contnt},
                 determined.get(), reasons.get());
  print_table(ctx, inverse_in_use(ctx), Rows{determined.get(), reasons.get(), gradients.get()});
  return 0;
}
