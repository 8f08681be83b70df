// Vector 11: the sweep step. It runs the same preparation and rank-one
// kernel as the module's threaded block sweep, so that a matrix swept here
// and one swept on several threads agree bit for bit.
#include <vector>

#include "linalg/sweep_step.h"
#include "platform/services/service_impls.h"

namespace platform::svc {

void zsweep(double* x, long k, long n, char* df, double* work, double tol) {
  if (!x || !df || !work || k < 0 || k >= n) return;
  // The caller's work holds the pre-division vector b; the multipliers a
  // live in a buffer of the calling thread that only ever grows.
  thread_local std::vector<double> multipliers;
  if (multipliers.size() < static_cast<std::size_t>(n)) multipliers.resize(n);
  if (!sweep_prepare(x, k, n, df, tol, multipliers.data(), work)) return;
  sweep_update_rows(x, k, multipliers.data(), work, 0, n);
}

}  // namespace platform::svc
