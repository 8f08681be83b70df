// Eigenvectors of the symmetric tridiagonal form by inverse iteration.
#pragma once

// Return codes of ztinvit beyond 0 (every vector passed the strict test):
// the most relaxed acceptance test any vector needed, and failure.
inline constexpr int kInverseIterationRelaxed1 = -10;
inline constexpr int kInverseIterationRelaxed2 = -20;
inline constexpr int kInverseIterationRelaxed3 = -30;
// Some iterate stayed zero or stopped being finite: its row of z is left 0.
inline constexpr int kInverseIterationFailed = -40;

// Unit eigenvectors of the tridiagonal form tri, as marked by zimtqlv or
// zbisect, for val[0 .. nvec-1] with block numbers ind; row r of z (at
// z + r·n) is the vector of val[r], 0 outside val[r]'s block. Vectors of
// values of one block closer than a thousandth of its norm are made
// orthogonal to each other. work holds 5n doubles. Returns 0 or the most
// negative of the codes above; with n = 1, ind[0] is set to 1 first.
int ztinvit(int n, int nvec, double* tri, double* val, int* ind, double* z, double* work);
