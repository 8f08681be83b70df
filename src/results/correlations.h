// The approximate correlation matrix of the estimates (CorrB) and the COVB
// rows of the parameter-estimates data set.
#pragma once

struct RUVACOM;

// The packed correlation matrix of order nparm from C in `xpx`: a singular
// parameter or one with no positive variance has a missing row and
// column; the diagonal of the others is 1, and a correlation beyond 1 by
// no more than rounding is 1. A pair that C puts further beyond 1 (C not
// positive semi-definite) has no correlation: it is missing, with G4 or
// without. Everything is missing when the fitted variance is. `scale`
// receives nparm scale factors.
void correlation_matrix(const RUVACOM* ctx, double* corr, double* scale);

// The note, in the listing and the log, that names the pairs whose
// correlation cannot be formed, from the scale factors of
// correlation_matrix; nothing when there are none.
void note_unformed_correlations(RUVACOM* ctx, const double* scale);

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
