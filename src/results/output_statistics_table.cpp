// The diagnostics of a BY group's fit: the blocks its requests need, their
// per-group quantities, then one more pass that fills the OutputStatistics
// table, one row per observation read, and the file of saved diagnostics
// for the OUTPUT pass (saved_diagnostics.h). The table is listed when an
// OUTPUT statement asked for these statistics and NOPRINT is off; otherwise
// it only serves as data for the graphs and the JSON stream, and is not
// made when graphics are off.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed_matrix.h"
#include "linalg/vector_kernels.h"
#include "procedure/result_phases.h"
#include "procedure/group_name.h"
#include "procedure/inverse_in_use.h"
#include "procedure/procedure_context.h"
#include "procedure/statement_lookup.h"
#include "procedure/step_memory.h"
#include "results/curvature_measures.h"
#include "results/diagnostics_pass.h"
#include "results/diagnostics_record.h"
#include "results/result_output.h"
#include "results/saved_diagnostics.h"
#include "results/variable_texts.h"

namespace {

constexpr int kMsgNoSavedFile = 135, kMsgTitle = 140, kMsgObservation = 141, kMsgWeight = 142, kMsgResidual = 143,
              kMsgStudent = 144, kMsgExpectation = 145, kMsgProjected = 146, kMsgProjStudent = 147,
              kMsgTangent = 148, kMsgJacobian = 149, kMsgIntrinsic = 150, kMsgParameterEffects = 151,
              kMsgLmax = 152, kMsgPredicted = 153;
constexpr double kSmallestComplement = 1.110223024625157e-16;

bool present(double x) { return !wzmis(x) && std::isfinite(x); }

// A text block (tag) of the symbol's label from a LABEL statement, else its
// data-set variable's label, else its name.
WOB_PARM_BLK_STR symbol_text(int tag, const RUVACOM* ctx, const CMPSYM* sym) {
  const char* label = nullptr;
  const int length = symbol_label(sym, &label);
  return wob_text(tag, length > 0 ? yoltxt(label, length) : text_of(symbol_texts(ctx, sym).label));
}

// The label of "Observed": the dependent variable's label, else its name.
WOB_PARM_BLK_STR observed_label(const RUVACOM* ctx) {
  const CMPSYM* y = ctx->inputdepsym && ctx->inputdepsym->n > 0 ? ctx->inputdepsym->s[0] : nullptr;
  if (!y) return wob_text(296, yoltxt(ctx->depname.s ? ctx->depname.s : "", static_cast<int>(ctx->depname.l)));
  return wob_text(296, text_of(symbol_texts(ctx, y).label));
}

// One column per distinct ID variable, named id1, id2, ... by its place in
// the ID list (a repeated one still uses up its number).
bool id_columns(ResultTable* t, const RUVACOM* ctx) {
  const CMPLIST* ids = ctx->id_vars;
  bool ok = true;
  for (int k = 0; ok && ids && k < ids->n; ++k) {
    const CMPSYM* sym = ids->s[k];
    if (std::find(ids->s, ids->s + k, sym) != ids->s + k) continue;
    const bool character = sym->type == '$';
    const std::string name = "id" + std::to_string(k + 1);
    WOB_PARM_BLK_STR blocks[5] = {wob_text(339, yoltxt(character ? "IDCharVariable" : "IDNumVariable", -1)),
                                  wob_cell(285, sym->data), symbol_text(296, ctx, sym),
                                  wob_text(138, yoltxt(name.c_str(), -1)),
                                  character ? wob_int(289, sym->length) : wob_int(337, 5)};
    ok = t->column(blocks, 5);
  }
  return ok;
}

// One column per regressor that is a data-set variable, named by the
// variable's label or name: the name under which the graphs look for it.
bool regressor_columns(ResultTable* t, const RUVACOM* ctx, const DiagRegressors* r) {
  bool ok = true;
  for (int k = 0; ok && k < r->num_regressors; ++k) {
    const CMPSYM* sym = r->used_regs->s[k];
    if (sym->dsvarno <= 0) continue;
    const std::string name = symbol_texts(ctx, sym).label;
    WOB_PARM_BLK_STR blocks[7] = {wob_int(103, 5),        wob_text(339, yoltxt("Regressor", -1)),
                                  wob_cell(285, r->regressors[k]), wob_text(311, yoltxt("RegressorVar", -1)),
                                  wob_int(287, 1),        wob_text(138, text_of(name)),
                                  wob_flag(kTagNotListed, 1)};
    ok = t->column(blocks, 7);
  }
  return ok;
}

// What the listing shows of the table: nothing under NOPRINT or without an
// OUTPUT diagnostic; otherwise the weight, the ID variables, the residual,
// the studentized residual and the column of each OUTPUT diagnostic given.
struct Listing {
  bool table = false;
  bool given[kSavedDiagnostics] = {};  // RESEXPEC=, PROJRES=, PROJSTUDENT=, J=, LMAX=
};

Listing listing_of(const RUVACOM* ctx) {
  Listing l;
  l.table = output_diagnostics(ctx, l.given) && !ctx->noprint;
  return l;
}

// The columns of the blocks required. The listing leaves out the columns
// no OUTPUT diagnostic asked for: the tangential leverage (OUTPUT's H=),
// the accelerations, which hold no value (nothing computes them per
// observation), and the regressors and the dependent variable, which only
// the graphs use. Such a column is made for the other outputs (the graphs,
// the JSON stream, the report) only, so not at all when graphics are off.
bool define(ResultTable* t, RUVACOM* ctx, const Listing& l) {
  RUVADIAG* d = ctx->ruvadiag;
  const char* req = d->required;
  auto statistic = [&](int label, const char* name, double* cell, bool listed) {
    return (!listed && !ctx->yol_graphics_flag) || t->column(label, name, "g", cell, listed);
  };
  bool ok = t->column(kMsgObservation, "Observation", "i", &d->com_blck->obs_index) &&
            t->column(kMsgWeight, "Weight", "g", &d->com_blck->weight) && id_columns(t, ctx);
  if (DiagRaw* r = d->raw_resd_blck; ok && req[kRawBlock])
    ok = t->column(kMsgResidual, "Residual", "g", &r->residual) &&
         t->column(kMsgStudent, "StudentizedResidual", "g", &r->stu_residual) &&
         (!d->raw_expectation || statistic(kMsgExpectation, "ResidualExpectation", &r->raw_expec, l.given[0]));
  if (DiagProjected* p = d->proj_resd_blck; ok && req[kProjectedBlock])
    ok = statistic(kMsgProjected, "ProjectedResidual", &p->proj_residual, l.given[1]) &&
         statistic(kMsgProjStudent, "StudentizedProjectedResidual", &p->stu_proj_residual, l.given[2]);
  if (DiagLeverage* lev = d->lev_blck; ok && req[kLeverageBlock])
    ok = statistic(kMsgTangent, "TangentLeverage", &lev->tan_leverage, false) &&
         statistic(kMsgJacobian, "JacobianLeverage", &lev->jac_leverage, l.given[3]);
  if (ok && req[kCurvatureBlock])
    ok = statistic(kMsgIntrinsic, "IntrinsicAcceleration", &d->not_computed, false) &&
         statistic(kMsgParameterEffects, "ParameterEffectsAcceleration", &d->not_computed, false);
  if (DiagInfluence* inf = d->inf_blck; ok && req[kInfluenceBlock])
    ok = statistic(kMsgLmax, "LMAX", &inf->curr_lmax, l.given[4]);
  if (DiagRegressors* r = d->regs_blck; ok && r && req[kRegressorsBlock]) ok = regressor_columns(t, ctx, r);
  if (DiagDependent* dep = d->dep_blck; ok && req[kDependentBlock]) {
    WOB_PARM_BLK_STR observed[5] = {wob_int(103, 5), wob_cell(285, &dep->observed), observed_label(ctx),
                                    wob_text(138, yoltxt("Observed", -1)), wob_flag(kTagNotListed, 1)};
    ok = t->column(kMsgPredicted, "Predicted", "g", &dep->predicted, false) && t->column(observed, 5);
  }
  return ok;
}

// The studentized residual takes its leverage from the fit's covariance
// (fit_c, as OUTPUT STUDENT= does); the residual expectation is formed with
// the diagnostics' own inverse.
void raw_residuals(const RUVADIAG* d, const DiagObservation& o, const double* z, int p, double* fit_c) {
  DiagRaw* r = d->raw_resd_blck;
  const double mse = d->com_blck->mse;
  r->residual = o.e;
  r->stu_residual = r->raw_expec = missing_value();
  if (!o.d_ok || !o.weighted()) return;
  double* C = d->com_blck->xpx_inv;
  const double hw = zmxq1(const_cast<double*>(z), fit_c, p, 1) * o.w;
  if (present(o.e) && present(mse) && std::fabs(hw) < 1 && mse * (1 - hw) / o.w > 0)
    r->stu_residual = o.e / std::sqrt(mse * (1 - hw) / o.w);
  if (!d->raw_expectation || !o.h_ok || !present(o.e) || !present(mse)) return;
  const double s = zmxins(const_cast<double*>(z) + p, C, p);
  r->raw_expec = zmxbi(const_cast<double*>(z), r->temp_raw_expec, C, p) - 0.5 * mse * s;
}

void projected_residuals(const RUVADIAG* d, const DiagObservation& o, const double* z, int m) {
  DiagProjected* pr = d->proj_resd_blck;
  pr->proj_residual = pr->stu_proj_residual = missing_value();
  if (!present(o.e) || !present(pr->proj_variance) || !o.d_ok || !o.h_ok || !o.weighted()) return;
  pr->proj_residual = o.e - zinner(z, pr->temp_proj_e, m);
  const double P = o.w * zmxq1(const_cast<double*>(z), pr->temp_WpW_inv, m, 1);
  const double mse = d->com_blck->mse;
  if (1 - P > kSmallestComplement && present(mse) && mse > 0)
    pr->stu_proj_residual = std::sqrt(o.w) * pr->proj_residual / std::sqrt((1 - P) * mse);
}

// Fills the blocks for observation i (0-based) and its saved record; z
// receives the observation's (d, H).
void populate(RUVACOM* ctx, long i, bool ran, double* z, double* record) {
  RUVADIAG* d = ctx->ruvadiag;
  const int p = ctx->nparm, m = static_cast<int>(diag_augmented(p));
  const DiagObservation o = diag_observation(ctx, ran, z);
  std::fill(record, record + kSavedDiagnostics, missing_value());
  d->com_blck->weight = o.w;
  d->com_blck->obs_index = static_cast<std::int32_t>(i + 1);
  const bool raw = d->required[kRawBlock], proj = d->required[kProjectedBlock];
  const bool lev = d->required[kLeverageBlock], inf = d->required[kInfluenceBlock];
  if (raw) raw_residuals(d, o, z, p, inverse_in_use(ctx));
  if (proj) projected_residuals(d, o, z, m);
  if (lev) {
    d->lev_blck->tan_leverage = d->lev_blck->jac_leverage = missing_value();
    if (o.ran) leverages(ctx, &d->lev_blck->tan_leverage, &d->lev_blck->jac_leverage, 2);
  }
  if (inf) d->inf_blck->curr_lmax = i < d->inf_blck->n ? d->inf_blck->lmax[i] : missing_value();
  if (DiagDependent* dep = d->dep_blck; dep && d->required[kDependentBlock]) {
    dep->predicted = o.yhat;
    dep->observed = o.y;
  }
  if (raw) record[0] = d->raw_resd_blck->raw_expec;
  if (proj) record[1] = d->proj_resd_blck->proj_residual, record[2] = d->proj_resd_blck->stu_proj_residual;
  if (lev) record[3] = d->lev_blck->jac_leverage;
  if (inf) record[4] = d->inf_blck->curr_lmax;
}

void open_saved_file(RUVACOM* ctx) {
  RUVADIAG* d = ctx->ruvadiag;
  if (d->diag_file_ptr) xcclose(d->diag_file_ptr, 1);
  d->diag_file_ptr = nullptr;
  XC_OPEN block;
  std::memset(&block, 0, sizeof block);
  std::memset(block.libname, ' ', sizeof block.libname);
  std::memset(block.memtype, ' ', sizeof block.memtype);
  std::memcpy(block.memname, "UTILITY ", sizeof block.memname);
  block.flags = 0x82000008u;
  if (xcopen(&d->diag_file_ptr, &block) < 0) {
    xpmlog(kResultMessages, kMsgNoSavedFile, group_name(ctx).c_str());
    d->diag_file_ptr = nullptr;
    return;
  }
  xcpoint(d->diag_file_ptr, 0);
}

// Writes one record; a failing write is reported and the file given up.
int save(RUVADIAG* d, const double* record) {
  if (!d->diag_file_ptr) return 0;
  const int rc = xcwrite(d->diag_file_ptr, record, kSavedDiagnostics * static_cast<int>(sizeof(double)));
  if (rc == 0) return 0;
  xprrlog(0, rc);
  xcclose(d->diag_file_ptr, 1);
  d->diag_file_ptr = nullptr;
  return 1;
}

// The pass over the observations: each one's blocks, its saved record and
// its row of the table `t`, when there is one.
int observation_rows(RUVACOM* ctx, ResultTable* t) {
  const std::int64_t m = diag_augmented(ctx->nparm);
  double* work = ruva_new_or_exit<double>(m + kSavedDiagnostics);
  double* record = work + m;
  int status = 0;
  observation_pass(ctx, [&](long i, bool ran) {
    populate(ctx, i, ran, work, record);
    if (ctx->save_diag_flag) status = save(ctx->ruvadiag, record);
    if (t) t->row();
  });
  ruva_free(work);
  return status;
}

int table_pass(RUVACOM* ctx, xobskey* path, const Listing& listing) {
  // Not listed and without graphics nothing reads the table: only the saved
  // diagnostics need the pass.
  if (!listing.table && !ctx->yol_graphics_flag) return ctx->save_diag_flag ? observation_rows(ctx, nullptr) : 0;
  ResultTable t(ctx->yolman);
  if (!t.create_table("OutputStatistics", result_text(kMsgTitle)) || !define(&t, ctx, listing) ||
      !t.open_data("stat.ruva.OutputStatistics", !listing.table, path))
    return t.status;
  const int status = observation_rows(ctx, &t);
  t.finish(nullptr);
  return t.ok() ? status : t.status;
}

}  // namespace

int ruva_diag_statstable(RUVACOM* ctx, xobskey* path) {
  int flags[kDiagBlocks] = {};
  const Listing listing = listing_of(ctx);
  if (set_reqd_blcks(ctx, flags) >= 1) {
    const bool expectation = flags[kRawBlock];
    // The listed table always shows the residual and the studentized residual.
    if (listing.table) flags[kRawBlock] = 1;
    alloc_memory(ctx, flags);
    ctx->ruvadiag->raw_expectation = expectation;
    if (DiagRegressors* r = ctx->ruvadiag->regs_blck; flags[kRegressorsBlock] && r->num_regressors > 0)
      cmplstg(r->used_regs, r->regressors, &ctx->globcmp);
    intermediates(ctx);
  }
  if (!ctx->ruvadiag) return 0;
  if (ctx->save_diag_flag) open_saved_file(ctx);
  const int rc = table_pass(ctx, path, listing);
  if (ctx->ruvadiag->required[kCurvatureBlock] && ctx->ruvadiag->curv_blck) nonlinearity_measures(ctx);
  return rc;
}
