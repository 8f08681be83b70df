// Which diagnostics blocks the step's requests need, and their storage.
#include "results/diagnostics_record.h"

#include <algorithm>

#include "host/compiler_types.h"
#include "host/missing.h"
#include "host/services.h"
#include "host/statement_records.h"
#include "procedure/analysis_requests.h"
#include "procedure/graph_control.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"
#include "procedure/statement_lookup.h"
#include "results/saved_diagnostics.h"

namespace {

bool has(const RUVAPLOT_STATS* s, char RUVAPLOT_STATS::* flag) { return s && s->*flag; }

bool curvature_stats(const RUVAPLOT_STATS* s) {
  return has(s, &RUVAPLOT_STATS::maxincurv_flag) || has(s, &RUVAPLOT_STATS::maxpecurv_flag) ||
         has(s, &RUVAPLOT_STATS::rmsincurv_flag) || has(s, &RUVAPLOT_STATS::rmspecurv_flag);
}

void from_graphs(const RUVACOM* ctx, int* flags) {
  const RUVAGRAPH_CONTROL* g = ctx->graph_control;
  if (!g) return;
  const RUVARESD_PANEL* resd = g->ruvaresd_panel;
  const RUVAFIT_PLOT* fit = g->ruvafit_plot;
  const RUVADIAGNOSTICS_PANEL* panel = g->ruvadiagnostics_panel;
  const RUVAPLOT_STATS* fit_stats = fit ? fit->plot_stats : nullptr;
  if ((resd && resd->resdtype != 'P') || panel || has(fit_stats, &RUVAPLOT_STATS::var_flag)) flags[kRawBlock] = 1;
  if ((resd && resd->resdtype != 'R') || panel || has(fit_stats, &RUVAPLOT_STATS::pvar_flag))
    flags[kProjectedBlock] = 1;
  if (panel) flags[kLeverageBlock] = flags[kInfluenceBlock] = 1;
  if (curvature_stats(fit_stats) || (panel && curvature_stats(panel->plot_stats))) flags[kCurvatureBlock] = 1;
  if (resd || fit) flags[kRegressorsBlock] = 1;
  if (panel || fit) flags[kDependentBlock] = 1;
}

// The block each OUTPUT diagnostic needs, in the saved record's order.
bool from_output(const RUVACOM* ctx, int* flags) {
  constexpr DiagBlock kNeeds[kSavedDiagnostics] = {kRawBlock, kProjectedBlock, kProjectedBlock, kLeverageBlock,
                                                   kInfluenceBlock};
  bool given[kSavedDiagnostics] = {};
  if (!output_diagnostics(ctx, given)) return false;
  for (int k = 0; k < kSavedDiagnostics; ++k)
    if (given[k]) flags[kNeeds[k]] = 1;
  return true;
}

void from_tables(const RUVACOM* ctx, int* flags) {
  if (ctx->boxs_bias_flag) flags[kCurvatureBlock] = 1;
  if (ctx->ruvameasures_table_flag) flags[kCurvatureBlock] = flags[kProjectedBlock] = 1;
}

// The residual bootstrap scales by the Jacobian leverage; TAN scaling needs
// only the covariance, which every fit has.
void from_bootstrap(const RUVACOM* ctx, int* flags) {
  const RUVA_BOOTSTRAP_CONTROL* boot = ctx->ruvabootstrap_control;
  if (boot && boot->dgp.type == kDgpResidual && boot->dgp.scaling == kScaleJac) flags[kLeverageBlock] = 1;
}

template <class T>
T* block(T** slot) {
  if (!*slot) *slot = ruva_new_or_exit<T>();
  return *slot;
}

// A zeroed array of `count` doubles in *slot, reusing it when it was made
// for the same count.
void doubles(double** slot, std::int64_t count, std::int64_t* had = nullptr) {
  if (*slot && (!had || *had == count)) {
    std::fill(*slot, *slot + count, 0.0);
    return;
  }
  ruva_free(*slot);
  *slot = count > 0 ? ruva_new_or_exit<double>(count) : nullptr;
  if (had) *had = count;
}

// The regressors are found once per step; their ranges restart per group.
void regressors_block(RUVACOM* ctx, RUVADIAG* d) {
  const bool first = !d->regs_blck;
  DiagRegressors* r = block(&d->regs_blck);
  if (first) {
    r->used_regs = ruva_new_or_exit<CMPLIST>();
    r->num_regressors = determine_num_indep(ctx);
    r->regressors = r->num_regressors > 0 ? ruva_new_or_exit<double*>(r->num_regressors) : nullptr;
  }
  doubles(&r->xmins, r->num_regressors);
  doubles(&r->xmaxs, r->num_regressors);
}

}  // namespace

int determine_num_indep(RUVACOM* ctx) {
  CMPSYM* dep = ctx->depsym && ctx->depsym->n > 0 ? ctx->depsym->s[0] : nullptr;
  CMPLIST* used = ctx->ruvadiag->regs_blck->used_regs;
  if (!dep || cmpdeps(&ctx->globcmp, dep, 0, 1, 0) <= 0) return 0;
  int count = 0;
  for (CMPSYM* s = cmpndep(&ctx->globcmp, dep, nullptr, 0, 1); s; s = cmpndep(&ctx->globcmp, dep, s, 0, 1))
    if (s->dsvarno > 0 && s->type == 'n' && cmplstx(used, s, &ctx->globcmp) == 0) ++count;
  return count;
}

bool output_diagnostics(const RUVACOM* ctx, bool* given) {
  constexpr int kFirst = 19;  // RESEXPEC=; LMAX= is 23
  bool any = false;
  for (const STMT* s = ctx->prochead; s; s = s->next) {
    if (!stmt_is(s, "OUTPUT")) continue;
    for (int k = 0; k < kSavedDiagnostics; ++k)
      if (stmt_field(s, kFirst + k)) given[k] = any = true;
  }
  return any;
}

int set_reqd_blcks(RUVACOM* ctx, int* flags) {
  from_graphs(ctx, flags);
  if (from_output(ctx, flags)) ctx->save_diag_flag = 1;
  from_tables(ctx, flags);
  from_bootstrap(ctx, flags);
  int sum = 0;
  for (int k = 0; k < kDiagBlocks; ++k) sum += flags[k];
  if (sum > 0) flags[kCommonBlock] = flags[kQrBlock] = 1;
  return sum;
}

void alloc_memory(RUVACOM* ctx, const int* flags) {
  ++ctx->ruvadiag_alloc_count;
  RUVADIAG* d = block(&ctx->ruvadiag);
  d->obs_computable_flag = ctx->obs_computable_flag;
  d->obs_computable_bytes = ctx->obs_computable_bytes;
  d->not_computed = missing_value();
  for (int k = 0; k < kDiagBlocks; ++k) d->required[k] = flags[k] ? 1 : 0;
  const std::int64_t p = ctx->nparm, q = diag_packed(p), m = diag_augmented(p);
  DiagCommon* c = block(&d->com_blck);
  doubles(&c->xpx, q);
  doubles(&c->xpx_inv, q);
  DiagFactor* f = block(&d->x_qr_blck);
  doubles(&f->R, q);
  doubles(&f->L, q);
  if (flags[kRawBlock]) doubles(&block(&d->raw_resd_blck)->temp_raw_expec, p);
  if (flags[kProjectedBlock]) {
    DiagProjected* pr = block(&d->proj_resd_blck);
    doubles(&pr->temp_WpW_inv, diag_packed(m));
    doubles(&pr->temp_proj_e, m);
  }
  if (flags[kLeverageBlock]) doubles(&block(&d->lev_blck)->xpx_eh_inv, q);
  if (flags[kInfluenceBlock]) {
    DiagInfluence* inf = block(&d->inf_blck);
    std::int64_t n = inf->n;
    doubles(&inf->lmax, ctx->nobs, &n);
    inf->n = n;
    doubles(&inf->temp_B, q);
  }
  if (flags[kCurvatureBlock]) {
    DiagCurvature* cv = block(&d->curv_blck);
    doubles(&cv->temp_proj_hess, p * q);
    doubles(&cv->boxs_bias, p);
    doubles(&cv->per_boxs_bias, p);
    doubles(&cv->h_dir, p);
  }
  if (flags[kRegressorsBlock]) regressors_block(ctx, d);
  if (flags[kDependentBlock]) block(&d->dep_blck);
}

bool diag_obs_used(const RUVADIAG* diag, long i) {
  const unsigned char* bits = diag->obs_computable_flag;
  return bits && i >= 0 && i / 8 < diag->obs_computable_bytes && (bits[i / 8] & (0x80u >> (i % 8)));
}
