// The host services, each an ordinary function of the module that forwards
// its call to the host through the service table of its vector.
#pragma once

#include "host/service_types.h"

#define RUVA_UNPAREN(...) __VA_ARGS__
#define SVC(V, E, R, NAME, PARAMS, ARGS) R NAME PARAMS;
#define SVC_VA(V, E, R, NAME, PARAMS, ARGS, LAST) R NAME(RUVA_UNPAREN PARAMS, ...);
#include "host/services/all.def"
#undef SVC
#undef SVC_VA

// The address of entry `entry` of service vector `vector`. Clears the
// vector's byte in the control block first, as every service call does.
void* host_service_entry(int vector, int entry);
