// The singular value decomposition of a dense row-major matrix: the three
// phases chained, after a check that every entry is finite (a NaN would keep
// the QR iteration from ever meeting its tests).
#include "linalg/svd.h"

#include <cmath>

namespace {

bool all_finite(const double* a, long count) {
  for (long k = 0; k < count; ++k)
    if (!std::isfinite(a[k])) return false;
  return true;
}

}  // namespace

int zsvd(int m, int n, double* u, double* v, double* q, double* e) {
  if (m > 0 && n > 0 && !all_finite(u, static_cast<long>(m) * n)) return kSvdNotFinite;
  const int wu = v != u;
  const double anorm = zsvd1(wu, m, n, 0, n, 0, n, u, nullptr, v, q, e);
  if (!std::isfinite(anorm)) return kSvdNotFinite;
  const int rc = zsvd2(wu, m, n, 0, n, 0, n, u, nullptr, v, q, e, anorm);
  if (rc == 0) zsvdsor(wu, m, n, n, n, u, v, q);
  return rc;
}
