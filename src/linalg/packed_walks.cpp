// Inner products along the row/column walks of packed symmetric matrices and
// the column walks of packed lower triangles. Once a walk has turned down
// its column, the step from the element for index k-1 to the one for k
// advances k cells.
#include <algorithm>

#include "linalg/vector_kernels.h"

double zvdots1(const double* a, long jcol, const double* b, long n) {
  if (n < 1) return 0.0;
  const long along = std::min(n, jcol + 1);
  double sum = zvdot11(a, b, along);
  const double* p = a + jcol;  // the diagonal cell (jcol, jcol)
  for (long k = jcol + 1; k < n; ++k) {
    p += k;
    sum += *p * b[k];
  }
  return sum;
}

double zvdotsj(const double* a, long ja, const double* b, long jb, long n) {
  if (n < 1) return 0.0;
  const long along = std::min(n, ja + 1);
  double sum = 0.0;
  for (long k = 0; k < along; ++k) sum += a[k] * b[k * jb];
  const double* p = a + ja;
  for (long k = ja + 1; k < n; ++k) {
    p += k;
    sum += *p * b[k * jb];
  }
  return sum;
}

// Both walks run along their rows up to the smaller index; then the walk of
// the smaller index turns down its column; beyond the larger index both do.
double zvdotss(const double* a, long ja, const double* b, long jb, long n) {
  if (n < 1) return 0.0;
  const long low = std::min(ja, jb);
  double sum = zvdot11(a, b, std::min(n, low + 1));
  const double* p = a + low;
  const double* q = b + low;
  for (long k = low + 1; k < n; ++k) {
    p += k <= ja ? 1 : k;
    q += k <= jb ? 1 : k;
    sum += *p * *q;
  }
  return sum;
}

double zvdott1(const double* c, long jc, const double* a, long n) {
  double sum = c[0] * a[jc];
  const double* p = c;
  for (long k = jc + 1; k < n; ++k) {
    p += k;
    sum += *p * a[k];
  }
  return sum;
}

// The symmetric walk first moves from the start of row ja to S(ja, jb), then
// pairs with the lower triangle's column jb from its diagonal.
double zvdotsl(const double* a, long ja, const double* b, long jb, long n) {
  const double* p = a + std::min(ja, jb);
  for (long k = ja + 1; k <= jb; ++k) p += k;
  double sum = *p * b[0];
  const double* q = b;
  for (long k = jb + 1; k < n; ++k) {
    p += k <= ja ? 1 : k;
    q += k;
    sum += *p * *q;
  }
  return sum;
}
