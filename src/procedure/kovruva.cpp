// The procedure main: one call per step.
#include "host/globals.h"
#include "host/module_entry.h"
#include "host/procstr.h"
#include "host/services.h"
#include "procedure/statement_parsing.h"

void kovruva() {
  xinit();
  // Statement parsing; the phases after it join as they are built.
  static RUVAPARSE parse;
  parse = RUVAPARSE{};
  if (ruvapar(&parse) != 0) xexit(3000, 0);
}
