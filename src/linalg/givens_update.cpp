// Gentleman's square-root-free Givens rotation. The weights carry the squares
// of the row scales, so a rotation needs no square root; weights that drift
// towards underflow are rescaled by 2^24 with the row scaled by 2^-12, which
// leaves d·b² unchanged.
#include "linalg/givens_update.h"

#include <cmath>
#include <utility>

namespace {

constexpr double kTinyWeight = 0x1p-24;
constexpr double kWeightScale = 0x1p24;
constexpr double kRowScale = 0x1p-12;

struct Rows {
  int k, n, p, inf;
  double *b1, *b2, *f1, *f2;
};

void exchange_rows(const Rows& r) {
  for (int j = r.k + 1; j < r.n; ++j) std::swap(r.b1[j], r.b2[j]);
  for (int i = 0; i < r.p; ++i) std::swap(r.f1[static_cast<long>(i) * r.inf], r.f2[i]);
}

// Row 2 dominates: row 1 becomes c·row 1 + row 2, row 2 becomes
// ratio·row 2 - row 1, both from the old rows.
void rotate_row2_dominant(const Rows& r, double c, double ratio) {
  for (int j = r.k + 1; j < r.n; ++j) {
    const double x = r.b1[j], y = r.b2[j];
    r.b1[j] = y + c * x;
    r.b2[j] = ratio * y - x;
  }
  for (int i = 0; i < r.p; ++i) {
    double& x = r.f1[static_cast<long>(i) * r.inf];
    const double old = x, y = r.f2[i];
    x = c * old + y;
    r.f2[i] = ratio * y - old;
  }
}

// Row 1 dominates: row 1 gains c·row 2, row 2 loses ratio·(old row 1).
void rotate_row1_dominant(const Rows& r, double c, double ratio) {
  for (int j = r.k + 1; j < r.n; ++j) {
    const double x = r.b1[j], y = r.b2[j];
    r.b1[j] = x + c * y;
    r.b2[j] = y - ratio * x;
  }
  for (int i = 0; i < r.p; ++i) {
    double& x = r.f1[static_cast<long>(i) * r.inf];
    const double old = x;
    x = old + c * r.f2[i];
    r.f2[i] = r.f2[i] - ratio * old;
  }
}

void rescale(double& d, double* b, int from, int to, double* f, long stride, int p) {
  if (d >= kTinyWeight) return;
  d *= kWeightScale;
  for (int j = from; j < to; ++j) b[j] *= kRowScale;
  for (int i = 0; i < p; ++i) f[i * stride] *= kRowScale;
}

}  // namespace

void zgg(int k, int n, double* pd1, double* pd2, double* b1, double* b2, double size, int p,
         int inf, double* f1, double* f2) {
  const double eps = size * 1.110223024625157e-16;
  const double x1 = b1[k], x2 = b2[k], d1 = *pd1, d2 = *pd2;
  const Rows rows{k, n, p, inf, b1, b2, f1, f2};
  b2[k] = 0.0;
  const double scaled2 = std::fabs(x2) * std::sqrt(d2);
  if (scaled2 <= eps) return;
  const double scaled1 = std::fabs(x1) * std::sqrt(d1);
  if (scaled1 <= eps) {
    *pd1 = d2;
    *pd2 = d1;
    b1[k] = x2;
    exchange_rows(rows);
    return;
  }
  double new1, new2;
  if (scaled1 <= scaled2) {
    const double c = (d1 * x1) / (d2 * x2), ratio = x1 / x2, t = c * ratio + 1.0;
    b1[k] = x2 * t;
    rotate_row2_dominant(rows, c, ratio);
    new1 = d2 / t;
    new2 = d1 / t;
  } else {
    const double c = (d2 * x2) / (d1 * x1), ratio = x2 / x1, t = ratio * c + 1.0;
    b1[k] = x1 * t;
    rotate_row1_dominant(rows, c, ratio);
    new1 = d1 / t;
    new2 = d2 / t;
  }
  rescale(new1, b1, k, n, f1, inf, p);
  rescale(new2, b2, k + 1, n, f2, 1, p);
  *pd1 = new1;
  *pd2 = new2;
}
