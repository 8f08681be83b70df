// The singular value decomposition of a dense row-major matrix: the three
// phases chained, after a check that every entry is finite (a NaN would keep
// the QR iteration from ever meeting its tests) and a scaling of the matrix
// by an even power of two that brings its largest entry near 1. The shift of
// the QR iteration squares differences of singular values, which overflows
// above about 1e154 and underflows below about 1e-154; an even power of two
// changes no rounding anywhere else, so the singular values are those of the
// scaled matrix scaled back exactly and the vectors are unchanged.
#include "linalg/svd.h"

#include <cmath>

#include "linalg/power_of_two_scaling.h"

int zsvd(int m, int n, double* u, double* v, double* q, double* e) {
  const long count = m > 0 && n > 0 ? static_cast<long>(m) * n : 0;
  const double big = linalg::largest_entry(u, count);
  if (big < 0.0) return kSvdNotFinite;
  const int k = linalg::balancing_exponent(big);
  if (k != 0) linalg::scale_by_power_of_two(u, count, k);
  const int wu = v != u;
  const double anorm = zsvd1(wu, m, n, 0, n, 0, n, u, nullptr, v, q, e);
  const int rc = zsvd2(wu, m, n, 0, n, 0, n, u, nullptr, v, q, e, anorm);
  if (k != 0) linalg::scale_by_power_of_two(q, n, -k);
  if (rc == 0) zsvdsor(wu, m, n, n, n, u, v, q);
  return rc;
}
