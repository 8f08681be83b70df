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
// A direction the scaled cross products still cannot resolve at SINGULAR=
// (a model at a limit where it degenerates, such as Vm*conc/(K+conc) as a
// line through the origin for K far above conc) counts with at least its
// squared gradient over SINGULAR=, a lower bound of its share of the
// offset: exactly dependent parameters have no gradient there.
#pragma once

#include <vector>

struct RUVACOM;

struct StopOffset {
  double r;                    // the relative offset, at most 1; missing when it cannot be formed
  std::vector<int> vanishing;  // parameters whose derivatives, or a combination's, nearly vanish
};

// The relative offset at the point where the optimiser stopped. J'WJ is
// read from the pass the caller last made with derivatives at that point.
// The parameters named are those whose columns of derivatives are below
// the square root of SINGULAR= of the longest, and those moved by an
// unresolved direction whose share alone reaches `criterion`.
StopOffset offset_at_stop(RUVACOM* ctx, double criterion);

// Whether a fit that the optimiser called converged, under any criterion
// and method, stopped where the relative offset is not below what the
// criterion allows (CONVERGE= or its default, ten times that for NEWTON;
// with CONVERGEOBJ= or CONVERGEPARM= also 0.01 or what they accept of the
// step still to take, except for GRADIENT);
// if so, a WARNING gives it and names the parameters whose derivatives
// nearly vanish (return code 4).
bool stopped_off_the_minimum(RUVACOM* ctx);
