// The procedure main: one call per step.
#include "host/globals.h"
#include "host/module_entry.h"
#include "host/procstr.h"
#include "host/services.h"

void kovruva() {
  xinit();
}
