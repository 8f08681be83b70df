// The generalised inverse G of the fit's cross-product matrix A that the
// results after the fit are computed from (ESTIMATE, CONTRAST, the OUTPUT
// statistics, the diagnostics' tangential leverage, the fit plot's limits),
// and which functions of the parameters the data determine under it.
//
// With dependent parameters converge_tab clears their rows of the inverse.
// After a sweep that leaves a generalised inverse of A; after the
// Moore-Penrose inverse of G4 it does not, so under G4 the whole
// pseudo-inverse is kept for the results that follow.
#pragma once

struct RUVACOM;

// Keeps the parameter block of the matrix the covariance is about to
// invert: the cross products (or the Hessian), under active constraints
// projected onto their free directions. Called before the inversion.
void keep_inverted_matrix(RUVACOM* ctx);

// Under G4, with a parameter not estimated, keeps the whole pseudo-inverse
// before its rows are cleared. Called once per BY group after the inversion.
void keep_whole_inverse(RUVACOM* ctx);

// The parameter block of G, packed of order nparm.
double* inverse_in_use(const RUVACOM* ctx);

// Some parameter is not estimated (status other than '1').
bool has_dependent_parameters(const RUVACOM* ctx);

// The relative size below which a function's gradient counts as having no
// part along the directions the data leave undetermined: sqrt(SINGULAR=),
// or more when rounding in a matrix of the given condition number (that of
// the rows the sweep keeps, scaled to unit diagonal) can leave that much.
double estimability_tolerance(const RUVACOM* ctx, double condition);

// True when the data determine, to first order, the function of the
// parameters with gradient g (nparm entries): g lies in the row space of
// A, g'(I - G A) = 0 to the tolerance above relative to |g|, measured with
// the parameters scaled to unit diagonal of A. Always true for a fit without dependent
// parameters. Under active constraints g is first projected onto their
// free directions.
bool estimable(RUVACOM* ctx, const double* g);
