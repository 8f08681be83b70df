// The sweep operator: the pivoting driver that sweeps a range of pivots of a
// packed symmetric matrix in order of decreasing (relative) pivot size until
// the rest fall below a tolerance. Single steps go to the host's `zsweep`
// (host/services.h) or, for large matrices, to the threaded step.
//
// Statuses (df, one character per pivot): '0' not swept and eligible, '1'
// swept, anything else ('2') never chosen. After sweeping the pivots S of A
// the matrix holds A_SS^-1 on S, the Schur complement on the others, and
// A_SS^-1 A_SN between them (negated where the swept index is the larger).
#pragma once

#include "host/types.h"
#include "linalg/sweep_threads.h"

// Sweeps pivots chosen from k0..kn of the order-n packed matrix x; returns
// how many it swept.
//   diag     reference diagonal: pivots are ranked by x(i,i)/|diag[i]|; may be null
//   work     at least n doubles of scratch for the single step
//   epsilon  a pivot must score above |epsilon|; negative: negative pivots
//            qualify by magnitude
//   logdet   receives the sum of the logarithms of the pivots swept; may be null
//   options  letters: '0' reset every status to '0' first, 'd' copy the
//            diagonal into diag first ('f': store a tiny copy as 0), 'z' zero
//            the rows and columns of the pivots left '0'
//   control  a threaded-sweep control prepared by the caller, or null
//   numThreads used only without a control, for n > 250: negative asks the
//            host for its processor count, 0 or 1 is single-threaded
int zsweepr(double* x, int k0, int kn, int n, char* df, double* diag, double* work,
            double epsilon, double* logdet, const tchar* options, SweepControlPtr control,
            int numThreads);

// Sweeps, of the leading n rows of the order-`order` packed matrix x, those
// `rows` lists whose status is '0', as zsweepr chooses them with negative
// pivots qualifying by magnitude (beside |epsilon| of diag); the other
// statuses come back as they were. For rows a positive-pivot sweep left
// out that are to be inverted as they stand. Returns how many it swept.
int zsweep_listed_rows(double* x, int n, int order, char* df, const int* rows, int count, double* diag,
                       double epsilon);

// Sweeps at most `limit` pivots of the order-n packed matrix x on this
// thread, chosen as zsweepr chooses them (largest x(i,i)/|diag[i]| first,
// near-ties to the lower index, by magnitude so that an indefinite matrix
// counts its negative pivots) among rows whose status is '0' and whose
// reference diagonal is not 0, down to pivots of the smallest normal
// magnitude. Returns how many it swept: the first `limit` rows of a greedy
// basis of the matrix's rows.
int zsweep_leading(double* x, int n, char* df, const double* diag, double* work, int limit);
