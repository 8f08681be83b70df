// Constraint rows of the ParameterEstimates table. The multipliers'
// variances are the negated constraint block of the inverted bordered
// matrix the optimiser leaves in its Hessian (rows nparm + k), scaled by the
// fitted variance; their limits use the 0.95 quantile of the beta
// distribution behind the squared t statistic.
#include <cmath>
#include <cstring>

#include "host/missing.h"
#include "linalg/packed.h"
#include "optim/optimiser.h"
#include "prob/t_f_beta.h"
#include "procedure/procedure_context.h"
#include "results/constraint_rows.h"

namespace {

constexpr double kHuge = 1.3407807929943e154;
constexpr double kSmallestStdErr = 1.491668147e-154;

double critical_value(long error_df) {
  if (error_df <= 1) return special_missing_value();
  double x = 0;
  if (zprobin(0.95, 0.5, static_cast<double>(error_df - 1) * 0.5, &x) != 0) return special_missing_value();
  return std::sqrt(static_cast<double>(error_df) * x);
}

double multiplier_variance(double v, double mse) {
  if (wzmis(mse)) return special_missing_value();
  if ((std::fabs(mse) > kHuge && v > 1.0) || (v > kHuge && std::fabs(mse) > 1.0)) return kHuge;
  return v * mse;
}

void clear_extra_cells(EstimateRow* r) {
  r->boot_sd = r->bc_lower = r->bc_upper = r->perc_lower = r->perc_upper = special_missing_value();
  r->normal_lower = r->normal_upper = r->skew = r->bias = r->per_bias = special_missing_value();
}

void fill_row(const ZOPTGLOBAL* g, int p, int k, double mse, long error_df, double bval, EstimateRow* r) {
  const ZOPTMARQU& mq = *g->state.marqu;
  const CONSTRAINT* c = g->state.conp[k];
  r->set_name(c->name, c->name ? static_cast<int>(std::strlen(c->name)) : 0);
  const auto* sym = static_cast<const CMPSYM*>(c->user);
  r->set_label(sym ? sym->info : nullptr);
  const double var = multiplier_variance(-g->state.hes[zisub(p + k, p + k)], mse);
  r->est = mq.lagrange ? mq.lagrange[k] : special_missing_value();
  const bool singular = mq.singrowsc && mq.singrowsc[k] == '0';
  r->se = wzmis(var) || var < 0 || singular ? special_missing_value() : std::sqrt(var);
  r->lower = r->upper = r->t = r->p = special_missing_value();
  if (!wzmis(r->se) && !wzmis(bval)) {
    r->lower = r->est - bval * r->se;
    r->upper = bval * r->se + r->est;
  }
  if (!wzmis(r->se) && r->se > kSmallestStdErr) r->t = r->est / r->se;
  if (!wzmis(r->t)) {
    const double prob = zpgbeta(r->t, error_df);
    if (!wzmis(prob) && prob >= 0) r->p = prob;
  }
}

}  // namespace

bool constraint_rows(ResultTable* t, RUVACOM* ctx, const Inference& inf, EstimateRow* r) {
  const ZOPTGLOBAL* g = ctx->zoptg;
  const ZOPTMARQU* mq = g ? g->state.marqu : nullptr;
  const int nc = mq && g->state.conp ? mq->perm + mq->nact : 0;
  if (nc == 0) return true;
  clear_extra_cells(r);
  const double bval = critical_value(inf.error_df);
  for (int k = 0; k < nc; ++k) {
    if (!g->state.conp[k]) continue;
    fill_row(g, ctx->nparm, k, ctx->mse, inf.error_df, bval, r);
    if (!t->row()) return false;
  }
  return true;
}
