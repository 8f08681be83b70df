// The threaded sweep step: the caller prepares the pivot's row and column,
// the rank-one update of the other rows is split into one block of rows per
// thread (blocks of equal triangle area) and run on a worker pool, and the
// caller waits for every block before it returns. To its caller it is the
// single sweep step.
#pragma once

#include "host/qx_generic.h"
#include "linalg/puddle.h"

// One block request.
struct SweepParms {
  int start;     // first row of the block
  int end;       // one past its last row
  int numRows;   // the matrix order
  int k;         // the pivot of the current step
  double* x;     // the packed matrix
  double* a;     // the pivot's row and column divided by the pivot (signed)
  double* b;     // the same before the division (signed), b[k] = 0
};

struct SweepControl {
  PuddleControl puddleControl;
  int numThreads;
  int numRows;        // the matrix order
  SweepParms* parms;  // one request per thread
  double* work;       // numRows doubles single-threaded, 2*numRows threaded
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
// Releases what zpsweepi made (not the control itself); safe on a control
// that zpsweepi left half made.
void zpsweept(SweepControl* control);

// The block update, and the pool callback that runs it on its request.
void sweepBlock(SweepParms* parms);
void sweepcb(QXMemPtr context, QXGenerich request, QXThreadh thread, TPDLCallBacksp cb);
