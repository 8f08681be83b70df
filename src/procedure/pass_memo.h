// The sums of the grid search's best pass, kept for the optimiser's first
// objective, which is evaluated at that same point: when the model program
// cannot tell the two passes apart, the first objective takes the kept sums
// instead of running the program over the BY group once more.
#pragma once

struct RUVACOM;

// The kept sums, from the task pool.
struct PassMemo {
  bool valid;
  long iobs;                // observations used
  long nobs;                // observations read
  double sse;
  const void* lastobsptr;   // the last record of the pass
  double* parms;            // the point (nparm values)
  double* xpx;              // the bordered cross products
  double* gradient;         // nparm values
};

// Forgets what was kept (a new BY group).
void forget_pass(RUVACOM* ctx);
// Keeps the sums of the pass just run at the current parameters, when a
// later pass at the same point would give the same sums; iobs is the pass's
// result.
void remember_pass(RUVACOM* ctx, long iobs);
// Restores the kept sums when the next pass would be run at the kept point
// with the kept kind of pass; then *iobs is that pass's result. Used once.
bool recall_pass(RUVACOM* ctx, long* iobs);
