#include "procedure/model_run.h"

#include <cstring>
#include <initializer_list>

#include "host/missing.h"
#include "host/services.h"
#include "host/object_methods.h"
#include "procedure/recovery.h"
#include "procedure/step_memory.h"
#include "procedure/group_name.h"
#include "procedure/loss_terms.h"
#include "procedure/procedure_context.h"
#include "procedure/statement_lookup.h"

namespace {

constexpr int kMsgNoMemory = 16;
constexpr int kMsgRunError = 66;
constexpr int kMsgRunErrorsEnd = 68;
constexpr int kMsgRunEndObservation = 904;
constexpr int kMaxRunErrorReports = 50;
constexpr int kShowMessage = 358;
constexpr int kMessageKind = 108;

// The cell of a special variable the program defines, or null.
double* program_cell(RUVACOM* ctx, const char* name, int length, char* defined) {
  CMPSYM* sym = cmpsyms(name, length, &ctx->globcmp);
  *defined = sym ? 1 : 0;
  return sym ? cmp_cell(sym) : nullptr;
}

// A program without _WEIGHT_, _LOSS_ or _RESID_ reads 1.0 for them; without
// _WGTJPJ_ the cross-products are weighted like the observation.
void bind_special_variables(RUVACOM* ctx) {
  double* cell = program_cell(ctx, "_WEIGHT_", 8, &ctx->weightflag);
  ctx->weight = cell ? cell : &ctx->one;
  cell = program_cell(ctx, "_WGTJPJ_", 8, &ctx->wgtjpjflag);
  ctx->wgtjpj = cell ? cell : ctx->weight;
  cell = program_cell(ctx, "_LOSS_", 6, &ctx->lossflag);
  ctx->loss = cell ? cell : &ctx->one;
  cell = program_cell(ctx, "_RESID_", 7, &ctx->residflag);
  ctx->resid = cell ? cell : &ctx->one;
}

// The special variables are read as numbers: character ones are errors.
void refuse_character_specials(RUVACOM* ctx) {
  for (const char* name : {"_WEIGHT_", "_WGTJPJ_", "_LOSS_", "_RESID_"})
    if (CMPSYM* sym = cmpsyms(name, static_cast<int>(std::strlen(name)), &ctx->globcmp))
      cmpnumv(sym, &ctx->globcmp);
}

// Shows a message text in the output, as the run-error reports are shown.
void show_in_output(RUVACOM* ctx, xobskey text) {
  WOB_PARM_BLK_STR params[2] = {wob_text(577, text), wob_byte(273, kMessageKind)};
  wobmth(static_cast<wobop>(ctx->yolman), nullptr, kShowMessage, 2, params);
}

// Run errors are reported in the last pass only, for at most 51
// observations of a BY group.
void report_run_errors(RUVACOM* ctx, int nerr) {
  if (nerr <= 0 || ctx->noprint || ctx->lastpass != 1) return;
  show_in_output(ctx, yolmsgs(305, kMsgRunError, static_cast<int>(ctx->obs)));
  cmpperr(2, kMaxRunErrorReports, &ctx->globcmp);
  if (++ctx->nerrmsg > kMaxRunErrorReports) {
    show_in_output(ctx, yolmsgs(305, kMsgRunErrorsEnd, group_name(ctx).c_str()));
    ctx->lastpass = 2;
  }
}

}  // namespace

int ruvares() {
  RUVACOM* ctx = ruva_context();
  auto* ids = ruva_new<CMPLIST>();
  if (!ids) {
    xpmlog(305, kMsgNoMemory);
    return 1;
  }
  collect_id_variables(ctx, ids);
  ctx->id_vars = ids->n > 0 ? ids : nullptr;
  attach_symbol_labels(ctx, ctx->parmsym);
  attach_symbol_labels(ctx, ctx->id_vars);
  // ID variables the program does not use are read with each observation
  // too, for the diagnostics table.
  if (ctx->id_vars) cmppdv(ctx->fiddata, reinterpret_cast<void**>(&ctx->dataptr), &ctx->globcmp);
  // The compiler's cells never move, so they may be bound before generation.
  bind_special_variables(ctx);
  cmpgen(&ctx->globcmp);
  refuse_character_specials(ctx);
  return ctx->nretain;
}

void nlexint() {
  RUVACOM* ctx = ruva_context();
  ctx->obs = 0.0;
  ctx->xoparm.file = ctx->fiddata;
  ctx->nmissgen = 0;
  cmpexi(1, 0, 0, &ctx->globcmp);
}

int nlexec() { return nlexec(ruva_context()); }

namespace {

int run_program(RUVACOM* ctx) {
  int rc = 1;
  const bool completed = run_under_recovery(&ctx->exception_s.j_buf_cmp_set, [ctx, &rc] {
    int nerr = 0, nmiss = 0;
    rc = cmprun(0, 0, 0, 1, 1, derivative_level(ctx), ctx->lastpass == 0 ? 1 : 0, ctx->lastpass, &nerr, &nmiss,
                &ctx->globcmp);
    // The compiler reports a run's abnormal end once per place; the
    // observation it met it for goes with that report.
    if (rc != 0 && cmppxrc(rc) != 0)
      xpmlog(305, kMsgRunEndObservation, static_cast<int>(ctx->obs), by_group_phrase(ctx).c_str());
    if (rc >= 3) {
      ctx->failed = 1;
      return;
    }
    report_run_errors(ctx, nerr);
    ctx->nmissgen += nerr + nmiss;
    // The run's execution log holds entries only when the run had errors.
    if (nerr > 0) cmpexlg(&ctx->globcmp);
  });
  return completed ? rc : 1;
}

}  // namespace

int nlexec(RUVACOM* ctx) {
  begin_run(ctx);
  return run_program(ctx);
}

int nlexblk(RUVACOM* ctx) {
  // _OBS_ and _N_ count the observations: a program that reads them is run
  // observation by observation.
  double* const changing[] = {&ctx->obs, &ctx->un_};
  return cmpbpas(derivative_level(ctx), changing, 2, &ctx->globcmp);
}

int nlexec_block(RUVACOM* ctx, int i) {
  begin_run(ctx);
  if (cmpbget(i, &ctx->globcmp) == 0) return 0;
  // The observation's values are back as before a run: run it alone.
  if (ctx->dephat) *ctx->dephat = special_missing_value();
  return run_program(ctx);
}
