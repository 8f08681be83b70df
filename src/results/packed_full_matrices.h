// Conversions and products between the packed and the full storage of the
// p-by-p matrices of the diagnostics and the curvature measures.
//   packed: the lower triangle by rows, element (i, j), i >= j, at
//           i(i+1)/2 + j; read as symmetric S(i, j) = S(j, i), or as lower
//           triangular L with zeros above the diagonal;
//   full:   n-by-n, row-major, element (i, j) at i·n + j.
// Every product adds one term at a time into its output element, in the
// natural order of the summation index, so its bits do not depend on how
// the loops are unrolled. An order n below 1 does nothing (beyond clearing
// an output of no elements).
#pragma once

// res = S·vec (flag 0), or res += S·vec (flag nonzero).
void symmat_vec(const double* mat, const double* vec, double* res, int n, int flag);

// to = Lᵀ, zeros below the diagonal (flag 0), or to = L, zeros above (flag nonzero).
void copyfrom_triangular(const double* from, double* to, int n, int flag);

// to = S in full.
void copyfrom_symmetric(const double* from, double* to, int n);

// The packed lower triangle of `from`ᵀ (flag 0: packed(i, j) = from(j, i),
// the upper triangle transposed) or of `from` (flag nonzero).
void move_tritosym(const double* from, double* to, int n, int flag);

// In place: flag 0 mirrors the upper triangle onto the lower one and clears
// the upper (an upper triangular matrix becomes its lower transpose); flag
// nonzero mirrors the lower onto the upper and clears the lower.
void transpose_triangular(double* mat, int np, int flag);

// res = Lᵀ·vec (flag 0) or L·vec (flag nonzero); flag2 0 clears res first,
// nonzero adds to it.
void tri_vec_mul(const double* tri, const double* vec, double* res, int n, int flag, int flag2);

// res = A·B in full for packed symmetric A and B; flag 0 clears res first,
// nonzero adds to it.
void symmat_symmat(const double* mat1, const double* mat2, double* res, int n, int flag);
