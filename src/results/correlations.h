// The approximate correlation matrix of the estimates (CorrB) and the COVB
// rows of the parameter-estimates data set.
#pragma once

struct RUVACOM;

// The packed correlation matrix of order nparm from C in `xpx`: a singular
// parameter, one with no positive variance (or, under G4, one whose
// correlation with an earlier parameter exceeds 1 in magnitude by more
// than rounding) has a missing row and column; the diagonal of the others
// is 1, and a correlation beyond 1 by no more than rounding is 1. Everything is missing
// when the fitted variance is. `scale` holds nparm doubles of scratch.
void correlation_matrix(const RUVACOM* ctx, double* corr, double* scale);

// Prints CorrB from the packed correlation matrix; returns 0 or the
// failing output status.
int print_correlations(RUVACOM* ctx, double* corr);

// BootstrapCorr and BootstrapCov from the bootstrap's packed matrices
// (correlations first when both were asked for), when the group's
// bootstrap ran; 0 or the failing output status.
int print_bootstrap_matrices(RUVACOM* ctx, const double* corr_cov_boot);

// One COVB row per parameter in the OUTEST= data set: C times the fitted
// variance, missing for singular parameters. A negative variance empties
// its row and marks the parameter singular ('0') for the rows after it.
void write_covb_rows(RUVACOM* ctx);
