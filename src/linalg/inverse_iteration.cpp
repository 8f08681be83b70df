// Inverse iteration on one diagonal block of the tridiagonal form at a time:
// the block shifted by the eigenvalue is factored once with row interchanges,
// then the iterate is solved against it until it grows. A vector that grows
// slowly is still accepted under successively relaxed tests and the weakest
// test used is reported; an iterate that stays zero or becomes non-finite is
// given up after a bounded number of solves.
#include "linalg/inverse_iteration.h"

#include <algorithm>
#include <cmath>

#include "linalg/vector_kernels.h"

namespace {

constexpr double kEps = 1.110223024625157e-16;
constexpr double kBig = 1.3407807929943e+154;

struct Tri {
  double *d, *e;
};

// The LU factors of one shifted block (rows p .. q-1) and the iterate.
struct Factor {
  double *rv1, *rv2, *rv3;  // diagonal and two superdiagonals of U
  double* rv4;              // multipliers
  double* rv6;              // the iterate
};

// One block and the run of close values being processed in it.
struct Block {
  int p, q;
  double eps2, eps3, eps4, uk;
  int s = 0;       // restart position for a zero iterate
  int group = 0;   // earlier close values in the current run
  double x0 = 0.0;  // the previous shift
};

Block make_block(const Tri& t, int p, int q) {
  double norm = std::fabs(t.d[p]);
  for (int i = p + 1; i < q; ++i) norm += std::fabs(t.d[i]) + std::fabs(t.e[i]);
  Block b{p, q, 0.001 * norm, kEps * norm, 0.0, 0.0};
  b.eps4 = b.eps3 * (q - p);
  b.uk = b.eps4 / std::sqrt(static_cast<double>(q - p));
  b.s = p;
  return b;
}

// Factors T - x1·I over the block with row interchanges and sets the
// right-hand side to uk.
void factorise(const Tri& t, const Block& b, double x1, const Factor& f) {
  const int p = b.p, q = b.q;
  f.rv6[p] = b.uk;
  double u = t.d[p] - x1, v = t.e[p + 1];
  for (int i = p + 1; i < q; ++i) {
    f.rv6[i] = b.uk;
    const double next = i < q - 1 ? t.e[i + 1] : 0.0;
    if (std::fabs(u) <= std::fabs(t.e[i])) {  // interchange rows i-1 and i
      const double xu = u / t.e[i];
      f.rv4[i] = xu;
      f.rv1[i - 1] = t.e[i];
      f.rv2[i - 1] = t.d[i] - x1;
      f.rv3[i - 1] = next;
      u = v - xu * f.rv2[i - 1];
      v = -xu * f.rv3[i - 1];
    } else {
      const double xu = t.e[i] / u;
      f.rv4[i] = xu;
      f.rv1[i - 1] = u;
      f.rv2[i - 1] = v;
      f.rv3[i - 1] = 0.0;
      u = (t.d[i] - x1) - xu * v;
      if (i < q - 1) v = next;
    }
  }
  f.rv1[q - 1] = u == 0.0 ? b.eps3 : u;
  f.rv2[q - 1] = f.rv3[q - 1] = 0.0;
}

// Solves U y = rv6 in place. The last two rows of U have no entries beyond
// the first superdiagonal, so the recurrence starts from zeros.
void back_substitute(const Block& b, const Factor& f) {
  double u = 0.0, v = 0.0;
  for (int i = b.q - 1; i >= b.p; --i) {
    f.rv6[i] = (f.rv6[i] - u * f.rv2[i] - v * f.rv3[i]) / f.rv1[i];
    v = u;
    u = f.rv6[i];
  }
}

// Applies the row interchanges and multipliers of the factorisation to rv6.
void forward_eliminate(const Tri& t, const Block& b, const Factor& f) {
  for (int i = b.p + 1; i < b.q; ++i) {
    double u = f.rv6[i];
    if (f.rv1[i - 1] == t.e[i]) {
      u = f.rv6[i - 1];
      f.rv6[i - 1] = f.rv6[i];
    }
    f.rv6[i] = u - f.rv4[i] * f.rv6[i - 1];
  }
}

void orthogonalise(const Block& b, const Factor& f, int r, int tag, const int* ind, double* z,
                   int n) {
  const int len = b.q - b.p;
  double* x = f.rv6 + b.p;
  for (int j = r, left = b.group; left > 0; --left) {
    do --j;
    while (ind[j] != tag);
    double* zj = z + static_cast<long>(j) * n + b.p;
    zvaxpy(x, x, zj, len, -zinner(x, zj, len));
  }
}

// The acceptance code for an iterate of sum of magnitudes nrm after `its`
// unsuccessful solves, or 1 when it is not accepted yet.
int acceptance(double nrm, int its) {
  if (its >= 3 && nrm >= 0.01) return kInverseIterationRelaxed1;
  if (its >= 10 && nrm >= 0.0001) return kInverseIterationRelaxed2;
  if (its >= 10 && nrm > 0.0) return kInverseIterationRelaxed3;
  return 1;
}

// Iterates for the vector of shift x1 until it is accepted; returns its code.
int iterate(const Tri& t, Block& b, double x1, const Factor& f, int r, int tag, const int* ind,
            double* z, int n) {
  factorise(t, b, x1, f);
  const int len = b.q - b.p;
  const int limit = 10 + len;  // every restart position tried once past ten
  for (int its = 0;;) {
    back_substitute(b, f);
    orthogonalise(b, f, r, tag, ind, z, n);
    const double nrm = zvasumj(f.rv6 + b.p, 1, len);
    if (!std::isfinite(nrm)) return kInverseIterationFailed;
    if (nrm >= 1.0) return 0;
    if (const int code = acceptance(nrm, ++its); code <= 0) return code;
    if (its >= limit) return kInverseIterationFailed;
    if (nrm == 0.0) {
      f.rv6[b.s] = b.eps4;
      b.s = b.s + 1 == b.q ? b.p : b.s + 1;
    } else {
      zvscl11(f.rv6 + b.p, f.rv6 + b.p, len, b.eps4 / nrm);
    }
    forward_eliminate(t, b, f);
  }
}

// Scales the accepted iterate to unit length into row r of z.
void store_vector(const Block& b, const Factor& f, double* zr) {
  const int len = b.q - b.p;
  double* x = f.rv6 + b.p;
  const double mx = zvamx(x, len);
  if (mx > kBig / std::sqrt(static_cast<double>(len))) zvscl11(x, x, len, 1.0 / mx);
  zvscl11(zr + b.p, x, len, 1.0 / std::sqrt(zinner(x, x, len)));
}

// Everything the vectors of one block need.
struct Job {
  Tri t;
  Factor f;
  double order;  // +1 ascending values, -1 descending
  int n, nvec;
  const double* val;
  const int* ind;
  double* z;
};

// The vectors of the values with block number `tag` (rows p .. q-1).
int block_vectors(const Job& job, int p, int q, int tag) {
  Block b{p, q, 0.0, 0.0, 0.0, 0.0};
  bool first = true;
  int code = 0;
  for (int r = 0; r < job.nvec; ++r) {
    if (job.ind[r] != tag) continue;
    double* zr = job.z + static_cast<long>(r) * job.n;
    double x1 = job.val[r];
    if (!first) {
      if (std::fabs(x1 - b.x0) >= b.eps2) {
        b.group = 0;
      } else {  // a close value: pull a coincident or misordered shift apart
        ++b.group;
        if (job.order * (x1 - b.x0) <= 0.0) x1 = b.x0 + job.order * b.eps3;
      }
    } else if (q - p == 1) {
      zr[p] = 1.0;
      b.x0 = x1;
      continue;
    } else {
      b = make_block(job.t, p, q);
      first = false;
    }
    b.x0 = x1;
    const int rc = iterate(job.t, b, x1, job.f, r, tag, job.ind, job.z, job.n);
    if (rc != kInverseIterationFailed) store_vector(b, job.f, zr);
    code = std::min(code, rc);
  }
  return code;
}

}  // namespace

int ztinvit(int n, int nvec, double* tri, double* val, int* ind, double* z, double* work) {
  if (n == 1) ind[0] = 1;
  if (nvec < 1) return 0;
  std::fill(z, z + static_cast<long>(n) * nvec, 0.0);
  const double* e2 = tri + 2L * n;
  const Job job{{tri, tri + n},
                {work, work + n, work + 2L * n, work + 3L * n, work + 4L * n},
                1.0 - e2[0],
                n,
                nvec,
                val,
                ind,
                z};
  int code = 0;
  for (int tag = 1, q = 0; q < n; ++tag) {
    const int p = q;
    for (q = p + 1; q < n && e2[q] != 0.0;) ++q;
    code = std::min(code, block_vectors(job, p, q, tag));
  }
  return code;
}
