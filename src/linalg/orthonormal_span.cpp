#include "linalg/orthonormal_span.h"

#include "linalg/vector_kernels.h"

namespace linalg {

std::vector<double> OrthonormalSpan::residual(const double* v) const {
  std::vector<double> r(v, v + length_);
  for (int pass = 0; pass < 2; ++pass)
    for (std::size_t at = 0; at < basis_.size(); at += static_cast<std::size_t>(length_)) {
      const double* q = basis_.data() + at;
      zvxay11(r.data(), q, length_, -zvdot11(q, r.data(), length_));
    }
  return r;
}

double OrthonormalSpan::outside(const double* v) const {
  const std::vector<double> r = residual(v);
  return zvenorm(length_, 1, r.data());
}

bool OrthonormalSpan::add(const double* v, double floor) {
  const std::vector<double> r = residual(v);
  const double left = zvenorm(length_, 1, r.data());
  if (!(left > floor) || !(left > 0)) return false;
  for (double x : r) basis_.push_back(x / left);
  return true;
}

}  // namespace linalg
