// The last two steps of the symmetric eigen-solver on the back-transformed
// eigenvectors (rows of vec, row r at vec + r·n).
#pragma once

// Rotates the vectors of every run of close eigenvalues (adjacent differences
// below 1.110223024625157e-13 times the sum norm of the tridiagonal form
// trid) to the basis given by the triangular factor of a pivoted Householder
// QR of their rows, which depends only on their span. w holds 4n doubles.
// Returns 0, or 1 as soon as a run's vectors are found linearly dependent
// (that run rewritten, later runs untouched).
int zeiggrp(int n, int nvec, double* trid, double* val, double* vec, double* w);

// Fixes the sign of each of the nvec rows: entries at most n·1.11e-14 in
// magnitude become 0, then the row is negated when the sum of its entries (or,
// with the sum near 0, its first clearly largest entry) is negative.
void zeigref(int n, int nvec, double* vec);
