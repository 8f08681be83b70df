// The Moore-Penrose pseudo-inverse of the matrix scaled to unit diagonal,
// through the singular value decomposition, laid out as a sweep would leave
// the matrix.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/missing.h"
#include "linalg/constants.h"
#include "linalg/packed.h"
#include "linalg/sweep.h"
#include "linalg/sweep_inverse_parts.h"
#include "linalg/svd.h"
#include "linalg/vector_kernels.h"

namespace {

// The scale that brings each row to unit diagonal, sqrt|a_ii|, into d. A
// row whose diagonal is negligible beside the trace (a parameter the model
// does not use) is no pivot, as in the sweep: its status becomes '2' and
// its scale makes its largest entry against the scaled rows 1 (1 for a
// zero row), so that its scaled entries do not depend on its units either.
void unit_diagonal_scales(const double* x, int n, double* d, char* status) {
  double trace = 0.0;
  for (int i = 0; i < n; ++i) trace += std::fabs(x[zisub(i, i)]);
  for (int i = 0; i < n; ++i) {
    const double a = std::fabs(x[zisub(i, i)]);
    d[i] = a > 0.0 && a >= linalg::kTinyNormal * trace ? std::sqrt(a) : 0.0;
    status[i] = d[i] > 0.0 ? '0' : '2';
  }
  for (int i = 0; i < n; ++i) {
    if (status[i] == '0') continue;
    double largest = 0.0;
    for (int j = 0; j < n; ++j)
      if (status[j] == '0') largest = std::max(largest, std::fabs(x[zisub(i, j)]) / d[j]);
    d[i] = largest > 0.0 ? largest : 1.0;
  }
}

// x(i,j) / (d_i d_j) for the packed block, in place, or into `full` (row-major).
void scale_block(double* x, int n, const double* d, double* full) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) {
      const double s = x[zisub(i, j)] / d[i] / d[j];
      if (full) full[i * n + j] = full[j * n + i] = s;
      else x[zisub(i, j)] = s;
    }
}

// The rank of the scaled block as the default sweep decides it: the rows
// a greedy sweep takes with a pivot above `sing` (by magnitude, so that an
// indefinite Hessian keeps its negative directions) relative to the unit
// diagonal. They are marked '1', the rows that depend on them '0', so the
// degrees of freedom and the missing standard errors fall on the rows that
// are linear combinations of others, never on a row by its position. Sweeps
// the block in place; the caller overwrites it.
int sweep_rank(double* x, int n, char* status, double* work, double sing) {
  static const tchar kNoOptions[] = "";
  const int rank = zsweepr(x, 0, n - 1, n, status, nullptr, work, -std::fabs(sing), nullptr, kNoOptions,
                           nullptr, 0);
  for (int i = 0; i < n; ++i)
    if (status[i] != '1') status[i] = '0';
  return rank;
}

// The block's scaled form S = D^-1/2 A D^-1/2 (D the diagonal of A)
// decomposed: U, V in `inv`, the singular values in sweepwrk, the scales
// sqrt(D) from sweepwrk + 2n, and the rank as the default sweep decides it
// on S (pivots above `sing` relative to the unit diagonal), with the
// statuses. Returns the rank, or -1 (block untouched) when the
// decomposition is unavailable or fails; otherwise the block is scratch.
int decompose_scaled(double* x, int n, ZSWPN* swpi) {
  if (!swpi->inv || !swpi->sweepwrk) return -1;
  double* u = swpi->inv;
  double* v = swpi->inv + static_cast<long>(n) * n;
  double* q = swpi->sweepwrk;
  double* e = swpi->sweepwrk + n;  // the superdiagonal, then the rank sweep's scratch
  double* d = swpi->sweepwrk + 2 * n;
  unit_diagonal_scales(x, n, d, swpi->sweepx);
  scale_block(x, n, d, u);
  if (zsvd(n, n, u, v, q, e) != 0) return -1;
  scale_block(x, n, d, nullptr);
  return sweep_rank(x, n, swpi->sweepx, e, swpi->sing);
}

// Replaces the leading block A by the generalised inverse
// G = D^-1/2 S+ D^-1/2, S+ keeping the rank's largest singular values of S.
// So the rank, the fit and the standard errors of what the data determine
// do not depend on the units of the parameters, and a matrix of full rank
// gets its inverse. Returns the number of values kept (the rank), or -1
// (block untouched) when the decomposition is unavailable or fails.
int invert_leading_block(double* x, int n, ZSWPN* swpi) {
  const int rank = decompose_scaled(x, n, swpi);
  if (rank < 0) return -1;
  const double* u = swpi->inv;
  const double* v = swpi->inv + static_cast<long>(n) * n;
  double* q = swpi->sweepwrk;
  const double* d = swpi->sweepwrk + 2 * n;
  int kept = 0;
  for (int i = 0; i < n; ++i) {
    const bool zero = i >= rank || !(q[i] > linalg::kTinyNormal);
    q[i] = zero ? 0.0 : 1.0 / q[i];
    kept += !zero;
  }
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) x[zisub(i, j)] = zv3s111(u + i * n, q, v + j * n, n) / d[i] / d[j];
  return kept;
}

// The border rows r (nest <= r < nest1) become A+ a_r in their leading
// entries and carry the Schur complement in the border block.
void carry_border_rows(double* x, int nest, int nest1, ZSWPN* swpi) {
  double* saved = swpi->inv;  // the old leading entries, one row per border row
  double* h = swpi->sweepwrk;
  for (int r = nest; r < nest1; ++r)
    std::memcpy(saved + (r - nest) * nest, x + zisub(r, 0), nest * sizeof(double));
  for (int r = nest; r < nest1; ++r) {
    const double* a_r = saved + (r - nest) * nest;
    for (int j = 0; j < nest; ++j) h[j] = zvdots1(x + zisub(j, 0), j, a_r, nest);
    std::memcpy(x + zisub(r, 0), h, nest * sizeof(double));
  }
  for (int r = nest; r < nest1; ++r)
    for (int s = nest; s <= r; ++s)
      x[zisub(r, s)] -= zvdot11(saved + (r - nest) * nest, x + zisub(s, 0), nest);
}

}  // namespace

int zswpn_pseudo_inverse(double* xpx, int nest, int nest1, double trace, zswpptr swpi) {
  const int kept = nest == 0 ? 0 : invert_leading_block(xpx, nest, swpi);
  if (kept < 0) {
    // Nothing was changed; the border is not rewritten from an un-inverted block.
    swpi->rank = 0;
    return kSwpnNoPseudoInverse;
  }
  if (nest > 0 && nest < nest1) carry_border_rows(xpx, nest, nest1, swpi);
  // The pseudo-inverse has no log-determinant: det is not a number (1 for
  // the zero matrix, as the sweep gives).
  if (swpi->detflag) swpi->det = determinant_from_log(trace == 0.0 ? 0.0 : special_missing_value());
  swpi->rank = kept;
  return 0;
}

int moore_penrose(double* xpx, int n, zswpptr swpi) {
  if (!swpi || n <= 0 || n > swpi->n) return 0;
  const int kept = invert_leading_block(xpx, n, swpi);
  return kept < 0 ? 0 : kept;
}

int undetermined_directions(double* xpx, int n, zswpptr swpi, double* directions, double* scales) {
  if (!swpi || n <= 0 || n > swpi->n) return -1;
  const int rank = decompose_scaled(xpx, n, swpi);
  if (rank < 0) return -1;
  const double* v = swpi->inv + static_cast<long>(n) * n;
  for (int k = rank; k < n; ++k)
    for (int j = 0; j < n; ++j) directions[(k - rank) * n + j] = v[j * n + k];
  std::copy_n(swpi->sweepwrk + 2 * n, n, scales);
  return n - rank;
}
