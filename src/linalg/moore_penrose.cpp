// The Moore-Penrose pseudo-inverse through the singular value decomposition,
// laid out as a sweep would leave the matrix.
#include <algorithm>
#include <cstring>

#include "host/missing.h"
#include "linalg/constants.h"
#include "linalg/packed.h"
#include "linalg/sweep.h"
#include "linalg/sweep_inverse_parts.h"
#include "linalg/svd.h"
#include "linalg/vector_kernels.h"

namespace {

// The leading n by n block as a full row-major matrix.
void unpack_block(const double* x, int n, double* full) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) full[i * n + j] = x[zisub(i, j)];
}

// Marks which rows of the leading block (still the matrix itself) the
// pseudo-inverse of rank `kept` counts as estimated: the first `kept` pivots
// the sweep would choose get '1', the rows that depend on them '0', as the
// plain sweep marks them. The statuses belong to the rows (parameters), so
// the degrees of freedom and the missing standard errors fall on the rows
// that are linear combinations of others, never on a row by its position.
// Sweeps the block in place; the caller overwrites it.
void mark_estimated_rows(double* x, int n, int kept, ZSWPN* swpi) {
  double* work = swpi->sweepwrk + n;       // the superdiagonal, free after the decomposition
  double* reference = swpi->sweepwrk + 2 * n;
  for (int i = 0; i < n; ++i) reference[i] = x[zisub(i, i)];
  std::fill_n(swpi->sweepx, n, '0');
  zsweep_leading(x, n, swpi->sweepx, reference, work, kept);
}

// Replaces the leading block by its pseudo-inverse: singular values at or
// below n*100*eps*q[0] (at least kSqrtTiny) count as zero. Returns the
// number kept, or -1 (block untouched) when the decomposition is
// unavailable or fails.
int invert_leading_block(double* x, int n, ZSWPN* swpi) {
  if (!swpi->inv || !swpi->sweepwrk) return -1;
  double* u = swpi->inv;
  double* v = swpi->inv + static_cast<long>(n) * n;
  double* q = swpi->sweepwrk;
  double* e = swpi->sweepwrk + n;
  unpack_block(x, n, u);
  if (zsvd(n, n, u, v, q, e) != 0) return -1;
  const double tol = std::max(n * 100 * linalg::kRoundoff * q[0], linalg::kSqrtTiny);
  int kept = 0;
  for (int i = 0; i < n; ++i) {
    const bool zero = q[i] <= tol;
    q[i] = zero ? 0.0 : 1.0 / q[i];
    kept += !zero;
  }
  mark_estimated_rows(x, n, kept, swpi);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) x[zisub(i, j)] = zv3s111(u + i * n, q, v + j * n, n);
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
