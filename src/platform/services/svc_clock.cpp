// Vector 164: the step clock and the date-time clock.
#include <ctime>

#include "platform/services/service_impls.h"

namespace platform::svc {

double wzdttme();

double ztime() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

double zdattim() { return wzdttme(); }

}  // namespace platform::svc
