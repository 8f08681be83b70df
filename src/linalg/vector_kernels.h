// The double-precision vector kernels behind almost every inner loop of the
// linear algebra, the optimiser and the data pass. Names are `zv`, the
// operation, then one letter per vector operand: `1` unit stride, `j` an
// explicit stride follows the pointer, `s` a row/column walk of a packed
// symmetric matrix (its index follows the pointer), `t`/`l` a column walk of
// a packed lower triangle from its diagonal.
//
// A walk of a packed symmetric matrix S for index j starts at row j, cell
// (j, 0); element k of the walk is S(j, k): along row j while k <= j, then
// down column j, the step from k-1 to k advancing k cells. A column walk of
// a packed lower triangle L for column j starts at the diagonal (j, j) and
// advances j+1, j+2, ... cells.
//
// The kernels check nothing but their counts (a count below 1 does nothing
// or returns 0), never allocate and keep no state. Unit-stride reductions
// keep two interleaved partial sums (even and odd positions).
#pragma once

// Inner products.
double zvdot11(const double* a, const double* b, long n);
double zinner(const double* a, const double* b, int n);
double zvdotj1(const double* a, long ja, const double* b, long n);
double zvdotjj(const double* v1, long j1, const double* v2, long j2, long n);
// Walk of row/column jcol of a packed symmetric matrix (a at row jcol) with b.
double zvdots1(const double* a, long jcol, const double* b, long n);
double zvdotsj(const double* a, long ja, const double* b, long jb, long n);
// Walks of two packed symmetric matrices, rows ja and jb.
double zvdotss(const double* a, long ja, const double* b, long jb, long n);
// Column jc of a packed lower triangle (c at its diagonal) with a[jc..n-1].
// Requires jc < n; at least the one product c[0]*a[jc] is formed.
double zvdott1(const double* c, long jc, const double* a, long n);
// Walk of row ja of a packed symmetric matrix with column jb of a packed
// lower triangle (b at its diagonal), over k = jb .. n-1. Requires jb < n.
double zvdotsl(const double* a, long ja, const double* b, long jb, long n);
// Sum of (a[k]*b[k])*c[k].
double zv3s111(const double* a, const double* b, const double* c, long n);

// Sums and magnitudes.
double zvsum(const double* a, long n);
double zvasumj(const double* a, long j, long n);
double zvamx(const double* vector, long dim);
// 0 when dim < 1.
double zvamxj(const double* vector, long j, long dim);
// The first index of largest magnitude; 0 when dim < 2.
long zvamxi(const double* vector, long dim);
// Euclidean norm with scaling against overflow and underflow.
double zvenorm(long n, long incx, const double* x);

// Updates.
// z = x + alpha*y; z may be x. alpha = 0 copies x into a different z and
// leaves z = x untouched.
void zvaxpy(double* z, const double* x, const double* y, int n, double alpha);
// a += alpha*b; nothing when alpha = 0; b may be a.
void zvxay11(double* a, const double* b, long n, double alpha);
void zvxayjj(double* a, long ja, const double* b, long jb, long n, double alpha);
// c = alpha*a; c may be a.
void zvscl11(double* c, const double* a, long n, double alpha);
// c = a + b.
void zvxy111(double* c, const double* a, const double* b, long n);
// The plane rotation (c, s) on the pairs (x, y): x' = c x + s y, y' = c y - s x.
void zvrotg(double* x, long jx, double* y, long jy, long n, double c, double s);

// Adds weight*data*data' to the packed symmetric nv by nv matrix sscp.
// Returns 0 and changes nothing when a data value or the weight is missing
// or the weight is 0; otherwise returns 1 (also for nv < 1).
int zscp(const double* data, int nv, double weight, double* sscp);
