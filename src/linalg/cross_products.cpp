// Weighted cross-product accumulation into a packed symmetric matrix: the
// data pass builds the bordered cross-product matrix with it and the
// quasi-Newton update applies rank-one corrections with it.
#include "host/missing.h"
#include "linalg/vector_kernels.h"

int zscp(const double* data, int nv, double weight, double* sscp) {
  if (wzmisn(data, nv) || wzmis(weight) || weight == 0.0) return 0;
  double* row = sscp;
  for (int i = 0; i < nv; row += i + 1, ++i) {
    // A zero value leaves its whole row untouched.
    if (data[i] != 0.0) zvaxpy(row, row, data, i + 1, data[i] * weight);
  }
  return 1;
}
