// LQ factorisation of the working constraint matrix A (r rows of c
// columns, one row per working constraint): A = L Q by Householder
// reflections applied from the right, row by row.
//
// A row whose remaining norm is at most the tolerance is dependent on the
// rows before it: it is flagged '0', gets beta 0 and no reflection, and
// takes no pivot column. The independent rows take the pivot columns 0, 1,
// 2, ... in their order, so independent row i (the p-th one) holds L's
// diagonal at column p and its Householder vector acts on columns p..c-1.
// Every routine here walks the rows with that same pivot counter, so a
// dependent row anywhere in the list leaves the factors of the rows after
// it exact.
//
// Storage: the rows are separate pointers (factored in place); Householder
// vector p (first entry 1, c - p entries) starts at offset p c - p(p-1)/2
// of the packed array q; beta[i] = -2/(v.v) for independent row i, else 0.
#pragma once

// Offset of the Householder vector of pivot p in the packed array.
inline long householder_offset(int p, int c) {
  return static_cast<long>(p) * c - static_cast<long>(p) * (p - 1) / 2;
}

// The Householder vector of x[pos..c-1] into v (v[0] = 1); returns the norm
// sigma of that segment (0, v untouched, when c <= pos or sigma = 0).
double hvec(double* x, double* v, int pos, int c);

// One factorisation step: beta = -2/(v.v) over the c - col entries of v,
// then I + beta v v' applied from the right to rows row..r-1 of a on
// columns col..c-1 (w: r - row doubles, w2: c - col doubles). Returns 1.
int post(int r, int c, int row, int col, double* v, double** a, double* w, double* w2,
         double* beta);

// Factors the r rows mat[0..r-1] of length c in place; w holds r doubles,
// w2 c doubles. A row is independent when its remaining norm is strictly
// above `singular`. Returns 1 (also for r < 1, which does nothing).
int znlqfct(int r, int c, double** mat, double* w, double* w2, double* q, double* beta,
            char* singrows, double singular);

// x (max(r, c) doubles) = the minimum-norm solution of A x = b over the
// independent rows, from the factors (mat holding L); b has r entries.
void lqsolve(int r, int c, double** mat, double* x, double* b, double* q, double* beta,
             char* singrows);

// g (c entries) = Q g: afterwards its first `rank` entries are the
// components along the row space of A and the rest those in its null space.
int pre(int r, int c, double* q, double* g, double* beta, char* singrows);

// lambda (r entries) = the solution of L' lambda = w over the independent
// rows (dependent rows get 0); w is Q g as left by `pre`.
void lq_backsolve(int r, double** mat, const double* w, double* lambda, const char* singrows);

// Q (c rows of c) explicitly from the factors of r rows: its rows past the
// independent ones span the null space of A.
void explicit_q(int r, int c, const double* q, const double* beta, const char* singrows,
                double** Q);

// The number of independent rows among the first r flags.
int lq_rank(int r, const char* singrows);
