// All eigenvalues and the eigenvectors of the largest ones of a real
// symmetric matrix in packed storage.
#pragma once

// Return codes of zeigen2 beyond 0 (values by implicit QL, vectors accepted
// by the strict test) and -1 (QL failed, values by bisection). 10, 20 or 30
// below those (-10 .. -31) tell the most relaxed inverse-iteration test any
// vector needed; the codes below are failures.
inline constexpr int kEigenVectorFailed = 96;      // a vector could not be computed
inline constexpr int kEigenDependentVectors = 97;  // a run of close values lost rank
inline constexpr int kEigenValuesShort = 98;       // bisection found too few values
inline constexpr int kEigenInvalid = 99;           // bad arguments or non-finite matrix

// sym: the matrix, n(n+1)/2 doubles, overwritten with the reduction's
// Householder data. val: the n eigenvalues in descending order. vec: nvec
// rows of n doubles, row r the unit eigenvector of val[r] with its sign
// fixed (may be null when nvec is 0). work: 9n doubles of scratch. Matrices
// of any finite scale are accepted: the work is done on the matrix scaled by
// an even power of two, which changes no rounding.
//
// Failures: 99 before anything is written; 98 with no usable values and no
// vectors; 97 with val complete, the failing run's rows rewritten and no sign
// fixed; 96 with val complete and every vector back-transformed, the failed
// ones left 0, and no run rotated or sign fixed.
int zeigen2(int n, double* sym, double* val, int nvec, double* vec, double* work);

// The eigenvalue step zeigen2 tries first (zimtqlv's signature).
using TridiagonalEigenvalues = int (*)(int n, double* tri, double* d, int* ind, double* e);

// zeigen2 with another first eigenvalue step in place of zimtqlv, so that a
// test can make it fail and drive the bisection fallback.
int zeigen2_using(TridiagonalEigenvalues first_choice, int n, double* sym, double* val, int nvec,
                  double* vec, double* work);
