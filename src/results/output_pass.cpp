// The OUTPUT pass of a BY group: the model program runs once more at the
// final estimates for every observation of the group, and every OUTPUT data
// set gets one row per observation: the predicted value and residual, the
// standard errors of the mean prediction (STDP), of an individual
// prediction (STDI) and of the residual (STDR), the studentized residual,
// the leverage, confidence and prediction limits at 95% and at each OUTPUT
// statement's own ALPHA=, and the saved diagnostics. An observation whose run fails still
// gets its row, with the statistics missing.
//
// With C the covariance of the estimates divided by s2 (the inverse in use,
// inverse_in_use.h), d the model's derivatives and w the weight of the observation:
// h = d'Cd, STDP = sqrt(h s2), STDI = sqrt((1/w + h) s2),
// STDR = sqrt((1/w - h) s2), H = w h.
#include <algorithm>
#include <cmath>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed_matrix.h"
#include "prob/t_f_beta.h"
#include "procedure/data_pass.h"
#include "procedure/data_set_rows.h"
#include "procedure/inverse_in_use.h"
#include "procedure/model_run.h"
#include "procedure/observation_pass.h"
#include "procedure/procedure_context.h"
#include "procedure/step_phases.h"
#include "results/diagnostics_record.h"
#include "results/output_data_sets.h"
#include "results/saved_diagnostics.h"

namespace {

// Derivatives this large would overflow the quadratic form.
constexpr double kLargestDerivative = 1.3407807929942597e152;

bool present(double x) { return !wzmis(x) && std::isfinite(x); }

// The lower-tail p-quantile of t on df degrees of freedom; missing when it
// fails (a failure code, or a negative result where none can be).
double t_quantile(double p, long df) {
  double q = 0;
  return zqt(p, static_cast<double>(df), &q) == 0 && q >= 0 && present(q) ? q : missing_value();
}

// What stays fixed for the pass.
struct Levels {
  double s2;   // the error variance: SIGSQ= when given, else the fitted mean square
  double eps;  // SINGULAR=
  double t1;   // t quantile of the 95% limits
};

// The levels of the pass, and the t quantile of each data set's ALPHA= limits.
Levels levels(RUVACOM* ctx) {
  Levels l;
  l.s2 = ctx->mse;
  l.eps = ctx->epsilon;
  l.t1 = t_quantile(0.975, ctx->i_error_obs);
  for (int k = 0; k < ctx->nout; ++k) {
    OutputSet& set = ctx->outsets[k];
    set.t = set.alpha == 0.05 ? l.t1 : t_quantile(1 - set.alpha / 2, ctx->i_error_obs);
  }
  return l;
}

// Writes y^ -/+ t se into lower and upper when all three are present.
void limits(double yhat, double t, double se, double* lower, double* upper) {
  if (!present(t) || !present(se)) return;
  *lower = yhat - t * se;
  *upper = yhat + t * se;
}

// The leverage h = d'Cd of the observation, missing when a derivative is
// missing or too large. A rounding-negative h is taken as 0.
double leverage(RUVACOM* ctx) {
  const int p = ctx->nparm;
  double* d = ctx->der;
  for (int j = 0; j < p; ++j) {
    d[j] = *ctx->derloc[j];
    if (!present(d[j]) || !(std::fabs(d[j]) < kLargestDerivative)) return missing_value();
  }
  const double h = zmxq1(d, inverse_in_use(ctx), p, 1);
  return present(h) ? std::max(h, 0.0) : missing_value();
}

// The statistics that need a positive weight w.
void individual_statistics(const Levels& l, double yhat, double h, double w, double* slot) {
  using namespace out_slot;
  if (l.s2 > -l.eps) {
    const double stdi = l.s2 <= 0 ? 0.0 : std::sqrt((1 / w + h) * l.s2);
    limits(yhat, l.t1, stdi, &slot[kL95], &slot[kU95]);
    slot[kStdi] = stdi;
    const double stdr = 1 / w - h > 0 && l.s2 > 0 ? std::sqrt((1 / w - h) * l.s2) : 0.0;
    if (stdr > 0 && present(slot[kResidual])) {
      slot[kStudent] = slot[kResidual] / stdr;
      slot[kStdr] = stdr;
    }
  }
  slot[kH] = w * h;
}

// The statistics of an observation whose run succeeded.
void statistics(RUVACOM* ctx, const Levels& l, double* slot) {
  using namespace out_slot;
  const double yhat = *ctx->dephat;
  const double y = *ctx->depval;
  slot[kPredicted] = yhat;
  if (ctx->residflag) slot[kResidual] = *ctx->resid;
  else if (present(y) && present(yhat)) slot[kResidual] = y - yhat;
  if (!present(yhat)) return;
  const double h = leverage(ctx);
  if (!present(l.s2) || !present(h) || ctx->method == 'D') return;
  if (l.s2 < -l.eps) return;
  const double stdp = l.s2 <= 0 ? 0.0 : std::sqrt(h * l.s2);
  slot[kStdp] = stdp;
  limits(yhat, l.t1, stdp, &slot[kL95m], &slot[kU95m]);
  const double w = *ctx->weight;
  if (present(w) && w > 0) individual_statistics(l, yhat, h, w, slot);
}

// A data set's ALPHA= limits around the row's prediction, from its STDP and
// STDI: present exactly where the 95% limits are.
void alpha_limits(const double* slot, OutputSet* set) {
  using namespace out_limit;
  std::fill(set->limit, set->limit + kCount, missing_value());
  const double yhat = slot[out_slot::kPredicted];
  if (!present(yhat)) return;
  limits(yhat, set->t, slot[out_slot::kStdp], &set->limit[kLclm], &set->limit[kUclm]);
  limits(yhat, set->t, slot[out_slot::kStdi], &set->limit[kLcl], &set->limit[kUcl]);
}

XC_FILE* saved_diagnostics_file(const RUVACOM* ctx) {
  return ctx->save_diag_flag && ctx->ruvadiag ? ctx->ruvadiag->diag_file_ptr : nullptr;
}

}  // namespace

void jovout(RUVACOM* ctx) {
  if (ctx->nout <= 0 || !ctx->outobsptr || !ctx->outsets) return;
  const Levels l = levels(ctx);
  XC_FILE* saved = saved_diagnostics_file(ctx);
  double* slot = ctx->outobsptr;
  observation_pass(ctx, [&](long i, bool ran) {
    std::fill(slot, slot + kOutputSlots, missing_value());
    if (ran) {
      statistics(ctx, l, slot);
      if (saved) read_saved_diagnostics(saved, i, &slot[out_slot::kSaved]);
    }
    for (int k = 0; k < ctx->nout; ++k) {
      OutputSet& set = ctx->outsets[k];
      alpha_limits(slot, &set);
      append_row(set.file, &set.xo, set.list, nullptr);
    }
  });
  // The file served this group; the diagnostics of the next one write their own.
  if (saved) {
    xcclose(saved, 1);
    ctx->ruvadiag->diag_file_ptr = nullptr;
  }
}
