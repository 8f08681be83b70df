// The graph families of the procedure. Each builder takes the context and,
// for the fit graphics, the address of the output-statistics table's path
// key, under which its graphs are placed.
#pragma once

#include "host/service_types.h"

struct RUVACOM;

// The fit graphics after a fit, in order: the fit diagnostics with the
// leverage and influence plots, the residual plots, the fit plot.
void ruva_diag_graphics(RUVACOM* ctx);

// Fit diagnostics: one panel, or nine single graphs when unpacked.
void ruvadiag_resddiag_graph(RUVACOM* ctx, xobskey* path);
// The leverage and local-influence plots.
void ruvadiag_levinf_graph(RUVACOM* ctx, xobskey* path);
// Residuals by regressor: paged panels, or one plot per regressor.
void ruvaresd_graph(RUVACOM* ctx, xobskey* path);
// The fit plot (one regressor) or the contour-fit plot (two).
void ruvafit_graph(RUVACOM* ctx, xobskey* path);

// The score grids behind the fit plots, emitted as data objects; `path`
// receives the output path of the grid's rows. The texts label the
// columns. With several combinations of the other variables the model
// uses, the grid holds a curve for each, numbered in "curvegrid".
struct CurveGroups;
void ruvagrid(RUVACOM* ctx, xobskey* path, xobskey x_text, xobskey y_text, const CurveGroups& groups);
void ruvagrid2d(RUVACOM* ctx, xobskey* path, xobskey x_text, xobskey y_text, xobskey z_text);

// Profiling's graphs: the profile-t and confidence-curve groups after the
// profiles, the jackknife group after the jackknife. Parameters without a
// table of this BY group are skipped.
void produce_t_cc_plots(RUVACOM* ctx);
void produce_jackknife_plots(RUVACOM* ctx);
// One graph of profiled parameter j: kind 0 profile-t, 1 confidence curve,
// 2 jackknife; other kinds nothing.
void ruva_profile_graphics(RUVACOM* ctx, int kind, int j);
