// Singular value decomposition A = U diag(q) V' of a dense row-major m by n
// matrix by Householder bidiagonalisation and implicit-shift QR (Golub and
// Reinsch).
//
// u: m by n with row stride inu; A on entry, U (the first n left singular
// vectors) on exit when `wu` is nonzero, scratch otherwise. v: n by n with
// row stride inv, or null; when v is u itself, V is formed in u's place (wu
// must then be 0 and inv equal to inu). b: p right-hand-side columns (row
// stride inb) that receive U'b, or null with p = 0. q: the n singular values.
// e: n doubles, the superdiagonal (e[0] = 0), scratch afterwards.
#pragma once

// zsvd's code for a matrix holding a value that is not finite; nothing is
// written.
inline constexpr int kSvdNotFinite = 2;

// The whole decomposition with U in u (unless v is u) and V in v, values in
// decreasing order with the vector orientation of zsvdsor. Matrices of any
// finite scale are accepted: the work is done on the matrix scaled by an even
// power of two, which changes no rounding. Returns 0, or zsvd2's failure code
// (values unsorted), or kSvdNotFinite.
int zsvd(int m, int n, double* u, double* v, double* q, double* e);

// Bidiagonal form (q diagonal, e superdiagonal) with the right transformations
// accumulated into v and, when wu, the left ones into u. Returns the largest
// |q[i]| + |e[i]|.
double zsvd1(int wu, int m, int n, int p, int inu, int inb, int inv, double* u, double* b,
             double* v, double* q, double* e);

// Diagonalises the bidiagonal form. Returns 0; -(k+1) when value k did not
// converge in 50 QR sweeps or a rotation met a zero length; 1 when a
// superdiagonal element above sqrt(tolerance) remains.
int zsvd2(int wu, int m, int n, int p, int inu, int inb, int inv, double* u, double* b,
          double* v, double* q, double* e, double anorm);

// Flushes tiny vector entries, orients each pair of vectors so that their
// summed entries (or, near 0, the first clearly largest entry) are positive,
// and sorts the values decreasing with their vectors.
void zsvdsor(int wu, int m, int n, int inu, int inv, double* u, double* v, double* q);
