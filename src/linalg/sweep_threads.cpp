#include "linalg/sweep_threads.h"

#include <cmath>

#include "host/globals.h"
#include "host/pool.h"
#include "host/services.h"
#include "linalg/constants.h"
#include "linalg/sweep_step.h"

namespace {

double* allocate_doubles(long count) {
  return static_cast<double*>(vmalcp_handler(task_pool(), count * static_cast<long>(sizeof(double)),
                                             kPoolCleared));
}

// Rows 0..e-1 of a lower triangle hold about e*e/2 elements, so block ends at
// s*sqrt(i+1) with s = N*sqrt(1/T) give every block about N*N/(2T) updates.
void split_rows(SweepControl* control) {
  const int threads = control->numThreads;
  const int rows = control->numRows;
  const double s = std::trunc(rows * std::sqrt(1.0 / threads));
  int start = 0;
  for (int i = 0; i < threads; ++i) {
    SweepParms& p = control->parms[i];
    p.start = start;
    p.end = i == threads - 1 ? rows : static_cast<int>(std::trunc(s * std::sqrt(i + 1.0)));
    p.numRows = rows;
    start = p.end;
  }
}

}  // namespace

int zpsweepi(int numThreads, int numRows, int cutoff, char forceFlag, SweepControl* control) {
  control->numRows = numRows;
  control->time = 0.0;
  if (cutoff == 0) cutoff = linalg::kThreadedSweepCutoff;
  const long rows = numRows > 0 ? numRows : 0;
  if ((numThreads < 2 || numRows < cutoff) && !forceFlag) {
    control->noThreadsFlag = 1;
    control->work = allocate_doubles(rows);
    return control->work ? 0 : 1;
  }
  if (numThreads < 1) numThreads = 1;  // forced with no thread count
  control->noThreadsFlag = 0;
  control->parms = static_cast<SweepParms*>(vmalcp_handler(
      task_pool(), numThreads * static_cast<long>(sizeof(SweepParms)), kPoolCleared));
  control->work = allocate_doubles(2 * rows);
  if (!control->parms || !control->work) {
    zpsweept(control);
    control->noThreadsFlag = 1;
    return 1;
  }
  control->numThreads = numThreads;
  split_rows(control);
  zpudi(&control->puddleControl, numThreads, 1, reinterpret_cast<void*>(&sweepcb));
  return 0;
}

void zpsweep(double* x, int k, char* df, double sing, SweepControl* control) {
  const int n = control->numRows;
  if (control->noThreadsFlag) {
    zsweep(x, k, n, df, control->work, sing);
    wtpoll();
    return;
  }
  if (k < 0 || k >= n) {
    xebug("sweep: invalid k: %i", k);
    return;
  }
  double* b = control->work;
  double* a = control->work + n;
  if (!sweep_prepare(x, k, n, df, sing, a, b)) return;
  const double t0 = zdattim();
  for (int i = 0; i < control->numThreads; ++i) {
    SweepParms& p = control->parms[i];
    p.k = k;
    p.x = x;
    p.a = a;
    p.b = b;
    zpudenq(&control->puddleControl, &p);
  }
  zpudwt(&control->puddleControl);
  control->time += zdattim() - t0;
  wtpoll();
}

void zpsweept(SweepControl* control) {
  // The pool goes first: after a failed wait its threads may still be
  // reading the work vectors and the requests.
  if (!control->noThreadsFlag) zpudt(&control->puddleControl);
  if (control->work) vmfree_handler(task_pool(), control->work, 0, kPoolRelease);
  control->work = nullptr;
  if (control->parms) vmfree_handler(task_pool(), control->parms, 0, kPoolRelease);
  control->parms = nullptr;
}

void sweepBlock(SweepParms* parms) {
  sweep_update_rows(parms->x, parms->k, parms->a, parms->b, parms->start, parms->end);
}

void sweepcb(QXMemPtr /*context*/, QXGenerich request, QXThreadh /*thread*/, TPDLCallBacksp /*cb*/) {
  sweepBlock(static_cast<SweepParms*>(request));
}
