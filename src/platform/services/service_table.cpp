#include "platform/services/service_table.h"

#include "platform/services/service_impls.h"

namespace platform {

const std::vector<ServiceEntry>& service_list() {
  // The static_cast checks each implementation against the declared
  // signature, so a mismatch is a compile error, not a bad call.
#define SVC(V, E, R, NAME, PARAMS, ARGS) \
  {V, E, #NAME, reinterpret_cast<void*>(static_cast<R(*) PARAMS>(&svc::NAME))},
#define SVC_VA(V, E, R, NAME, PARAMS, ARGS, LAST)                                  \
  {V, E, #NAME,                                                                     \
   reinterpret_cast<void*>(static_cast<R (*)(RUVA_UNPAREN PARAMS, va_list)>(&svc::NAME))},
  static const std::vector<ServiceEntry> list = {
#include "host/services/all.def"
  };
#undef SVC
#undef SVC_VA
  return list;
}

}  // namespace platform
