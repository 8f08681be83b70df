// Reduction of a packed symmetric matrix to symmetric tridiagonal form by
// Householder reflections, and the back-transformation of eigenvectors.
//
// The tridiagonal form `tri` is 3n doubles: d = tri[0, n) the diagonal,
// e = tri[n, 2n) the sub-diagonal (e[i] couples rows i-1 and i, e[0] = 0),
// e2 = tri[2n, 3n) the squares of e as formed by the reduction (e2[0] = 0).
// The eigenvalue routines later mark block boundaries with zeros in e2 and
// put an order flag in e2[0]; d and e never change after the reduction.
#pragma once

// Reduces the packed matrix a (destroyed) into tri. On return each row r >= 1
// that carried a reflection holds scale·u in a(r, 0 .. r-1) and scale·sqrt(h)
// on its diagonal; a row of negligible scale, and row 0, hold 0 there.
void ztred3(int n, double* a, double* tri);

// Applies the reflections that ztred3 left in a to the m rows of z (row j at
// z + j·n), turning eigenvectors of the tridiagonal form into eigenvectors
// of the original matrix.
void ztrbak3(int n, int m, double* a, double* z);
