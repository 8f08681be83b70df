// Cross-product accumulation into a packed symmetric matrix and the inverse
// of the packed index.
#include <cmath>

#include "linalg/packed.h"
#include "linalg/packed_matrix.h"
#include "linalg/vector_kernels.h"

namespace {

// Row i gains factor(i)·data[0 .. i]; rows whose data value is 0 are skipped.
template <class Factor>
void add_outer_product(double* data, int nv, double* sscp, Factor factor) {
  for (int i = 0; i < nv; ++i) {
    if (data[i] == 0.0) continue;
    double* row = sscp + zisub(i, 0);
    zvaxpy(row, row, data, i + 1, factor(data[i]));
  }
}

}  // namespace

int zmxscp(double* data, int nv, double weight, double* sscp) {
  if (weight == 0.0) return 0;
  add_outer_product(data, nv, sscp, [weight](double x) { return x * weight; });
  return 1;
}

int zmxsc1(double* data, int nv, double* sscp) {
  add_outer_product(data, nv, sscp, [](double x) { return x; });
  return 1;
}

// The row M is the largest with M(M+1)/2 <= ij; the square root gives it to
// within one, which the integer checks settle.
void zmxun(int ij, int* toI, int* toJ) {
  if (ij < 1) {
    *toI = *toJ = 0;
    return;
  }
  long row = static_cast<long>((std::sqrt(8.0 * ij + 1.0) - 1.0) / 2.0);
  while (row * (row + 1) / 2 > ij) --row;
  while ((row + 1) * (row + 2) / 2 <= ij) ++row;
  *toJ = static_cast<int>(row);
  *toI = static_cast<int>(ij - row * (row + 1) / 2);
}
