// The Moore-Penrose pseudo-inverse of the matrix scaled to unit diagonal,
// laid out as a sweep would leave the matrix.
//
// The sweep of zswpn decides the rank and inverts the rows it keeps, so a
// matrix of full rank gets exactly the sweep's inverse. With dependent rows
// the sweep leaves a generalised inverse G (the kept rows' inverse, zero
// elsewhere) and, in its mixed block, the null directions the dependent
// rows give. For a symmetric S with S G S = S, S+ = S+ S G S S+ = P G P,
// P = I - N N' the projector onto the range (N an orthonormal basis of the
// null directions). So the pseudo-inverse keeps the accuracy of the sweep,
// which a singular value decomposition of an ill-conditioned S does not.
// The projection is made on S = D^-1/2 A D^-1/2 (D the diagonal of A), so
// that the result does not depend on the units of the parameters.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "host/missing.h"
#include "linalg/constants.h"
#include "linalg/packed.h"
#include "linalg/sweep_inverse_parts.h"
#include "linalg/vector_kernels.h"

namespace {

long packed_size(int n) {
  return static_cast<long>(n) * (n + 1) / 2;
}

// The scale that brings each row to unit diagonal, sqrt|a_ii|, into d. A
// row whose diagonal is negligible beside the trace (a parameter the model
// does not use) is no pivot of the sweep; its scale makes its largest entry
// against the other rows 1, so that its scaled entries do not depend on its
// units either. A row whose entries are all below sqrt(tiny) times the
// trace, as in a positive semi-definite matrix with such a diagonal, is a
// zero row but for rounding (a derivative that underflows leaves one): its
// scale is 1, its null direction its own axis. Scaled to unit entries, its
// rounding would pass for a dependence on the other rows.
void unit_diagonal_scales(const double* x, int n, double* d) {
  const double trace = absolute_trace(x, n);
  auto pivot = [&](int i) {
    const double a = std::fabs(x[zisub(i, i)]);
    return a > 0.0 && a >= linalg::kTinyNormal * trace;
  };
  for (int i = 0; i < n; ++i) d[i] = pivot(i) ? std::sqrt(std::fabs(x[zisub(i, i)])) : 0.0;
  for (int i = 0; i < n; ++i) {
    if (pivot(i)) continue;
    double largest = 0.0, largest_entry = 0.0;
    for (int j = 0; j < n; ++j) {
      if (!pivot(j)) continue;
      largest = std::max(largest, std::fabs(x[zisub(i, j)]) / d[j]);
      largest_entry = std::max(largest_entry, std::fabs(x[zisub(i, j)]));
    }
    d[i] = largest > 0.0 && largest_entry > linalg::kSqrtTiny * trace ? largest : 1.0;
  }
}

// The scales into d, then the sweep of the leading block, statuses starting
// at '0', with the sweep's tolerance `epsilon`: a positive one keeps only
// positive pivots, as the default sweep does, a negative one judges them by
// magnitude. Returns the rank.
int scaled_sweep(double* x, int nest, int nest1, double t, ZSWPN* swpi, double* d, double epsilon) {
  static const tchar kNoOptions[] = "";
  unit_diagonal_scales(x, nest, d);
  std::fill_n(swpi->sweepx, nest, '0');
  return sweep_leading_rows(x, nest, nest1, t, epsilon, kNoOptions, swpi);
}

// The sweep by magnitude, which finds the null directions of an indefinite
// matrix too; returns the rank.
int magnitude_sweep(double* x, int nest, int nest1, double t, ZSWPN* swpi, double* d) {
  return scaled_sweep(x, nest, nest1, t, swpi, d, -std::fabs(swpi->sing));
}

// The entry c(s, u) of A_SS^-1 A_SN (S the swept rows) that the sweep
// leaves in its mixed block, negated above the diagonal of u.
double dependency(const double* x, int s, int u) {
  return s < u ? x[zisub(u, s)] : -x[zisub(s, u)];
}

// The null direction of the unswept row u, in the scaled parameters: e_u
// less c(., u) over the swept rows, each entry times its scale.
void null_direction(const double* x, int n, const char* status, const double* d, int u, double* w) {
  for (int i = 0; i < n; ++i) {
    if (i == u)
      w[i] = d[u];
    else if (status[i] != '1')
      w[i] = 0.0;
    else
      w[i] = -dependency(x, i, u) * d[i];
  }
}

// An orthonormal basis of the null directions of the swept block, as
// `count` rows of n in `basis`: modified Gram-Schmidt, twice over. The
// directions are independent (each has its own unswept row).
int null_basis(const double* x, int n, const char* status, const double* d, double* basis) {
  int count = 0;
  for (int u = 0; u < n; ++u) {
    if (status[u] == '1') continue;
    double* w = basis + static_cast<long>(count) * n;
    null_direction(x, n, status, d, u, w);
    zvscl11(w, w, n, 1.0 / zvenorm(n, 1, w));
    for (int pass = 0; pass < 2; ++pass)
      for (int b = 0; b < count; ++b) {
        const double* v = basis + static_cast<long>(b) * n;
        zvxay11(w, v, n, -zvdot11(w, v, n));
      }
    zvscl11(w, w, n, 1.0 / zvenorm(n, 1, w));
    ++count;
  }
  return count;
}

// The swept block becomes G of the scaled matrix: the kept rows' inverse
// times their scales, zero elsewhere.
void scaled_generalised_inverse(double* x, int n, const char* status, const double* d) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) {
      double& g = x[zisub(i, j)];
      g = status[i] == '1' && status[j] == '1' ? g * d[i] * d[j] : 0.0;
    }
}

// P G P = G - N V' - V N' with V = G N - N (N' G N) / 2, in place of G;
// `v` takes V as rows of n, `t` the k products of a column.
void project_onto_range(double* x, int n, const double* basis, int k, double* v, double* t) {
  for (int a = 0; a < k; ++a) {
    double* va = v + static_cast<long>(a) * n;
    for (int i = 0; i < n; ++i)
      va[i] = zvdots1(x + zisub(i, 0), i, basis + static_cast<long>(a) * n, n);
    for (int b = 0; b < k; ++b) t[b] = zvdot11(basis + static_cast<long>(b) * n, va, n);
    for (int b = 0; b < k; ++b) zvxay11(va, basis + static_cast<long>(b) * n, n, -0.5 * t[b]);
  }
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) {
      double sum = 0.0;
      for (int a = 0; a < k; ++a) {
        const double* na = basis + static_cast<long>(a) * n;
        const double* va = v + static_cast<long>(a) * n;
        sum += na[i] * va[j] + va[i] * na[j];
      }
      x[zisub(i, j)] -= sum;
    }
}

// The room after the basis in the record's inv: V of the projection, and
// until then free.
double* second_half(const ZSWPN* swpi) {
  return swpi->inv + static_cast<long>(swpi->n) * swpi->n;
}

// The swept block of rank below n becomes D^-1/2 (P G P) D^-1/2, G (the
// rows `kept` marks '1') and P (orthogonal to the k null directions whose
// basis the record's inv holds) those of the scaled matrix.
void project_kept_rows(double* x, int n, const char* kept, int k, ZSWPN* swpi, const double* d) {
  scaled_generalised_inverse(x, n, kept, d);
  project_onto_range(x, n, swpi->inv, k, second_half(swpi), swpi->sweepwrk);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) x[zisub(i, j)] /= d[i] * d[j];
}

// As project_kept_rows, the null directions those of the rows `swept`
// leaves unswept in x. Returns their number.
int pseudo_inverse_of_swept_block(double* x, int n, const char* swept, const char* kept, ZSWPN* swpi,
                                  const double* d) {
  const int k = null_basis(x, n, swept, d, swpi->inv);
  project_kept_rows(x, n, kept, k, swpi, d);
  return k;
}

// The border rows r (nest <= r < nest1), as they entered, become A+ a_r in
// their leading entries and carry the Schur complement in the border block.
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

// The null directions of the order-nest1 matrix `a` (swept in place by
// magnitude) into the record's inv, the statuses of the sweep before kept;
// their number.
int null_directions_by_magnitude(double* a, int nest, int nest1, double t, ZSWPN* swpi, double* d) {
  const std::vector<char> kept(swpi->sweepx, swpi->sweepx + nest);
  magnitude_sweep(a, nest, nest1, t, swpi, d);
  const int k = null_basis(a, nest, swpi->sweepx, d, swpi->inv);
  std::copy(kept.begin(), kept.end(), swpi->sweepx);
  return k;
}

// The pseudo-inverse of the leading block, the border rows carried; the
// rank. The rows kept are those the sweep with tolerance `epsilon` takes.
// With a positive one, as the default's, a row of negative curvature (a
// Newton Hessian away from the minimum) is no more inverted than without
// the pseudo-inverse, so that a step from it still descends; the null
// directions are then the matrix's own, from a sweep by magnitude of a
// copy, which for a positive semi-definite matrix is the same sweep. The
// scales go after the sweep's step scratch, clear of its reference
// diagonal; the border rows wait in inv, the copy in its second half.
int pseudo_invert(double* x, int nest, int nest1, double t, ZSWPN* swpi, double epsilon) {
  double* d = swpi->sweepwrk + nest1;
  const long border = packed_size(nest1) - packed_size(nest);
  double* border_rows = x + packed_size(nest);
  double* copy = second_half(swpi);
  std::copy_n(border_rows, border, swpi->inv);
  if (epsilon >= 0.0) std::copy_n(x, packed_size(nest1), copy);
  const int rank = scaled_sweep(x, nest, nest1, t, swpi, d, epsilon);
  if (rank == nest) return rank;
  std::copy_n(swpi->inv, border, border_rows);
  const int k = epsilon >= 0.0 ? null_directions_by_magnitude(copy, nest, nest1, t, swpi, d)
                               : null_basis(x, nest, swpi->sweepx, d, swpi->inv);
  project_kept_rows(x, nest, swpi->sweepx, k, swpi, d);
  if (nest < nest1) carry_border_rows(x, nest, nest1, swpi);
  return rank;
}

}  // namespace

int zswpn_pseudo_inverse(double* xpx, int nest, int nest1, double t, double epsilon, zswpptr swpi) {
  if (!swpi->inv || !swpi->sweepwrk) {
    // Nothing was changed; there is no room for the projection.
    swpi->rank = 0;
    return kSwpnNoPseudoInverse;
  }
  swpi->rank = pseudo_invert(xpx, nest, nest1, t, swpi, epsilon);
  // The pseudo-inverse has no log-determinant: det is not a number (1 for
  // the zero matrix, as the sweep gives).
  if (swpi->detflag) swpi->det = determinant_from_log(t == 0.0 ? 0.0 : special_missing_value());
  return 0;
}

int moore_penrose(double* xpx, int n, zswpptr swpi) {
  if (!swpi || n <= 0 || n > swpi->n || !swpi->inv || !swpi->sweepwrk) return 0;
  return pseudo_invert(xpx, n, n, absolute_trace(xpx, n), swpi, -std::fabs(swpi->sing));
}

int minimum_norm_inverse(double* x, int n, const double* a, const char* swept, const char* kept,
                         zswpptr swpi, double* scales) {
  if (!swpi || n <= 0 || n > swpi->n || !swpi->inv || !swpi->sweepwrk) return -1;
  unit_diagonal_scales(a, n, scales);
  return pseudo_inverse_of_swept_block(x, n, swept, kept, swpi, scales);
}

int minimum_norm_step(double* xpx, int n, const double* a, zswpptr swpi, double* step,
                      double* scales) {
  if (!swpi || n <= 0 || n > swpi->n || !swpi->inv || !swpi->sweepwrk) return -1;
  if (magnitude_sweep(xpx, n, n, absolute_trace(xpx, n), swpi, scales) == n) return 0;
  unit_diagonal_scales(a, n, scales);
  double* basis = swpi->inv;
  const int count = null_basis(xpx, n, swpi->sweepx, scales, basis);
  for (int i = 0; i < n; ++i) step[i] *= scales[i];
  for (int b = 0; b < count; ++b) {
    const double* direction = basis + static_cast<long>(b) * n;
    zvxay11(step, direction, n, -zvdot11(step, direction, n));
  }
  for (int i = 0; i < n; ++i) step[i] /= scales[i];
  return count;
}

int undetermined_directions(double* xpx, int n, zswpptr swpi, double* directions, double* scales) {
  if (!swpi || n <= 0 || n > swpi->n || !swpi->sweepwrk) return -1;
  const int rank = magnitude_sweep(xpx, n, n, absolute_trace(xpx, n), swpi, scales);
  null_basis(xpx, n, swpi->sweepx, scales, directions);
  return n - rank;
}

double kept_rows_condition(const double* a, int n, zswpptr swpi, double* work) {
  if (!swpi || n <= 0 || n > swpi->n || !swpi->sweepwrk) return -1.0;
  std::copy_n(a, packed_size(n), work);
  double* d = swpi->sweepwrk + n;
  magnitude_sweep(work, n, n, absolute_trace(work, n), swpi, d);
  // The kept rows have unit-diagonal scales d; the sweep left their
  // inverse in their block of `work`, in the units of A.
  const char* status = swpi->sweepx;
  double norm = 0.0, inverse_norm = 0.0;
  for (int i = 0; i < n; ++i) {
    if (status[i] != '1') continue;
    double row = 0.0, inverse_row = 0.0;
    for (int j = 0; j < n; ++j) {
      if (status[j] != '1') continue;
      row += std::fabs(a[zisub(i, j)]) / (d[i] * d[j]);
      inverse_row += std::fabs(work[zisub(i, j)]) * d[i] * d[j];
    }
    norm = std::max(norm, row);
    inverse_norm = std::max(inverse_norm, inverse_row);
  }
  return norm * inverse_norm;
}
