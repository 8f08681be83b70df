#include "linalg/sweep_threads.h"

#include <algorithm>
#include <cmath>

#include "host/globals.h"
#include "host/pool.h"
#include "host/services.h"
#include "linalg/constants.h"
#include "linalg/packed.h"
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

// The number of blocks worth a step on a matrix of order n.
int useful_blocks(int n) {
  return static_cast<int>(static_cast<long>(n) * n / 2 / linalg::kSweepBlockUpdates);
}

// The calling thread runs the last block itself when there are several.
bool caller_runs_last(const SweepControl* control) { return control->numThreads > 1; }

// One round over the blocks: the pool's threads take every block but the
// caller's, and the caller waits for them after its own.
void run_blocks(SweepControl* control) {
  const int pooled = control->numThreads - (caller_runs_last(control) ? 1 : 0);
  for (int i = 0; i < pooled; ++i) zpudenq(&control->puddleControl, &control->parms[i]);
  if (caller_runs_last(control)) sweepBlock(&control->parms[pooled]);
  zpudwt(&control->puddleControl);
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
  if (!forceFlag) numThreads = std::clamp(useful_blocks(numRows), 2, numThreads);
  control->noThreadsFlag = 0;
  control->parms = static_cast<SweepParms*>(vmalcp_handler(
      task_pool(), numThreads * static_cast<long>(sizeof(SweepParms)), kPoolCleared));
  control->work = allocate_doubles(3 * rows);
  if (!control->parms || !control->work) {
    zpsweept(control);
    control->noThreadsFlag = 1;
    return 1;
  }
  control->numThreads = numThreads;
  control->diagonal = control->work + 2 * rows;
  split_rows(control);
  const int pool_threads = numThreads > 1 ? numThreads - 1 : 1;
  zpudi(&control->puddleControl, pool_threads, 1, reinterpret_cast<void*>(&sweepcb));
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
  double d;
  bool unsweep;
  if (!sweep_begin(x, k, df, sing, &d, &unsweep)) return;
  const double t0 = zdattim();
  for (int i = 0; i < control->numThreads; ++i) {
    SweepParms& p = control->parms[i];
    p.k = k;
    p.x = x;
    p.a = a;
    p.b = b;
    p.phase = kPrepareBlock;
    p.unsweep = unsweep;
    p.d = d;
    p.df = df;
    p.diagonal = control->diagonal;
  }
  run_blocks(control);
  a[k] = 0.0;
  b[k] = 0.0;
  for (int i = 0; i < control->numThreads; ++i) control->parms[i].phase = kUpdateBlock;
  run_blocks(control);
  control->diagonal[k] = x[zisub(k, k)];
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

const double* zpsweepdiag(SweepControl* control, const double* x) {
  if (control->noThreadsFlag) return nullptr;
  for (int i = 0; i < control->numRows; ++i) control->diagonal[i] = x[zisub(i, i)];
  return control->diagonal;
}

void sweepBlock(SweepParms* p) {
  const int k = p->k;
  if (p->phase == kPrepareBlock) {
    if (k >= p->start && k < p->end) sweep_prepare_row(p->x, k, p->df, p->d, p->unsweep, p->a, p->b);
    sweep_prepare_column(p->x, k, p->df, p->d, p->unsweep, p->a, p->b, std::max(p->start, k + 1),
                         p->end);
    return;
  }
  sweep_update_rows(p->x, k, p->a, p->b, p->start, p->end);
  for (int i = p->start; i < p->end; ++i) p->diagonal[i] = p->x[zisub(i, i)];
}

void sweepcb(QXMemPtr /*context*/, QXGenerich request, QXThreadh /*thread*/, TPDLCallBacksp /*cb*/) {
  sweepBlock(static_cast<SweepParms*>(request));
}
