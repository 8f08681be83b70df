// zswpn: the trace-scaled sweep inverse.
#include <cmath>

#include "linalg/constants.h"
#include "linalg/packed.h"
#include "linalg/sweep.h"
#include "linalg/sweep_inverse_parts.h"
#include "linalg/vector_kernels.h"

using linalg::kSqrtHuge;

namespace {

// v/t, where an overflow (possible only for t < 1) becomes +-kSqrtHuge.
double divide_by_trace(double v, double t) {
  if (t < 1.0 && std::fabs(v) >= t * kSqrtHuge) return v == 0.0 ? 0.0 : std::copysign(kSqrtHuge, v);
  return v / t;
}

// The range test, made before anything is scaled: would the element of
// largest magnitude exceed the limit once divided by the trace?
bool out_of_range(const double* x, long count, double t) {
  if (count < 1) return false;
  const double largest = x[zvamxi(x, count)];
  const double scaled = t != 0.0 ? divide_by_trace(largest, t) : largest;
  return std::fabs(scaled) > linalg::kSweepRangeLimit;
}

void scale_by_trace(double* x, long count, double t) {
  if (t == 0.0) return;
  for (long k = 0; k < count; ++k) x[k] = divide_by_trace(x[k], t);
}

// Restores the scale: swept-by-swept entries (the inverse) divide by t,
// unswept-by-unswept entries (the Schur complement, the border block)
// multiply by t; entries between a swept and an unswept row are scale-free.
void undo_trace_scaling(double* x, int nest, int nest1, double t, const char* status) {
  auto times_t = [t](double v) { return t == 0.0 ? 0.0 : v * t; };
  for (int i = 0; i < nest; ++i) {
    double* row = x + zisub(i, 0);
    const bool row_swept = status[i] == '1';
    for (int j = 0; j <= i; ++j) {
      if (row_swept && status[j] == '1') row[j] = t == 0.0 ? row[j] : divide_by_trace(row[j], t);
      if (!row_swept && status[j] != '1') row[j] = times_t(row[j]);
    }
  }
  for (int r = nest; r < nest1; ++r) {
    double* row = x + zisub(r, 0);
    for (int j = 0; j < nest; ++j)
      if (status[j] != '1') row[j] = times_t(row[j]);
    for (int j = nest; j <= r; ++j) row[j] = times_t(row[j]);
  }
}

// What every inversion does first: the orders' check, the debug print and
// the range test; the absolute trace into t. 0 or kSwpnOutOfRange.
int enter(double* xpx, int nest, int nest1, zswpptr swpi, double* t) {
  if (!swpi || nest1 > swpi->n || nest < 0 || nest > nest1) return kSwpnOutOfRange;
  print_entering_matrix(xpx, nest1, swpi);
  *t = absolute_trace(xpx, nest1);
  if (out_of_range(xpx, static_cast<long>(nest1) * (nest1 + 1) / 2, *t)) {
    swpi->rank = 0;
    return kSwpnOutOfRange;
  }
  return 0;
}

}  // namespace

int zswpn(double* xpx, char* singrows, int nest, int nest1, zswpptr swpi) {
  double t = 0.0;
  if (const int rc = enter(xpx, nest, nest1, swpi, &t)) return rc;
  if (swpi->moorep) return zswpn_pseudo_inverse(xpx, nest, nest1, t, -std::fabs(swpi->sing), swpi);
  if (singrows)
    for (int i = 0; i < nest; ++i)
      if (singrows[i] != '1') swpi->sweepx[i] = '2';
  swpi->rank = sweep_leading_rows(xpx, nest, nest1, t, swpi->sing, swpi->zsweepr, swpi);
  return 0;
}

int minimum_norm_sweep(double* xpx, int nest, int nest1, zswpptr swpi) {
  double t = 0.0;
  if (const int rc = enter(xpx, nest, nest1, swpi, &t)) return rc;
  return zswpn_pseudo_inverse(xpx, nest, nest1, t, swpi->sing, swpi);
}

int sweep_leading_rows(double* xpx, int nest, int nest1, double t, double epsilon,
                       const tchar* options, zswpptr swpi) {
  scale_by_trace(xpx, static_cast<long>(nest1) * (nest1 + 1) / 2, t);
  // The reference diagonal of the ratio test, negligible values as 0. Only
  // a diagonal below the normal range counts as negligible beside the
  // trace: the ratio test judges each row on its own scale, so a parameter
  // of 1e100 beside one of 1 (diagonals 1e200 apart) is still a pivot.
  double* reference = swpi->sweepwrk + 2 * nest1;
  for (int i = 0; i < nest1; ++i) {
    const double d = xpx[zisub(i, i)];
    reference[i] = std::fabs(d) < linalg::kTinyNormal ? 0.0 : d;
  }
  char* status = swpi->sweepx;
  double logdet = 0.0;
  zsweepr(xpx, 0, nest - 1, nest1, status, reference, swpi->sweepwrk, epsilon,
          swpi->detflag ? &logdet : nullptr, options, nullptr, 0);
  int rank = nest;
  for (int i = 0; i < nest; ++i) rank -= status[i] != '1';
  // The determinant of the full-rank part: each swept pivot was divided by t.
  if (swpi->detflag) swpi->det = determinant_from_log(t == 0.0 ? 0.0 : rank * std::log(t) + logdet);
  undo_trace_scaling(xpx, nest, nest1, t, status);
  return rank;
}

double absolute_trace(const double* x, int order) {
  double t = 0.0;
  for (int i = 0; i < order; ++i) t += std::fabs(x[zisub(i, i)]);
  return t;
}

double determinant_from_log(double logdet) {
  return logdet > linalg::kLogHuge ? linalg::kHuge : std::exp(logdet);
}
