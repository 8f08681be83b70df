// In-place inverse of a packed lower-triangular matrix.
#pragma once

// Inverts the packed lower triangle a of order n by sweeping each pivot in
// turn; work holds n doubles. Returns 0 with the inverse in a, or 1 when a
// pivot's magnitude is at or below `singular`: a is then left half-inverted
// (the pivots before the small one are swept) and is of no use, so a caller
// must test the result before reading a. A NaN pivot does not count as small.
int zinvlo(double* a, int n, double* work, double singular);
