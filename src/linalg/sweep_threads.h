// The threaded sweep step. The matrix's rows are split into one block per
// thread (blocks of equal triangle area), and each block keeps its thread
// from step to step, so every row stays in one processor's cache. A step
// runs in two rounds over the blocks: each block prepares its part of the
// pivot's row and column, then each block applies the rank-one update to
// its rows and copies their diagonal into a shared vector from which the
// driver chooses the next pivot. The calling thread runs the last block
// itself and waits for the others on a worker pool, so that n threads keep
// n processors busy. To its caller it is the single sweep step, bit for
// bit.
#pragma once

#include "host/kernel_object_header.h"
#include "linalg/worker_pool_client.h"

// One block request.
struct SweepParms {
  int start;     // first row of the block
  int end;       // one past its last row
  int numRows;   // the matrix order
  int k;         // the pivot of the current step
  double* x;     // the packed matrix
  double* a;     // the pivot's row and column divided by the pivot (signed)
  double* b;     // the same before the division (signed), b[k] = 0
  int phase;     // kPrepareBlock or kUpdateBlock
  char unsweep;  // the step un-sweeps the pivot
  double d;      // the pivot before the step
  const char* df;    // the pivots' status
  double* diagonal;  // the matrix's diagonal, kept current by the updates
};
inline constexpr int kPrepareBlock = 0;
inline constexpr int kUpdateBlock = 1;

struct SweepControl {
  PuddleControl puddleControl;
  int numThreads;
  int numRows;        // the matrix order
  SweepParms* parms;  // one request per thread
  double* work;       // numRows doubles single-threaded, 3*numRows threaded
  double* diagonal;   // threaded: the matrix's diagonal (part of work)
  char noThreadsFlag; // nonzero: every step goes to the host's single step
  double time;        // seconds spent in the fan-out and wait of threaded steps
};
using SweepControlPtr = SweepControl*;

// Prepares `control` for matrices of order numRows on numThreads threads;
// single-threaded when numThreads < 2 or numRows is below the cutoff (0
// means 250), unless forceFlag is set. Storage comes from the task pool.
// Returns 0, or 1 when that storage cannot be had (the control is then
// single-threaded without work and must not be used for steps).
int zpsweepi(int numThreads, int numRows, int cutoff, char forceFlag, SweepControl* control);
// One sweep step on pivot k with tolerance sing (see sweep_step.h).
void zpsweep(double* x, int k, char* df, double sing, SweepControl* control);
// Threaded: copies the diagonal of x into the control, which the steps then
// keep current, and returns it; null when the control is single-threaded.
// Called before the first step on a matrix.
const double* zpsweepdiag(SweepControl* control, const double* x);
// Releases what zpsweepi made (not the control itself); safe on a control
// that zpsweepi left half made.
void zpsweept(SweepControl* control);

// The block update, and the pool callback that runs it on its request.
void sweepBlock(SweepParms* parms);
void sweepcb(QXMemPtr context, QXGenerich request, QXThreadh thread, TPDLCallBacksp cb);
