// The kernel library behind the module's kernel-library handle.
#include "platform/host.h"

namespace platform {

void install_kernel_library(Host& /*host*/) {}

}  // namespace platform
