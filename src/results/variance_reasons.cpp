#include "results/variance_reasons.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/vector_kernels.h"
#include "optim/optimiser.h"
#include "procedure/group_name.h"
#include "procedure/inverse_in_use.h"
#include "procedure/procedure_context.h"
#include "procedure/step_memory.h"
#include "results/determined_functions.h"
#include "results/expression_values.h"
#include "results/pool_buffer.h"
#include "results/result_output.h"

namespace {

constexpr int kMsgNoStandardError = 1002, kMsgNoFTest = 1003;

// The texts of the reasons: an ESTIMATE's, then a CONTRAST's.
int reason_text(NoVariance reason, bool contrast) {
  switch (reason) {
    case NoVariance::kUncomputable: return contrast ? 1025 : 1024;
    case NoVariance::kFixedByBounds: return contrast ? 1005 : 1004;
    case NoVariance::kConstant: return contrast ? 1007 : 1006;
    case NoVariance::kUnderived: return contrast ? 1009 : 1008;
    case NoVariance::kExactFit: return 1012;
    case NoVariance::kNoErrorVariance: return 1013;
    case NoVariance::kNoCovariance: return 1014;
    default: return 1023;
  }
}

void note(RUVACOM* ctx, int message, NoVariance reason, bool contrast, const char* label, int length) {
  char why[256] = "";
  xpmstr(why, sizeof why, kResultMessages, reason_text(reason, contrast));
  const std::string shown = logged_label(label, length);
  xpmlog(kResultMessages, message, static_cast<int>(shown.size()), shown.c_str(), by_group_phrase(ctx).c_str(), why);
}

}  // namespace

NoVariance function_without_variance(RUVACOM* ctx, double value, const double* g, bool underived) {
  const int p = ctx->nparm;
  if (wzmis(value) || !std::isfinite(value)) return NoVariance::kUncomputable;
  if (underived) return NoVariance::kUnderived;
  if (std::all_of(g, g + p, [](double v) { return v == 0; })) return NoVariance::kConstant;
  const ZOPTGLOBAL* opt = ctx->zoptg;
  if (!opt || opt->state.marqu->inumconstr == 0) return NoVariance::kNone;
  PoolBuffer<double> free_part(p);
  if (!free_part.get()) ruva_out_of_memory(static_cast<long>(sizeof(double)) * p);
  std::copy_n(g, p, free_part.get());
  zoptprv(ctx->zoptg, free_part.get(), p);
  const double along = zvenorm(p, 1, free_part.get()), size = zvenorm(p, 1, g);
  return along > estimability_tolerance(ctx, 1.0) * size ? NoVariance::kNone : NoVariance::kFixedByBounds;
}

NoVariance fit_without_variance(const RUVACOM* ctx) {
  if (ctx->cov_unavailable) return NoVariance::kNoCovariance;
  if (wzmis(ctx->mse)) return NoVariance::kNoErrorVariance;
  return ctx->mse == 0 ? NoVariance::kExactFit : NoVariance::kNone;
}

void mark_functions(RUVACOM* ctx, const FunctionRows& f, char* determined, NoVariance* reasons) {
  auto settled = [](NoVariance r) {
    return r == NoVariance::kUncomputable || r == NoVariance::kFixedByBounds || r == NoVariance::kConstant;
  };
  for (int i = 0; i < f.rows; ++i) {
    const double* row = f.g + static_cast<long>(i) * ctx->nparm;
    reasons[i] = function_without_variance(ctx, *f.values[i], row, f.underived[i] != 0);
    determined[i] = settled(reasons[i]) || estimable(ctx, row) ? 1 : 0;
  }
  confirm_determined(ctx, f.record, f.cells, f.rows, determined);
  for (int i = 0; i < f.rows; ++i) determined[i] = determined[i] || settled(reasons[i]) ? 1 : 0;
}

void note_no_standard_error(RUVACOM* ctx, NoVariance reason, const char* label, int length) {
  note(ctx, kMsgNoStandardError, reason, false, label, length);
}

void note_no_f_test(RUVACOM* ctx, NoVariance reason, const char* label, int length) {
  note(ctx, kMsgNoFTest, reason, true, label, length);
}
