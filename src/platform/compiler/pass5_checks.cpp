// Program checks before generation: variables the program reads but that
// nothing gives a value (not assigned, not in the data set, no initial
// value, no storage of the procedure's) are noted, as they stay missing.
// Parameters are exempt: the procedure gives them their values, from the
// PARMS statement or from a parameter data set.
#include "platform/compiler/compiler.h"

namespace platform::compiler {

bool Compiler::check() {
  if (!analyse()) return false;
  for (const Symbol* s : pdv) {
    const CMPSYM& p = s->pub;
    const bool own_cell = p.type == '$' || p.data == cells.cells() + s->cell;
    if (s->hidden || (p.kind != 'v' && p.kind != 'd') || p.kindcode != 0 || cmp_declared_parm(&p)) continue;
    if (!(p.flags[0] & kCmpReferenced) || (p.flags[0] & kCmpAssigned) || p.dsvarno > 0) continue;
    if (!s->init_values.empty() || s->has_char_init || !own_cell) continue;
    note(42, s->name.c_str());
  }
  return !failed();
}

}  // namespace platform::compiler
