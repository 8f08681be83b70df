// The graphs after each fit, all placed under the output-statistics table
// that the diagnostics pass made: the fit diagnostics with the leverage and
// influence plots, the residual plots, then the fit plot.
#include "procedure/procedure_context.h"
#include "procedure/result_phases.h"
#include "profile/graph_builders.h"

void ruva_diag_graphics(RUVACOM* ctx) {
  const RUVAGRAPH_CONTROL* g = ctx->graph_control;
  if (!g || !ctx->ruvadiag) return;
  xobskey path = ctx->outputstats_path;
  if (!path) return;
  if (g->ruvadiagnostics_panel) {
    ruvadiag_resddiag_graph(ctx, &path);
    ruvadiag_levinf_graph(ctx, &path);
  }
  if (g->ruvaresd_panel) ruvaresd_graph(ctx, &path);
  if (g->ruvafit_plot) ruvafit_graph(ctx, &path);
}
