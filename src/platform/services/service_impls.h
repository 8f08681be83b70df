// The host's implementation of every service in the service list: one
// function per service in namespace platform::svc, with the service's own
// signature (a trailing va_list for services with variable arguments).
#pragma once

#include "host/service_types.h"

#define RUVA_UNPAREN(...) __VA_ARGS__
namespace platform::svc {
#define SVC(V, E, R, NAME, PARAMS, ARGS) R NAME PARAMS;
#define SVC_VA(V, E, R, NAME, PARAMS, ARGS, LAST) R NAME(RUVA_UNPAREN PARAMS, va_list);
#include "host/services/all.def"
#undef SVC
#undef SVC_VA
}  // namespace platform::svc
