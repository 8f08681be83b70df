#include "profile/graph_requests.h"

#include "host/missing.h"
#include "host/output_tables.h"
#include "optim/optimiser.h"
#include "procedure/convergence_status.h"
#include "procedure/graph_control.h"
#include "procedure/procedure_context.h"
#include "results/diagnostics_record.h"

namespace {
constexpr int kMakeGraph = 2826, kOpenGroup = 300;
constexpr char kScalarBlockError[] = "Error in scalar block initialization";
}  // namespace

GraphEntries& GraphEntries::text(int tag, xobskey value) {
  entries_.push_back(wob_text(tag, value));
  return *this;
}
GraphEntries& GraphEntries::literal(int tag, const char* value) { return text(tag, yoltxt(value, -1)); }
GraphEntries& GraphEntries::path(xobskey* keys, int count) {
  entries_.push_back(wob_path(2829, keys, count));
  return *this;
}
GraphEntries& GraphEntries::block(int tag, WOB_PARM_BLK_STR* entries, int count) {
  entries_.push_back(wob_blocks(tag, entries, count));
  return *this;
}
GraphEntries& GraphEntries::name(const char* var) { return literal(311, var); }
GraphEntries& GraphEntries::var_text(const char* var, xobskey value) { return name(var).text(287, value); }
GraphEntries& GraphEntries::var_literal(const char* var, const char* value) {
  return var_text(var, value ? yoltxt(value, -1) : nullptr);
}
GraphEntries& GraphEntries::var_int(const char* var, std::int32_t value) {
  name(var);
  entries_.push_back(wob_int(287, value));
  return *this;
}
GraphEntries& GraphEntries::var_double(const char* var, double value) {
  name(var);
  entries_.push_back(wob_double(287, value));
  return *this;
}

xobskey graph_text(int number) { return yolmsg(kGraphMessages, number); }

std::string message_string(int number) {
  char buffer[512];
  const int length = wkread(kGraphMessages, number, buffer, sizeof buffer - 1);
  return std::string(buffer, static_cast<std::size_t>(length > 0 ? length : 0));
}

void make_graph(RUVACOM* ctx, GraphEntries& entries) {
  const int rc = wobmth(static_cast<wobop>(ctx->yolman), nullptr, kMakeGraph, entries.size(), entries.data());
  if (rc < 0) zyolexit(rc);
}

void make_block_graph(RUVACOM* ctx, xobskey* path, const BlockGraph& g, GraphEntries& block) {
  GraphEntries e;
  e.literal(138, g.name)
      .literal(339, g.templ)
      .text(296, g.label)
      .text(310, g.description)
      .path(path, 1)
      .var_text("_TITLE", g.title)
      .block(174, block.data(), block.size());
  make_graph(ctx, e);
}

wobop open_graph_group(RUVACOM* ctx, const char* name, xobskey label) {
  WOB_PARM_BLK_STR pb[4] = {wob_object(144, nullptr), wob_text(138, yoltxt(name, -1)), wob_text(296, label),
                            wob_flag(435, 0)};
  const int rc = wobmth(static_cast<wobop>(ctx->yolman), nullptr, kOpenGroup, 4, pb);
  if (rc < 0) {
    zyolexit(rc);
    return nullptr;
  }
  return pb[0].d.op;
}

void end_graph_group(wobop group) {
  if (!group) return;
  const int rc = wob_end_group(group);
  if (rc < 0) zyolexit(rc);
}

PanelLayout get_panel_parms(int n) {
  switch (n) {
    case 1: return {1, 1, 1, 1};
    case 2: return {1, 2, 1, 2};
    case 3:
    case 4: return {2, 2, 1, 4};
    default: break;
  }
  if (n <= 0) return {2, 3, 1, n};
  return {2, 3, (n + 5) / 6, 6};
}

const CMPSYM* dependent_symbol(const RUVACOM* ctx) {
  return ctx->inputdepsym && ctx->inputdepsym->n > 0 ? ctx->inputdepsym->s[0] : nullptr;
}

InsetStats inset_stats(const RUVACOM* ctx, const RUVAPLOT_STATS* stats, bool fit_values_always) {
  InsetStats s{};
  const RUVADIAG* d = ctx->ruvadiag;
  const bool common = d && d->com_blck;
  const bool projected = d && d->proj_resd_blck && d->required[kProjectedBlock];
  const DiagCurvature* cv = d && d->required[kCurvatureBlock] ? d->curv_blck : nullptr;
  if (stats) {
    s.show = 1;
    s.show_nobs = stats->nobs_flag != 0, s.show_nparm = stats->nparm_flag != 0;
    s.show_mse = stats->mse_flag != 0, s.show_var = stats->var_flag != 0;
    s.show_pvar = projected && stats->pvar_flag != 0;
    s.show_maxin = stats->maxincurv_flag != 0, s.show_maxpe = stats->maxpecurv_flag != 0;
    s.show_curvcrit = s.show_maxin || s.show_maxpe;
    s.show_rmsin = stats->rmsincurv_flag != 0, s.show_rmspe = stats->rmspecurv_flag != 0;
  }
  if (stats || fit_values_always) {
    s.nobs = static_cast<std::int32_t>(ctx->iobs);
    s.nparm = ctx->nparm;
    s.mse = common ? d->com_blck->mse : 0.0;
    s.var = common ? d->com_blck->var : 0.0;
  }
  s.pvar = stats && projected ? d->proj_resd_blck->proj_variance : missing_value();
  if (!stats && !fit_values_always) s.pvar = 0.0;
  if (stats && cv) {
    s.maxin = cv->max_in_curv, s.maxpe = cv->max_pe_curv, s.curvcrit = cv->curv_crit_val;
    s.rmsin = cv->rms_in_curv, s.rmspe = cv->rms_pe_curv;
  }
  return s;
}

void add_fit_plot_inset(GraphEntries& e, const InsetStats& s) {
  e.var_int("_SHOWSTATS", s.show)
      .var_int("_SHOWNOBS", s.show_nobs)
      .var_int("_SHOWNPARM", s.show_nparm)
      .var_int("_SHOWMSE", s.show_mse)
      .var_int("_SHOWVAR", s.show_var)
      .var_int("_SHOWPVAR", s.show_pvar)
      .var_int("_SHOWMAXIN", s.show_maxin)
      .var_int("_SHOWMAXPE", s.show_maxpe)
      .var_int("_SHOWCURVCRIT", s.show_curvcrit)
      .var_int("_SHOWRMSIN", s.show_rmsin)
      .var_int("_SHOWRMSPE", s.show_rmspe)
      .var_int("_NOBS", s.nobs)
      .var_int("_NPARM", s.nparm)
      .var_double("_MSE", s.mse)
      .var_double("_VAR", s.var)
      .var_double("_PVAR", s.pvar)
      .var_double("_MAXIN", s.maxin)
      .var_double("_MAXPE", s.maxpe)
      .var_double("_CURVCRIT", s.curvcrit)
      .var_double("_RMSIN", s.rmsin)
      .var_double("_RMSPE", s.rmspe);
}

bool check_scalar_block(const GraphEntries& e, int expected) {
  if (e.size() == expected) return true;
  xpslog(kScalarBlockError);
  return false;
}

void add_panel_inset_curvatures(GraphEntries& e, const InsetStats& s) {
  e.var_int("_SHOWNOBS", s.show_nobs)
      .var_int("_SHOWNPARM", s.show_nparm)
      .var_int("_SHOWMSE", s.show_mse)
      .var_int("_SHOWMAXIN", s.show_maxin)
      .var_int("_SHOWMAXPE", s.show_maxpe)
      .var_int("_SHOWRMSIN", s.show_rmsin)
      .var_int("_SHOWRMSPE", s.show_rmspe)
      .var_int("_NOBS", s.nobs)
      .var_int("_NPARM", s.nparm)
      .var_double("_MSE", s.mse)
      .var_double("_MAXIN", s.maxin)
      .var_double("_MAXPE", s.maxpe)
      .var_double("_RMSIN", s.rmsin)
      .var_double("_RMSPE", s.rmspe);
}

void add_panel_inset_variances(GraphEntries& e, const InsetStats& s) {
  e.var_int("_SHOWVAR", s.show_var).var_int("_SHOWPVAR", s.show_pvar).var_double("_VAR", s.var).var_double("_PVAR", s.pvar);
}
