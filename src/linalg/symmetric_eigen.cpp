// The symmetric eigen-solver: tridiagonal reduction, eigenvalues by implicit
// QL with bisection as fallback, eigenvectors by inverse iteration,
// back-transformation, and a basis and sign fixed for every vector. The work
// array holds, in doubles: [0, 3n) the tridiagonal form, [3n, 4n) the block
// numbers (n ints), [4n, 9n) the callees' scratch, with [5n, 8n) keeping a
// copy of the tridiagonal form while QL runs.
#include "linalg/symmetric_eigen.h"

#include <algorithm>
#include <cmath>

#include "linalg/eigen_groups.h"
#include "linalg/inverse_iteration.h"
#include "linalg/tridiagonal_eigenvalues.h"
#include "linalg/tridiagonal_reduction.h"

namespace {

bool valid_arguments(int n, double* sym, double* val, int nvec, double* vec, double* work) {
  return n > 0 && nvec >= 0 && nvec <= n && sym && val && (nvec == 0 || vec) && work;
}

// A NaN or infinity would keep bisection and inverse iteration from meeting
// their stopping tests.
bool all_finite(const double* a, long count) {
  return std::all_of(a, a + count, [](double x) { return std::isfinite(x); });
}

// The eigenvalues into val and the block numbers into ind; returns 0 (QL),
// -1 (bisection) or kEigenValuesShort.
int eigenvalues(TridiagonalEigenvalues first_choice, int n, double* work, double* val, int* ind) {
  double* tri = work;
  double* saved = work + 5L * n;
  std::copy(tri, tri + 3L * n, saved);
  if (first_choice(n, tri, val, ind, work + 4L * n) == 0) return 0;
  // The failed run has marked e2: start bisection from the clean form.
  std::copy(saved, saved + 3L * n, tri);
  if (zbisect(n, n, 0.0, tri, val, ind, work + 4L * n) < n) return kEigenValuesShort;
  return -1;
}

}  // namespace

int zeigen2(int n, double* sym, double* val, int nvec, double* vec, double* work) {
  return zeigen2_using(&zimtqlv, n, sym, val, nvec, vec, work);
}

int zeigen2_using(TridiagonalEigenvalues first_choice, int n, double* sym, double* val, int nvec,
                  double* vec, double* work) {
  if (!valid_arguments(n, sym, val, nvec, vec, work)) return kEigenInvalid;
  if (!all_finite(sym, static_cast<long>(n) * (n + 1) / 2)) return kEigenInvalid;
  int* ind = reinterpret_cast<int*>(work + 3L * n);
  ztred3(n, sym, work);
  const int result = eigenvalues(first_choice, n, work, val, ind);
  if (result == kEigenValuesShort || nvec < 1 || !vec) return result;
  const int t = ztinvit(n, nvec, work, val, ind, vec, work + 4L * n);
  ztrbak3(n, nvec, sym, vec);
  if (t == kInverseIterationFailed) return kEigenVectorFailed;
  if (nvec > 1 && zeiggrp(n, nvec, work, val, vec, work + 4L * n) != 0)
    return kEigenDependentVectors;
  zeigref(n, nvec, vec);
  return result + t;
}
