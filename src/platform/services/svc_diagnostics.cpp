// Vector 206: internal-error reports, written to the log.
#include "platform/host.h"
#include "platform/services/service_impls.h"

namespace platform::svc {

int xebug(const char* format, va_list args) {
  Host::current().log_message(1, 6, vformat(format, args).c_str());
  return 0;
}

}  // namespace platform::svc
