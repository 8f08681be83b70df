// The pieces of the sweep inverse shared between its files.
#pragma once

#include "host/types.h"
#include "linalg/sweep_inverse.h"

// The Moore-Penrose branch of zswpn (the trace t already taken): the
// pseudo-inverse of the leading block on the rows the sweep with tolerance
// `epsilon` keeps (negative: pivots judged by magnitude, moore_penrose's),
// the border rows carried as a sweep would. Returns 0 or
// kSwpnNoPseudoInverse; sets rank and, with detflag, det.
int zswpn_pseudo_inverse(double* xpx, int nest, int nest1, double t, double epsilon, zswpptr swpi);

// The sweep of zswpn on the order-nest1 packed matrix: scales it by its
// absolute trace t, sweeps the leading nest rows with the ratio test against
// its diagonal (epsilon and options as zsweepr takes them; the statuses are
// the record's, as the caller left them), sets det with detflag and
// restores the scale. Returns the rank.
int sweep_leading_rows(double* xpx, int nest, int nest1, double t, double epsilon,
                       const tchar* options, zswpptr swpi);

// The sum of |x(i,i)| over the first `order` rows of a packed matrix.
double absolute_trace(const double* x, int order);

// The debug print of a matrix entering the inverse: the title message and
// the packed matrix on the listing, when itprint, debug and matinfo are all
// set. It never changes the matrix.
void print_entering_matrix(double* xpx, int nest1, const ZSWPN* swpi);

// det from a log-determinant: exp of it, the largest double beyond the
// range of exp, and not a number for not a number.
double determinant_from_log(double logdet);
