// An orthonormal basis grown one vector at a time by Gram-Schmidt (each
// vector orthogonalised twice, which keeps the basis orthogonal to working
// precision): the rank of a few short vectors, and whether a vector lies in
// their span.
#pragma once

#include <vector>

namespace linalg {

class OrthonormalSpan {
 public:
  explicit OrthonormalSpan(int length) : length_(length > 0 ? length : 0) {}

  // The length of v's part outside the span.
  double outside(const double* v) const;
  // Takes v's part outside the span into the basis when its length exceeds
  // `floor`; true when it did.
  bool add(const double* v, double floor);
  // The number of vectors in the basis.
  int size() const { return length_ > 0 ? static_cast<int>(basis_.size()) / length_ : 0; }

 private:
  std::vector<double> residual(const double* v) const;  // v less its part in the span

  int length_;
  std::vector<double> basis_;  // size() rows of length_
};

}  // namespace linalg
