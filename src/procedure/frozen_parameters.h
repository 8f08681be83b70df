// The parameters METHOD=NEWTON's steps leave where they are because the
// Hessian of the objective is not positive definite along them, although
// the data determine them. The step's sweep takes a pivot that is not
// positive (beside SINGULAR=) for a singular one and gives its row no step
// component; the convergence measure then covers only the other
// parameters, so the iterations can stop far from the minimum with such a
// parameter at its start. A parameter the cross products J'WJ leave
// undetermined is a different matter: it is linearly dependent on the
// others, with G4 or without, and its step component is rightly none.
#pragma once

#include <vector>

struct RUVACOM;

// The parameters, by index, that the sweep of the parameter block of the
// packed Hessian `hessian` leaves out at SINGULAR= (as the step's sweep
// does, keeping only rows with positive pivots) while J'WJ determines
// them given the rows the sweep keeps. J'WJ is the one the latest pass
// with derivatives kept whole (ctx->jwj), so `hessian` must come from that
// pass. With constraints in the
// optimiser's working set both are judged, as the step is, on the free
// directions its null-space basis spans, and a frozen direction gives the
// parameters it moves; `hessian` is then the unprojected one. Empty unless
// METHOD=NEWTON.
std::vector<int> frozen_parameters(const RUVACOM* ctx, const double* hessian);

// The WARNING that names them and says why, in the listing and the log;
// return code 4.
void warn_frozen_parameters(RUVACOM* ctx, const std::vector<int>& frozen);
