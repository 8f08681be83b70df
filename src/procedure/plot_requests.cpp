// The PLOTS option into the graph control record, the global statistics
// selection and the diagnostics panel, residual panel and fit plot records.
#include <cctype>

#include "procedure/graph_control.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"

namespace {

// Option flags and slots of the PLOTS option (procedure statement).
constexpr int kEquals = 29, kUnpack = 30, kAll = 44, kNone = 45;
constexpr int kDiagnostics = 46, kResiduals = 47, kFit = 48;
constexpr int kDiagUnpack = 49, kLabelObs = 62, kResidUnpack = 64, kSmooth = 65;
constexpr int kNoClm = 66, kNoCli = 67, kNoLimits = 68, kContLegend = 81;
constexpr int kGlobalResidualType = 21, kDiagResidualType = 22, kResidResidualType = 23;
constexpr int kFitObs = 24, kLeverageType = 25;

// The flags of one STATS= option: NONE, DEFAULT, ALL, a list, the nine
// statistics of the list in the order of RUVAPLOT_STATS, DEFAULT in the list.
struct StatsFlags {
  int none, dflt, all, list;
  int items[9];
  int list_default;
};
constexpr StatsFlags kGlobalStats{31, 32, 33, 34, {35, 36, 37, 83, 84, 38, 39, 40, 41}, 43};
constexpr StatsFlags kDiagStats{51, 52, 53, 54, {55, 56, 57, 85, 86, 58, 59, 60, 61}, 63};
constexpr StatsFlags kFitStats{70, 71, 72, 73, {74, 75, 76, 87, 88, 77, 78, 79, 80}, 82};

char flag(const RUVACOM* ctx, int k) { return stmt_bit(ctx->prochead, k) ? 1 : 0; }

// The first letter of a keyword slot, or 0 when the slot is empty.
char letter(const RUVACOM* ctx, int k) {
  const STLIST* f = stmt_field(ctx->prochead, k);
  return f ? f->v.nval[0] : 0;
}

char* switches(RUVAPLOT_STATS* s) { return &s->nobs_flag; }

void set_all(RUVAPLOT_STATS* s) {
  for (int i = 0; i < 9; ++i) switches(s)[i] = 1;
}
void set_defaults(RUVAPLOT_STATS* s) {
  for (int i = 0; i < 5; ++i) switches(s)[i] = 1;
}
void set_listed(const RUVACOM* ctx, const StatsFlags& f, RUVAPLOT_STATS* s) {
  for (int i = 0; i < 9; ++i) switches(s)[i] = flag(ctx, f.items[i]);
}

// A residual type of the slot, else the control's when it has one, else 'B'.
void residual_type(const RUVACOM* ctx, int k, char* type_flag, char* type) {
  const RUVAGRAPH_CONTROL* g = ctx->graph_control;
  if (char c = letter(ctx, k)) {
    *type_flag = 1;
    *type = c;
  } else if (g->resdtype_flag) {
    *type_flag = 1;
    *type = g->resdtype;
  } else {
    *type_flag = 0;
    *type = 'B';
  }
}

// A plot's own statistics selection: null for STATS=NONE and for STATS=DEFAULT
// without a list, the global selection when the plot names no STATS=.
RUVAPLOT_STATS* plot_stats(const RUVACOM* ctx, const StatsFlags& f) {
  if (flag(ctx, f.none)) return nullptr;
  const bool list = flag(ctx, f.list);
  const bool dflt = flag(ctx, f.dflt) || (list && flag(ctx, f.list_default));
  if (!flag(ctx, f.all) && !list) return dflt ? nullptr : ctx->graph_control->ruvaplot_stats;
  auto* s = ruva_new_or_exit<RUVAPLOT_STATS>();
  s->all_flag = flag(ctx, f.all);
  if (s->all_flag) {
    set_all(s);
    return s;
  }
  s->default_flag = dflt ? 1 : 0;
  set_listed(ctx, f, s);
  if (dflt) set_defaults(s);
  return s;
}

void make_residual_panel(RUVACOM* ctx) {
  auto* p = ruva_new_or_exit<RUVARESD_PANEL>();
  p->show_flag = 1;
  p->unpack_flag = flag(ctx, kResidUnpack) || ctx->graph_control->unpack_flag;
  p->loess_flag = flag(ctx, kSmooth);
  residual_type(ctx, kResidResidualType, &p->resdtype_flag, &p->resdtype);
  ctx->graph_control->ruvaresd_panel = p;
}

void make_diagnostics_panel(RUVACOM* ctx) {
  auto* p = ruva_new_or_exit<RUVADIAGNOSTICS_PANEL>();
  p->show_flag = 1;
  p->unpack_flag = flag(ctx, kDiagUnpack) || ctx->graph_control->unpack_flag;
  p->labelobs_flag = flag(ctx, kLabelObs);
  residual_type(ctx, kDiagResidualType, &p->resdtype_flag, &p->resdtype);
  const char lev = letter(ctx, kLeverageType);
  p->levtype_flag = lev ? 1 : 0;
  p->levtype = lev ? lev : 'B';
  p->plot_stats = plot_stats(ctx, kDiagStats);
  ctx->graph_control->ruvadiagnostics_panel = p;
}

// OBS=: GRADIENT 1, NONE 0, OUTLINEGRADIENT 3, OUTLINE 2; absent 1.
std::int32_t fit_observations(const RUVACOM* ctx) {
  const STLIST* f = stmt_field(ctx->prochead, kFitObs);
  if (!f) return kObsGradient;
  const char first = static_cast<char>(std::toupper(static_cast<unsigned char>(f->v.nval[0])));
  if (first == 'G') return kObsGradient;
  if (first == 'N') return kObsNone;
  const char eighth = static_cast<char>(std::toupper(static_cast<unsigned char>(f->v.nval[7])));
  return eighth == 'G' ? kObsOutlineGradient : kObsOutline;
}

void make_fit_plot(RUVACOM* ctx) {
  auto* p = ruva_new_or_exit<RUVAFIT_PLOT>();
  p->show_flag = 1;
  const bool no_limits = flag(ctx, kNoLimits);
  p->noCLM_flag = flag(ctx, kNoClm) || no_limits;
  p->noCLI_flag = flag(ctx, kNoCli) || no_limits;
  p->contlegend_flag = flag(ctx, kContLegend);
  p->obs_flag = fit_observations(ctx);
  p->plot_stats = plot_stats(ctx, kFitStats);
  ctx->graph_control->ruvafit_plot = p;
}

}  // namespace

void get_graphics_options(RUVACOM* ctx) {
  RUVAGRAPH_CONTROL* g = ctx->graph_control;
  g->yol_graphics_flag = 1;
  g->show_flag = 1;
  g->unpack_flag = flag(ctx, kUnpack);
  const char type = letter(ctx, kGlobalResidualType);
  g->resdtype_flag = type ? 1 : 0;
  g->resdtype = type ? type : 'B';
  get_global_optstats(ctx);
  get_specific_graphs(ctx);
}

void get_global_optstats(RUVACOM* ctx) {
  const StatsFlags& f = kGlobalStats;
  if (flag(ctx, f.none)) return;
  auto* s = ruva_new_or_exit<RUVAPLOT_STATS>();
  ctx->graph_control->ruvaplot_stats = s;
  s->all_flag = flag(ctx, f.all);
  if (s->all_flag) {
    set_all(s);
    return;
  }
  const bool list = flag(ctx, f.list);
  s->default_flag = flag(ctx, f.dflt) || (list && flag(ctx, f.list_default));
  if (list) set_listed(ctx, f, s);
  // Without a list the default set is shown; a list without DEFAULT keeps
  // exactly what it names.
  if (s->default_flag || !list) set_defaults(s);
}

void get_specific_graphs(RUVACOM* ctx) {
  RUVAGRAPH_CONTROL* g = ctx->graph_control;
  bool diagnostics = true, residuals = true, fit = true;
  if (!flag(ctx, kEquals)) {
    g->default_flag = 1;
  } else if (flag(ctx, kNone)) {
    return;
  } else if (flag(ctx, kAll)) {
    g->all_flag = 1;
  } else {
    diagnostics = flag(ctx, kDiagnostics);
    residuals = flag(ctx, kResiduals);
    fit = flag(ctx, kFit);
    if (!diagnostics && !residuals && !fit) {
      g->default_flag = 1;
      diagnostics = residuals = fit = true;
    }
  }
  if (diagnostics) make_diagnostics_panel(ctx);
  if (residuals) make_residual_panel(ctx);
  if (fit) make_fit_plot(ctx);
}
