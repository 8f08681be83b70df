// The pieces of the sweep inverse shared between its files.
#pragma once

#include "linalg/sweep_inverse.h"

// The Moore-Penrose branch of zswpn (no trace scaling): the generalised
// inverse of moore_penrose for the leading block, the border rows carried
// as a sweep would. Returns 0
// or kSwpnNoPseudoInverse; sets rank and, with detflag, det.
int zswpn_pseudo_inverse(double* xpx, int nest, int nest1, double trace, zswpptr swpi);

// The debug print of a matrix entering the inverse: the title message and
// the packed matrix on the listing, when itprint, debug and matinfo are all
// set. It never changes the matrix.
void print_entering_matrix(double* xpx, int nest1, const ZSWPN* swpi);

// det from a log-determinant: exp of it, the largest double beyond the
// range of exp, and not a number for not a number.
double determinant_from_log(double logdet);
