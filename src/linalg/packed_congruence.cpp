// Congruence products L S L', L' S L, S1 S2 S1, R S R' and R' S R of packed
// symmetric matrices. The triangle-by-square ones form the intermediate
// product in the caller's scratch first, so the result may overwrite S.
#include <algorithm>

#include "linalg/packed.h"
#include "linalg/packed_matrix.h"
#include "linalg/vector_kernels.h"

namespace {

double* row_start(double* packed, int i) { return packed + zisub(i, 0); }

// First column of the profile of row i of L.
int profile_start(int* len, int i) { return std::max(0, i - len[i] + 1); }

void put(double* cell, double value, int add) {
  if (add == 0)
    *cell = value;
  else
    *cell += add * value;
}

}  // namespace

void zmxlsu(double* l, double* s, int n, double* work) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      work[static_cast<long>(i) * n + j] = zvdots1(row_start(s, j), j, row_start(l, i), i + 1);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j)
      s[zisub(i, j)] = zvdot11(work + static_cast<long>(i) * n, row_start(l, j), j + 1);
}

void zmxls1(double* l, double* s, int n, double* work, int* len) {
  for (int i = 0; i < n; ++i) {
    double* li = row_start(l, i);
    const int lo = profile_start(len, i);
    for (int j = 0; j < n; ++j) {
      double t = 0.0;
      for (int k = lo; k <= i; ++k) t += li[k] * s[zisub(k, j)];
      work[static_cast<long>(i) * n + j] = t;
    }
  }
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) {
      const int lo = profile_start(len, j);
      s[zisub(i, j)] = lo > j ? 0.0
                              : zvdot11(work + static_cast<long>(i) * n + lo,
                                        row_start(l, j) + lo, j - lo + 1);
    }
}

void zmxusl(double* l, double* s, int n, double* work) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      work[static_cast<long>(i) * n + j] = zvdotsl(row_start(s, j), j, l + zisub(i, i), i, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j)
      s[zisub(i, j)] = zvdott1(l + zisub(j, j), j, work + static_cast<long>(i) * n, n);
}

// L(k, c) is inside the profile when profile_start(k) <= c <= k.
void zmxus1(double* l, double* s, int n, double* work, int* len) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double t = 0.0;
      for (int k = i; k < n; ++k)
        if (profile_start(len, k) <= i) t += l[zisub(k, i)] * s[zisub(k, j)];
      work[static_cast<long>(i) * n + j] = t;
    }
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) {
      double t = 0.0;
      for (int k = j; k < n; ++k)
        if (profile_start(len, k) <= j) t += work[static_cast<long>(i) * n + k] * l[zisub(k, j)];
      s[zisub(i, j)] = t;
    }
}

void zmxsss(double* s1, double* s2, int n, double* work) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      work[static_cast<long>(i) * n + j] = zvdotss(row_start(s1, i), i, row_start(s2, j), j, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j)
      s2[zisub(i, j)] = zvdots1(row_start(s1, j), j, work + static_cast<long>(i) * n, n);
}

// Cell (i, j) = sum over the nonzero R(i, k) of R(i, k)·(S r_j)(k); no
// scratch is given, so S r_j is formed one element at a time.
void zmxrsr(double* r, double* s, double* result, int m, int n, int add) {
  for (int i = 0; i < m; ++i) {
    double* ri = r + static_cast<long>(i) * n;
    for (int j = 0; j <= i; ++j) {
      double* rj = r + static_cast<long>(j) * n;
      double t = 0.0;
      for (int k = 0; k < n; ++k)
        if (ri[k] != 0.0) t += ri[k] * zvdots1(row_start(s, k), k, rj, n);
      put(result + zisub(i, j), t, add);
    }
  }
}

void zmxrts(double* r, double* s, double* result, int m, int n, double* work, int add) {
  for (int c = 0; c < n; ++c) {
    for (int i = 0; i < m; ++i) work[i] = zvdotsj(row_start(s, i), i, r + c, n, m);
    for (int d = 0; d <= c; ++d) put(result + zisub(c, d), zvdotj1(r + d, n, work, m), add);
  }
}
