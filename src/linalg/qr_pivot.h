// Householder QR factorisation of a dense matrix with optional column
// pivoting and fixed columns.
#pragma once

// Factors the m by n matrix u (element (i, j) at u[i·incu + j]) as Q R and
// applies Q' to the p columns of b (element (i, k) at b[i·incb + k]; b null
// means no right-hand sides).
//
// ipiv null: no pivoting. Otherwise, on entry, ipiv[j] > 0 places column j at
// position ipiv[j]-1 among the leading (initial) columns, ipiv[j] < 0 at
// position -ipiv[j]-1 among the trailing (final) ones, 0 leaves it free for
// pivoting (largest remaining norm first, the later column on ties); with f
// positive and g negative entries they must be 1 .. f and -(n-g+1) .. -n. On
// exit ipiv[j] is the entry index of the column now at position j.
//
// Out: the Householder vector of step l in u(l .. m-1, l) (u(l, l) is
// 1 + |x|/|nu|), R above the diagonal of u, R's diagonal in alfa (0 for a
// negligible position; past min(m, n) the column norms). sum (n doubles) is
// scratch used only with pivoting. A column whose norm over the remaining
// rows is at most sing is negligible; with pivoting it is moved to the end
// and the next column tried at the same position.
//
// Returns the number of negligible positions among the first min(m, n)
// (min(m, n) minus it is the rank), or -1-i when no column asks for fixed
// position i; the placements made before it stay done.
long zqrdec(long m, long n, long p, long incu, long incb, long* ipiv, double sing,
            double* u, double* b, double* alfa, double* sum);
