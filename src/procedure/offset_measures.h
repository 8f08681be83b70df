// The share of the objective that the linearised step along the free
// directions removes, g'Z'(Z H Z')^+ Z g / F, in the scaled parameters (each
// column of derivatives of unit length): the square of the relative offset
// at a point. H = J'WJ, g the gradient, F the objective; Z holds m
// orthonormal rows of n entries spanning the free directions.
//
// From the sums of products H, directions whose pivot SINGULAR= drops are
// not resolved: rounding of the sums may hide what they hold. A factor of
// the rows of J themselves keeps each column to the rounding of its own
// length and resolves them (two columns that differ by a ten-millionth of
// their length, as Vm and K of Vm*conc/(K+conc) where K is far above conc,
// differ in H by rounding only).
#pragma once

#include <vector>

#include "procedure/data_pass.h"

struct FreeShare {
  double share = 0;              // missing when it cannot be formed
  std::vector<double> moved;     // per direction left out, the scaled parameters it moves (n each)
};

// From the packed J'WJ (order n). `moved` lists the directions the sweep
// could not resolve whose gradient is more than rounding: only a factor of
// the rows can measure them. `nobs` observations made the sums, whose
// rounding grows with their number.
FreeShare share_from_products(const double* jwj, const std::vector<double>& scale, const std::vector<double>& z,
                              int n, int m, const double* grad, double pr, double sing, long nobs);

// The rows sqrt(w) d of a pass, folded one at a time into an upper triangle
// R with R'R = J'WJ by square-root-free Givens rotations.
class RowFactor final : public PassRows {
 public:
  explicit RowFactor(int n);
  void add(const double* row, double weight) override;
  // R, n by n, row-major.
  std::vector<double> triangle() const;

 private:
  int n_;
  std::vector<double> rows_, weights_, row_;
};

// From the triangle R of a RowFactor. Directions whose singular value is
// rounding beside the largest (an exact dependence), or whose gradient is
// rounding beside the objective's root, add nothing: there is nothing to
// measure along them. `moved` lists the directions SINGULAR= would drop
// whose share alone reaches `criterion` (as a relative offset).
FreeShare share_from_rows(const std::vector<double>& r, const std::vector<double>& scale, const std::vector<double>& z,
                          int n, int m, const double* grad, double pr, double sing, double criterion,
                          long nobs);
