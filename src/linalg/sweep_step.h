// One sweep step on one pivot, in the two halves that the single-threaded
// host step and the threaded block sweep share, so that both produce the
// same bits: the O(n) preparation of the pivot's row and column, and the
// O(n*n) rank-one update of the other rows.
#pragma once

// Prepares the step on pivot k of the packed symmetric matrix x of order n:
// refuses (returns false, nothing changed) when d = x(k,k) is at or below
// tol (tol >= 0) or |d| is at or below -tol (tol < 0). Otherwise sets
// x(k,k) = 1/d, toggles df[k] between '0' and '1', rewrites the pivot's row
// and column and fills the update vectors a (the pivot's row and column
// divided by d) and b (before the division), signs by status, b[k] = 0.
bool sweep_prepare(double* x, long k, long n, char* df, double tol, double* a, double* b);

// sweep_prepare in the pieces that the threaded sweep spreads over its
// threads, each thread on the rows it owns, so that no thread walks the
// pivot's column through the other threads' caches.
//
// The pivot itself: the tolerance test, x(k,k) = 1/d and the status toggle.
// On success *d is the old pivot and *unsweep tells whether the step
// un-sweeps it.
bool sweep_begin(double* x, long k, char* df, double tol, double* d, bool* unsweep);
// The pivot's row (columns 0..k-1) into a and b, and rewritten in x.
void sweep_prepare_row(double* x, long k, const char* df, double d, bool unsweep, double* a,
                       double* b);
// The pivot's column in rows from..to-1 (all above k) into a and b, and
// rewritten in x.
void sweep_prepare_column(double* x, long k, const char* df, double d, bool unsweep, double* a,
                          double* b, long from, long to);

// The rank-one update of rows start..end-1 other than k:
// x(i,j) -= a[i]*b[j] for j <= i, j != k (the pivot's column keeps its
// prepared value exactly).
void sweep_update_rows(double* x, long k, const double* a, const double* b, long start, long end);
