// One forwarding function per host service. Each reads the entry from the
// control block's service tables and calls it with its own arguments; the
// host's result is the caller's result.
#include "host/services.h"

#include <atomic>

#include "host/globals.h"

void* host_service_entry(int vector, int entry) {
  auto* flags = gcb_pointer<std::uint8_t>(gcb::kServiceBytes);
  std::atomic_ref<std::uint8_t>(flags[vector]).store(0, std::memory_order_relaxed);
  auto** tables = gcb_pointer<void**>(gcb::kServiceTables);
  return tables[vector][entry];
}

#define SVC(V, E, R, NAME, PARAMS, ARGS)                                       \
  R NAME PARAMS {                                                              \
    using Fn = R(*) PARAMS;                                                    \
    return reinterpret_cast<Fn>(host_service_entry(V, E)) ARGS;                \
  }
#define SVC_VA(V, E, R, NAME, PARAMS, ARGS, LAST)                              \
  R NAME(RUVA_UNPAREN PARAMS, ...) {                                           \
    using Fn = R (*)(RUVA_UNPAREN PARAMS, va_list);                            \
    va_list ap;                                                                \
    va_start(ap, LAST);                                                        \
    R result = reinterpret_cast<Fn>(host_service_entry(V, E))(RUVA_UNPAREN ARGS, ap); \
    va_end(ap);                                                                \
    return result;                                                             \
  }
#include "host/services/all.def"
#undef SVC
#undef SVC_VA
