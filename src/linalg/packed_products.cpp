// Products of packed symmetric, packed lower-triangular and dense row-major
// matrices, and the in-place triangular squares L L' and L' L.
#include "linalg/packed.h"
#include "linalg/packed_matrix.h"
#include "linalg/vector_kernels.h"

namespace {

double* row_start(double* packed, int i) { return packed + zisub(i, 0); }
double* diagonal(double* packed, int i) { return packed + zisub(i, i); }
double* dense_row(double* a, int i, int columns) { return a + static_cast<long>(i) * columns; }

}  // namespace

// Rows from the last up and each row from its diagonal leftwards, so that the
// cells a later cell needs are still those of L when it is formed.
void zmxllt(double* l, int n) {
  for (int i = n - 1; i >= 0; --i)
    for (int j = i; j >= 0; --j) l[zisub(i, j)] = zvdot11(row_start(l, i), row_start(l, j), j + 1);
}

// Cell (i, j) needs only rows i and below, and of row i only (i, j) itself and
// the diagonal, so rows go downwards and each row rightwards.
void zmxltl(double* l, int n) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) l[zisub(i, j)] = zvdotsl(row_start(l, j), j, diagonal(l, i), i, n);
}

void zmxrl(double* r, double* l, double* result, int n, int m) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < m; ++j)
      dense_row(result, i, m)[j] = zvdott1(diagonal(l, j), j, dense_row(r, i, m), m);
}

void zmxsl(double* a, double* b, double* r, int n) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      dense_row(r, i, n)[j] = zvdotsl(row_start(a, i), i, diagonal(b, j), j, n);
}

void zmxrtr(double* a, int m, int n, double* r) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) r[zisub(i, j)] = zvdotjj(a + i, n, a + j, n, m);
}

void zmxrrt(double* a, int m, int n, double* r) {
  for (int i = 0; i < m; ++i)
    for (int j = 0; j <= i; ++j) r[zisub(i, j)] += zvdot11(dense_row(a, i, n), dense_row(a, j, n), n);
}

void zmxrr(double* a, double* b, double* r, int m, int n, int p) {
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < p; ++j) dense_row(r, i, p)[j] = zvdotj1(b + j, p, dense_row(a, i, n), n);
}

void zmxss(double* a, double* b, double* r, int n) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      dense_row(r, i, n)[j] = zvdotss(row_start(a, i), i, row_start(b, j), j, n);
}

void zmxs2(double* a, double* r, int n) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) r[zisub(i, j)] = zvdotss(row_start(a, i), i, row_start(a, j), j, n);
}

// (B A)(i, i) equals (A B)(i, i), so the diagonal is formed once and doubled.
void zmxss1(double* a, double* b, double* r, int n) {
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < i; ++j)
      r[zisub(i, j)] = zvdotss(row_start(a, i), i, row_start(b, j), j, n) +
                       zvdotss(row_start(b, i), i, row_start(a, j), j, n);
    r[zisub(i, i)] = 2.0 * zvdotss(row_start(a, i), i, row_start(b, i), i, n);
  }
}

void zmxout(double* a, double* b, double* result, int m, int n) {
  for (int i = 0; i < m; ++i)
    if (a[i] != 0.0) zvxay11(dense_row(result, i, n), b, n, a[i]);
}
