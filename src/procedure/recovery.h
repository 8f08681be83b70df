// The step's recovery points: around each run of the model program, around
// the optimiser call and around the BY-group loop (and the phases before it).
// They are C++ exception handlers: a fault is an exception thrown out of the
// guarded code, either by the floating-point handler the host calls or by
// the code itself; the innermost armed point catches it and the interrupted
// evaluation counts as failed. The step's own exit (`xexit`) is not a fault
// and passes through every point, and neither is running out of memory
// (std::bad_alloc), which no evaluation can recover from: the host ends the
// step with 1016.
#pragma once

#include <exception>
#include <new>

#include "host/types.h"

struct RUVACOM;

// What the floating-point handler throws.
struct RuvaFault {};

// The floating-point exception handler installed with the host for the
// step: resumes the innermost armed recovery point.
void my_fpe_handler(int evt_num);

// Marks a recovery point armed while it lives; disarms it on every way out.
class ArmedPoint {
 public:
  explicit ArmedPoint(QXBoolean* flag) : flag_(flag) { *flag_ = 1; }
  ~ArmedPoint() { *flag_ = 0; }
  ArmedPoint(const ArmedPoint&) = delete;
  ArmedPoint& operator=(const ArmedPoint&) = delete;

 private:
  QXBoolean* flag_;
};

// Runs `body` under the recovery point whose armed flag is `flag`: true
// when it completed, false when a fault interrupted it.
template <class Body>
bool run_under_recovery(QXBoolean* flag, Body&& body) {
  ArmedPoint armed(flag);
  try {
    body();
  } catch (const RuvaFault&) {
    return false;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

// The optimiser call of an estimation under its recovery point: zopt's
// result, or 1 with the run's error state set to s_nodelta when a fault
// interrupted the run.
int zopt_under_recovery(RUVACOM* ctx);
