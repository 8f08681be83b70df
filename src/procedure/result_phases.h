// What the estimation of a BY group hands over to once its fit stands: the
// Hougaard skewness sums, the fit diagnostics and graphs, profiling, the
// bootstrap, the result tables, additional estimates and contrasts.
#pragma once

#include "host/service_types.h"

struct RUVACOM;

// Adds one observation's terms to the skewness sums (final 0), or turns the
// sums into the skewness of each estimate (final 1, with jac and hess null).
int jovhoug(int np, double* jac, double* hess, double* xpx, double* hougaard, double mse, int final);

// The diagnostics pass of the fit: 0 when it filled the diagnostics record
// and left the output-statistics table's path in `path`.
int ruva_diag_statstable(RUVACOM* ctx, xobskey* path);
void ruva_diag_graphics(RUVACOM* ctx);
void ruva_profile(RUVACOM* ctx);
void ruva_bootstrap(RUVACOM* ctx);

// The result tables of the BY group; corr_cov_boot is the bootstrap's
// packed correlation and covariance array, or null.
void jovtab(RUVACOM* ruvaptr, double* corr_cov_boot);

// ESTIMATE and CONTRAST: 0, or 1012 when the program cannot be evaluated.
int ruvaesti(RUVACOM* ctx);
int ruvacont(RUVACOM* ctx);
