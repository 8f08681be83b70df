// Packed storage: an n by n symmetric (or lower-triangular) matrix is held
// as its lower triangle by rows in n(n+1)/2 doubles. The matrix of order n is
// a prefix of the one of order n+1, which is how callers border a matrix.
#pragma once

// The position of element (i, j), counted from 0: M(M+1)/2 + m with
// M = max(i, j) and m = min(i, j), formed in 64-bit arithmetic.
inline long zisub(int i, int j) {
  const long big = i > j ? i : j;
  const long small = i > j ? j : i;
  return big * (big + 1) / 2 + small;
}
