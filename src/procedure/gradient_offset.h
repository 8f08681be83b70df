// METHOD=GRADIENT steps along the gradient: its optimiser works with the
// identity in place of the cross products, so the R it stops on is the
// gradient's length against the root of the objective, ||J'r|| / sqrt(F),
// in the units of the parameters. A parameter whose derivatives nearly
// vanish on the data (exp(-b*t) for a large b) has a tiny gradient however
// far it is from its minimum, and that R falls below CONVERGE= there. The
// relative offset that CONVERGE= means for every method weighs the
// gradient by the cross products J'WJ, which the step keeps aside.
#pragma once

struct RUVACOM;

// The relative offset sqrt(g'(J'WJ)^-1 g / F) at the point where the
// optimiser stopped, over the directions the working constraints leave
// free: the R that METHOD=GAUSS computes there. J'WJ is read from the
// parameter block of xpx, which a data pass with derivatives at that point
// must have formed. Missing when it cannot be formed.
double cross_product_offset(RUVACOM* ctx);

// Whether a GRADIENT fit that the optimiser called converged, under any
// criterion, stopped where the relative offset is not below CONVERGE= (or
// its default); if so, a WARNING gives it (return code 4).
bool gradient_stopped_off_the_minimum(RUVACOM* ctx);
