// LQ factorisation of the working constraints and the operations on its
// factors (see lq.h): the factorisation, the minimum-norm solve, Q g, the
// back-solve with L', and the explicit Q whose trailing rows span the null
// space of the working rows.
#include "optim/lq.h"

#include <algorithm>
#include <cstring>

#include "linalg/vector_kernels.h"
#include "optim/optimiser_internal.h"

namespace {

inline bool independent(const char* flags, int row) {
  return flags[row] != '0';
}

// Applies I + beta v v' to x[0..length-1] (x a row segment, v its vector).
inline void reflect(double* x, const double* v, long length, double beta) {
  zvxay11(x, v, length, beta * zvdot11(x, v, length));
}

}  // namespace

double hvec(double* x, double* v, int pos, int c) {
  if (c <= pos) return 0;
  const long length = c - pos;
  const double* segment = x + pos;
  const double sigma = zvenorm(length, 1, segment);
  if (sigma == 0) return 0;
  // The sign of the leading entry (+ for 0) keeps x0 + s sigma away from 0;
  // dividing entry by entry keeps every |v_i| <= 1 even for a tiny sigma.
  const double divisor = segment[0] + (segment[0] >= 0 ? sigma : -sigma);
  v[0] = 1;
  for (long i = 1; i < length; ++i) v[i] = segment[i] / divisor;
  return sigma;
}

int post(int r, int c, int row, int col, double* v, double** a, double* w, double* w2,
         double* beta) {
  const long length = c - col;
  *beta = -2 / zvdot11(v, v, length);
  for (int i = row; i < r; ++i) w[i - row] = *beta * zvdot11(a[i] + col, v, length);
  for (int i = row; i < r; ++i) {
    zvscl11(w2, v, length, w[i - row]);
    zvxy111(a[i] + col, a[i] + col, w2, length);
  }
  return 1;
}

int znlqfct(int r, int c, double** mat, double* w, double* w2, double* q, double* beta,
            char* singrows, double singular) {
  int pivot = 0;
  for (int k = 0; k < r; ++k) {
    double* v = pivot < c ? q + householder_offset(pivot, c) : nullptr;
    const double sigma = v ? hvec(mat[k], v, pivot, c) : 0;
    if (sigma > singular) {
      singrows[k] = '1';
      post(r, c, k, pivot, v, mat, w, w2, &beta[k]);
      ++pivot;
    } else {
      singrows[k] = '0';
      beta[k] = 0;
    }
  }
  return 1;
}

int lq_rank(int r, const char* singrows) {
  int rank = 0;
  for (int i = 0; i < r; ++i) rank += independent(singrows, i);
  return rank;
}

void lqsolve(int r, int c, double** mat, double* x, double* b, double* q, double* beta,
             char* singrows) {
  std::fill_n(x, std::max(r, c), 0.0);
  // Forward substitution with L: y (one entry per pivot) in x[0..rank-1].
  int pivot = 0;
  for (int i = 0; i < r; ++i) {
    if (!independent(singrows, i)) continue;
    x[pivot] = (b[i] - zvdot11(x, mat[i], pivot)) / mat[i][pivot];
    ++pivot;
  }
  // x = H_0 H_1 ... (y, 0): the reflections in reverse order.
  for (int i = r - 1; i >= 0; --i) {
    if (!independent(singrows, i)) continue;
    --pivot;
    reflect(x + pivot, q + householder_offset(pivot, c), c - pivot, beta[i]);
  }
}

int pre(int r, int c, double* q, double* g, double* beta, char* singrows) {
  int pivot = 0;
  for (int i = 0; i < r; ++i) {
    if (!independent(singrows, i)) continue;
    reflect(g + pivot, q + householder_offset(pivot, c), c - pivot, beta[i]);
    ++pivot;
  }
  return 1;
}

void lq_backsolve(int r, double** mat, const double* w, double* lambda, const char* singrows) {
  std::fill_n(lambda, r, 0.0);
  int pivot = lq_rank(r, singrows);
  for (int i = r - 1; i >= 0; --i) {
    if (!independent(singrows, i)) continue;
    --pivot;
    double sum = w[pivot];
    for (int j = i + 1; j < r; ++j) sum -= lambda[j] * mat[j][pivot];
    lambda[i] = sum / mat[i][pivot];
  }
}

void explicit_q(int r, int c, const double* q, const double* beta, const char* singrows,
                double** Q) {
  for (int i = 0; i < c; ++i) {
    std::fill_n(Q[i], c, 0.0);
    Q[i][i] = 1;
  }
  // Q = H_last ... H_0: each reflection applied from the right, last first.
  int pivot = lq_rank(r, singrows);
  for (int k = r - 1; k >= 0; --k) {
    if (!independent(singrows, k)) continue;
    --pivot;
    const double* v = q + householder_offset(pivot, c);
    for (int i = 0; i < c; ++i) reflect(Q[i] + pivot, v, c - pivot, beta[k]);
  }
}

int computeQ(ZOPTGLOBAL* g) {
  const ZOPTMARQU& mq = *g->state.marqu;
  explicit_q(std::max(optim::working_constraints(g), 0), optim::nparms(g), mq.q, mq.beta,
             mq.singrowsc, mq.Q);
  return 1;
}
