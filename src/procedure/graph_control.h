// The PLOTS request of the procedure statement: one graph control record and
// up to three plot records, each with an optional selection of fit
// statistics for its inset. Every member is a one-byte switch or letter
// unless said otherwise. Built by `get_options`, read by the diagnostics and
// the graphs.
#pragma once

#include <cstdint>

struct RUVACOM;

// A selection of fit statistics. The first five switches are the default set.
struct RUVAPLOT_STATS {
  char all_flag;
  char default_flag;
  char none_flag;  // never set here
  char nobs_flag;
  char nparm_flag;
  char mse_flag;
  char var_flag;
  char pvar_flag;
  char maxincurv_flag;
  char maxpecurv_flag;
  char rmsincurv_flag;
  char rmspecurv_flag;
};

// Residual types: 'R' raw, 'P' projected, 'B' both. Leverage types: 'T'
// tangential, 'J' Jacobian, 'B' both.
struct RUVARESD_PANEL {
  char show_flag;
  char unpack_flag;
  char loess_flag;
  char resdtype_flag;  // 1 when a residual type was given or inherited
  char resdtype;
};

struct RUVADIAGNOSTICS_PANEL {
  char show_flag;
  char unpack_flag;
  char resdtype_flag;
  char resdtype;
  char levtype_flag;
  char levtype;
  char labelobs_flag;
  RUVAPLOT_STATS* plot_stats;  // may be the global selection, or null
};

// `obs_flag`: how observations are drawn in the fit plot.
enum : std::int32_t { kObsNone = 0, kObsGradient = 1, kObsOutline = 2, kObsOutlineGradient = 3 };

struct RUVAFIT_PLOT {
  char show_flag;
  char noCLM_flag;
  char noCLI_flag;
  char contlegend_flag;
  std::int32_t obs_flag;
  RUVAPLOT_STATS* plot_stats;
  char carried_noted;  // the note that the prediction depends on carried values was given
};

struct RUVAGRAPH_CONTROL {
  char yol_graphics_flag;
  char show_flag;
  char unpack_flag;
  char resdtype_flag;
  char resdtype;
  char none_flag;  // never set here
  char default_flag;
  char all_flag;
  RUVAPLOT_STATS* ruvaplot_stats;  // the global selection; null with STATS=NONE
  RUVARESD_PANEL* ruvaresd_panel;
  RUVAFIT_PLOT* ruvafit_plot;
  RUVADIAGNOSTICS_PANEL* ruvadiagnostics_panel;
};

// Fills the graph control record (already allocated) from the procedure
// statement, then the global statistics and the plot records.
void get_graphics_options(RUVACOM* ctx);
void get_global_optstats(RUVACOM* ctx);
void get_specific_graphs(RUVACOM* ctx);
