// Hougaard's measure of the skewness of least-squares estimates:
//   g_l = -s^4 S_l / (s^2 C_ll)^(3/2),
//   S_l = sum over observations and i, j, k of
//         C_li C_lj C_lk (J_i H_jk + J_j H_ik + J_k H_ij),
// with C the inverted cross-product matrix, J and H the first and second
// derivatives of the model (scaled by the root of the weight) and s^2 the
// fitted variance.
#pragma once

// Accumulation (final 0), once per used observation of the last data pass:
// adds the observation's terms to `hougaard`[l] = S_l; `jac` holds the np
// first derivatives, `hess` the packed second derivatives, `xpx` the packed
// C; `mse` is not read. Returns 1 when C is too large to use (every sum is
// then set to a sentinel that the final call shows as missing), else 0.
// An observation with a missing or huge second derivative adds nothing.
//
// Final (final 1, `jac` and `hess` null): turns the sums into the
// skewness of each estimate, or the special missing value when it cannot be
// formed or exceeds 10 in magnitude. Returns 0.
int jovhoug(int np, double* jac, double* hess, double* xpx, double* hougaard, double mse, int final);
