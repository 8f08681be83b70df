// Sums of earlier passes kept so that a later pass at the same point need
// not run the model program over the BY group again, when the program
// cannot tell the two passes apart:
// - the grid search's best pass stands for the optimiser's first objective,
//   which is evaluated at that same point;
// - the latest pass, when it also formed the last pass's sums and its
//   used-observation bitmap, stands for the last pass when the optimiser
//   ended at its point (which it usually does: its final iteration
//   evaluates the point it converged to).
#pragma once

struct RUVACOM;

// One kept pass, from the task pool.
struct KeptPass {
  bool valid;
  long iobs;                // observations used
  long nobs;                // observations read
  double sse;
  double sumwy2;
  long nonzero_y;
  const void* lastobsptr;   // the last record of the pass
  double* parms;            // the point (nparm values)
  double* xpx;              // the bordered cross products
  double* gradient;         // nparm values
};

struct PassMemo {
  KeptPass best;    // the grid's best pass
  KeptPass latest;  // the latest pass, when it can stand for the last pass
  int quiet;        // the program has no PUT statement: 1, 0, or -1 not yet known
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

// Whether the pass about to run may stand for the last pass, and so forms
// the last pass's sums and bitmap as well.
bool may_stand_for_last_pass(RUVACOM* ctx);
// After every pass: keeps it as the latest pass when it formed the last
// pass's sums and generated no missing value and no error (the last pass
// reports those); forgets the latest pass otherwise.
void note_latest_pass(RUVACOM* ctx, bool formed_last_sums);
// The bordered cross products of the latest pass when it was made at the
// current parameters, left for the last pass; null otherwise.
const double* latest_pass_products(RUVACOM* ctx);
// In place of the last pass: true with the latest pass's results restored
// when it was made at the current parameters.
bool recall_last_pass(RUVACOM* ctx);
