// Stand-ins for the result steps that are still to come: each does nothing
// until its own code replaces it.
#include "procedure/result_phases.h"

void ruva_diag_graphics(RUVACOM*) {}
