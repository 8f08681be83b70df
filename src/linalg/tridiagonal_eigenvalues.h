// Eigenvalues of the symmetric tridiagonal form (tridiagonal_reduction.h) by
// the implicit QL method or, as its fallback, by bisection with Sturm counts.
//
// Both deliver what inverse iteration needs: the values, for each value the
// number of the diagonal block (1, 2, ... from the top) it belongs to, zeros
// in e2 at every row >= 1 that starts a block, and the order flag e2[0]
// (2.0 descending, 0.0 ascending).
#pragma once

// The shared state of bisection. Rows are counted from 1: row i is d[i-1],
// e[i-1], e2[i-1] of the arrays pointed to.
struct BISECT {
  int p;        // first row of the current row range
  int q;        // last row of the current row range
  int ncom;     // set by cut when an interval cannot be split further
  double* d;    // diagonal
  double* e;    // sub-diagonal, e(i) couples rows i-1 and i
  double* e2;   // squares of e, 0 where the matrix splits
};

// Implicit QL. d (n doubles) receives the values in descending order (a value
// equal to one found earlier goes after it), ind their block numbers; e is n
// doubles of scratch. tri's d and e are left as they are, its e2 is marked.
// Returns 0, or -(l+1) when the value at position l did not converge within
// 50 sweeps or the iteration stopped making progress; d[0 .. l-1] then hold
// the values found so far.
int zimtqlv(int n, double* tri, double* d, int* ind, double* e);

// Bisection by index: nval > 0 asks for the nval largest values in descending
// order, nval <= 0 for the |nval| smallest in ascending order (a cluster that
// cannot be separated at the edge of the range is taken whole). eps > 0 is an
// absolute tolerance, eps <= 0 a relative one per block. work holds 2n
// doubles. Returns the number of values stored in val and ii, which is short
// of the range's count only when some value could not be located (for
// example a NaN on the diagonal).
int zbisect(int n, int nval, double eps, double* trid, double* val, int* ii, double* work);

// Gerschgorin bounds of rows p .. q.
void gersch(BISECT* bis, double* xu, double* x0, int n);

// A point of (t1, t2) with exactly j values of rows p .. q below it; when the
// interval can no longer be split it records the count there in ncom and
// returns its midpoint. j = -1 returns t1.
double cut(BISECT* bis, int j, double t1, double t2);

// p-1 plus the number of values of rows p .. q below x1.
int sturm(BISECT* bis, double x1);
