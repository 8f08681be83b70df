// The threads of the profiling engine: NTHREADS= within the processors the
// host has, and one thread for a program whose RETAIN or CONTROL variables
// carry values from one observation to the next.
#include <algorithm>
#include <cmath>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/cpu_count.h"
#include "procedure/proc_options.h"
#include "procedure/procedure_context.h"
#include "procedure/setup.h"

namespace {
constexpr int kMsgThreadsBelowOne = 423;
constexpr int kMsgThreadsAboveCpus = 424;
}  // namespace

void set_thread_count(RUVACOM* ctx) {
  const STLIST* f = stmt_field(ctx->prochead, proc_opt::kNthreads);
  const double t = f && !is_missing(f->v.fval) ? std::trunc(f->v.fval) : 1.0;
  const int c = std::max(host_cpu_count(), 1);
  PROF_BOOT_COMMON_BLOCK& q = ctx->qxprof_block;
  const bool carries_values = q.n_retain_stmts >= 1 || q.n_cntl_stmts > 0;
  if (carries_values && t >= 2) {
    q.n_threads = 1;
    q.ntpb = c;
  } else if (t < 1) {
    q.n_threads = 1;
    q.ntpb = c;
    xpmlog(305, kMsgThreadsBelowOne, t);
  } else if (c < t) {
    q.n_threads = c;
    q.ntpb = c;
    xpmlog(305, kMsgThreadsAboveCpus, t, c);
  } else {
    q.n_threads = static_cast<std::int32_t>(t);
    q.ntpb = c;
  }
}
