// What the estimation of a BY group hands over to once its fit stands: the
// Hougaard skewness sums, the fit diagnostics and graphs, profiling, the
// bootstrap, the result tables, additional estimates and contrasts.
#pragma once

#include "host/service_types.h"
#include "results/hougaard.h"
#include "results/result_tables.h"

struct RUVACOM;


// The diagnostics pass of the fit: 0 when it filled the diagnostics record
// and left the output-statistics table's path in `path`.
int ruva_diag_statstable(RUVACOM* ctx, xobskey* path);
void ruva_diag_graphics(RUVACOM* ctx);
void ruva_profile(RUVACOM* ctx);
void ruva_bootstrap(RUVACOM* ctx);


// ESTIMATE and CONTRAST: 0, or 1012 when the program cannot be evaluated.
int ruvaesti(RUVACOM* ctx);
int ruvacont(RUVACOM* ctx);
