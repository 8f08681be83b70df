#include "procedure/offset_measures.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "host/missing.h"
#include "linalg/constants.h"
#include "linalg/dense_products.h"
#include "linalg/givens_update.h"
#include "linalg/packed.h"
#include "linalg/svd.h"
#include "linalg/sweep.h"
#include "linalg/vector_kernels.h"

namespace {

// Below this share of the largest singular value a direction is an exact
// dependence, its value rounding.
constexpr double kRankRounding = 1e-12;
// A gradient component along a unit direction within this share of the
// objective's root is rounding: nothing to measure.
constexpr double kGradientRounding = 1e-13;

// The rounding of a sum over `nobs` observations, relative to its terms'
// scale, as a random walk of 16 units a term: the shares above grow with
// it for very many observations.
double sum_rounding(long nobs) { return 16 * linalg::kRoundoff * std::sqrt(static_cast<double>(std::max(nobs, 1L))); }

// Z S g: the scaled gradient along each free direction.
std::vector<double> free_gradient(const std::vector<double>& scale, const std::vector<double>& z, int n, int m,
                                  const double* grad) {
  std::vector<double> t(static_cast<std::size_t>(m), 0.0);
  for (int a = 0; a < m; ++a)
    for (int j = 0; j < n; ++j) t[a] += z[static_cast<long>(a) * n + j] * scale[j] * grad[j];
  return t;
}

// B = R S Z' (n by m, row-major): the factor of the derivatives along the
// free directions, in the scaled parameters.
std::vector<double> free_factor(const std::vector<double>& r, const std::vector<double>& scale,
                                const std::vector<double>& z, int n, int m) {
  std::vector<double> b(static_cast<std::size_t>(n) * m, 0.0);
  for (int i = 0; i < n; ++i)
    for (int a = 0; a < m; ++a) {
      double sum = 0;
      for (int j = i; j < n; ++j) sum += r[static_cast<long>(i) * n + j] * scale[j] * z[static_cast<long>(a) * n + j];
      b[static_cast<long>(i) * m + a] = sum;
    }
  return b;
}

// Appends the scaled direction sum_a c_a z_a to `moved`.
void add_direction(const std::vector<double>& z, int n, int m, const double* c, int stride,
                   std::vector<double>* moved) {
  const std::size_t at = moved->size();
  moved->resize(at + static_cast<std::size_t>(n), 0.0);
  for (int a = 0; a < m; ++a)
    for (int j = 0; j < n; ++j) (*moved)[at + j] += c[static_cast<long>(a) * stride] * z[static_cast<long>(a) * n + j];
}

}  // namespace

FreeShare share_from_products(const double* jwj, const std::vector<double>& scale, const std::vector<double>& z,
                              int n, int m, const double* grad, double pr, double sing, long nobs) {
  FreeShare out;
  // [Z H Z'  Z g; g'Z'  F] packed, of order m + 1, in the scaled parameters.
  std::vector<double> h(jwj, jwj + static_cast<long>(n) * (n + 1) / 2), work(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) h[zisub(i, j)] *= scale[i] * scale[j];
  const std::vector<double> t = free_gradient(scale, z, n, m, grad);
  std::vector<double> x(static_cast<std::size_t>(m + 1) * (m + 2) / 2, 0.0);
  zqform(h.data(), n, z.data(), m, x.data(), work.data(), 0);
  for (int a = 0; a < m; ++a) x[zisub(m, a)] = t[a];
  x[zisub(m, m)] = pr;
  std::string status(static_cast<std::size_t>(m + 1), '0');
  std::vector<double> diag(m + 1, 1.0), swork(m + 1);
  zsweepr(x.data(), 0, m - 1, m + 1, status.data(), diag.data(), swork.data(), sing, nullptr, "  ", nullptr, 1);
  // The swept border row holds (Z H Z')^-1 Z g on the swept rows, and on
  // the others the gradient the swept ones leave.
  const double noise = std::max(kGradientRounding, sum_rounding(nobs)) * std::sqrt(pr);
  std::vector<double> unit(static_cast<std::size_t>(m), 0.0);
  for (int a = 0; a < m; ++a) {
    const double border = x[zisub(m, a)];
    if (status[a] == '1') {
      out.share += t[a] * border;
      continue;
    }
    if (!(std::fabs(border) > noise)) continue;
    unit.assign(static_cast<std::size_t>(m), 0.0);
    unit[a] = 1;
    add_direction(z, n, m, unit.data(), 1, &out.moved);
  }
  out.share = std::fabs(out.share);
  return out;
}

RowFactor::RowFactor(int n) : n_(n), rows_(static_cast<std::size_t>(n) * n, 0.0), weights_(n, 1.0), row_(n) {}

void RowFactor::add(const double* row, double weight) {
  std::copy(row, row + n_, row_.begin());
  double w = weight;
  for (int k = 0; k < n_; ++k)
    zgg(k, n_, &weights_[k], &w, rows_.data() + static_cast<long>(k) * n_, row_.data(), 0.0, 0, 0, nullptr,
        nullptr);
}

std::vector<double> RowFactor::triangle() const {
  std::vector<double> r(rows_);
  for (int k = 0; k < n_; ++k) {
    double* row = r.data() + static_cast<long>(k) * n_;
    zvscl11(row, row, n_, std::sqrt(weights_[k]));
  }
  return r;
}

FreeShare share_from_rows(const std::vector<double>& r, const std::vector<double>& scale, const std::vector<double>& z,
                          int n, int m, const double* grad, double pr, double sing, double criterion, long nobs) {
  FreeShare out;
  std::vector<double> b = free_factor(r, scale, z, n, m), v(static_cast<std::size_t>(m) * m), q(m), e(m);
  if (zsvd(n, m, b.data(), v.data(), q.data(), e.data()) == kSvdNotFinite) {
    out.share = missing_value();
    return out;
  }
  const std::vector<double> t = free_gradient(scale, z, n, m, grad);
  const double rounding = sum_rounding(nobs);
  const double noise = std::max(kGradientRounding, rounding) * std::sqrt(pr);
  for (int i = 0; i < m; ++i) {
    double vt = 0;
    for (int a = 0; a < m; ++a) vt += v[static_cast<long>(a) * m + i] * t[a];
    if (!(q[i] > std::max(kRankRounding, rounding) * q[0]) || !(std::fabs(vt) > noise)) continue;
    const double part = (vt / q[i]) * (vt / q[i]);
    out.share += part;
    if (q[i] * q[i] <= sing * q[0] * q[0] && !(std::sqrt(part / pr) < criterion))
      add_direction(z, n, m, v.data() + i, m, &out.moved);
  }
  return out;
}
