// Whether the point where the iterations stopped is a minimum, judged by
// the relative offset sqrt(g'(J'WJ)^-1 g / F) over the directions the
// working constraints leave free (g the gradient, F the objective), with
// every parameter's column of derivatives scaled to unit length first.
//
// The optimiser's own R depends on the units of the parameters: a
// parameter whose derivatives nearly vanish on the data (exp(-b*t) at a
// large b) gets no step component, or is lost to rounding where the free
// directions mix it with another parameter, and GRADIENT's R is the length
// of the gradient itself. Scaled, such a column still spans its direction.
// J'WJ is taken from a factor of the derivative rows themselves, which
// resolves directions the sums of products lose to rounding (a model at a
// limit where it degenerates, such as Vm*conc/(K+conc) as a line through
// the origin for K far above conc).
#pragma once

struct RUVACOM;

// Whether a fit that the optimiser called converged, under any criterion
// and method, stopped where the relative offset is not below what the
// criterion allows (CONVERGE= or its default, ten times that for NEWTON;
// with CONVERGEOBJ= or CONVERGEPARM= also 0.01 or what they accept of the
// step still to take, except for GRADIENT), or where the derivatives of a
// free parameter vanish though they did not at `start` (the estimates the
// iterations began from); if so, a WARNING gives it and names the
// parameters whose derivatives nearly vanish (return code 4).
bool stopped_off_the_minimum(RUVACOM* ctx, const double* start);

// Whether the point where the optimiser found no step that reduced the
// objective is a minimum to the precision of the objective: the optimiser's
// test passes there (at CONVERGE= or, when that is finer, its default) and
// the relative offset is below CONVERGE= (ten times that for NEWTON), as a
// NOTE then says. The optimiser's error is then cleared.
bool at_minimum_where_no_step_reduced(RUVACOM* ctx, const double* start);
