// Ending the step from procedure code that the compiler must know does not
// return (the host's xexit ends the step by unwinding to the step runner).
#pragma once

#include <cstdlib>

#include "host/services.h"

[[noreturn]] inline void ruva_exit(int rc) {
  xexit(rc, 0);
  std::abort();  // not reached
}
