// Hougaard skewness. The triple sum of an observation factors: by the
// symmetry of C and H each of the three terms equals
//   sum_ijk C_li C_lj C_lk J_i H_jk = (c_l'J) (c_l' H c_l),
// c_l being row l of C, so the observation adds 3 (c_l'J)(c_l'H c_l) to S_l:
// p^3 multiply-adds in place of p^4.
#include "results/hougaard.h"

#include <cmath>

#include "host/missing.h"
#include "linalg/packed.h"
#include "linalg/vector_kernels.h"

namespace {

constexpr double kLargestC = 5.643803094122288e102;    // cube root of the largest double
constexpr double kLargestH = 1.3407807929942597e152;
constexpr double kHuge = 1.3407807929943e154;          // sqrt of the largest double
constexpr double kSmallestVariance = 1.491668147e-154;
constexpr double kLargestSkewness = 10.0;

// c_l' v over the packed symmetric C of order n.
double row_dot(const double* c, int l, const double* v, int n) {
  double sum = 0;
  for (int j = 0; j < n; ++j) sum += c[zisub(l, j)] * v[j];
  return sum;
}

// c_l' H c_l over the packed H.
double row_form(const double* c, int l, const double* h, int n) {
  double sum = 0;
  for (int j = 0; j < n; ++j) {
    const double cj = c[zisub(l, j)];
    if (cj == 0) continue;
    const double* hj = h + zisub(j, 0);
    double inner = 0;
    for (int k = 0; k < j; ++k) inner += hj[k] * c[zisub(l, k)];
    sum += cj * (2 * inner + hj[j] * cj);
  }
  return sum;
}

int accumulate(int np, const double* jac, const double* hess, const double* xpx, double* sums) {
  const long m = static_cast<long>(np) * (np + 1) / 2;
  if (zvamx(xpx, m) > kLargestC) {
    for (int l = 0; l < np; ++l) sums[l] = kLargestC;
    return 1;
  }
  if (np <= 0 || wzmisn(hess, m) || zvamx(hess, m) >= kLargestH) return 0;
  for (int l = 0; l < np; ++l) sums[l] += 3 * row_dot(xpx, l, jac, np) * row_form(xpx, l, hess, np);
  return 0;
}

void standardise(int np, const double* xpx, double* sums, double mse) {
  for (int l = 0; l < np; ++l) {
    const double v = xpx[zisub(l, l)] * mse;
    if (v >= kLargestC || mse >= kHuge || v <= kSmallestVariance || std::fabs(sums[l]) >= kLargestC) {
      sums[l] = special_missing_value();
      continue;
    }
    const double g = -(mse * mse * sums[l]) / std::sqrt(v * v * v) + 0.0;  // no negative zero
    sums[l] = std::fabs(g) <= kLargestSkewness ? g : special_missing_value();
  }
}

}  // namespace

int jovhoug(int np, double* jac, double* hess, double* xpx, double* hougaard, double mse, int final) {
  if (final) {
    standardise(np, xpx, hougaard, mse);
    return 0;
  }
  return accumulate(np, jac, hess, xpx, hougaard);
}
