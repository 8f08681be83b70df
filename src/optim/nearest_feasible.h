// The nearest point that satisfies a set of linear constraints: the
// shortest move d from a point with
//   values_i + a_i'd = 0    for an equality,
//   values_i + a_i'd >= 0   for an inequality (held within its tolerance),
// found exactly by the dual active-set method for least distance (the
// unconstrained minimum d = 0 first, then the most violated constraint at
// a time joins, with the constraints whose multipliers would turn negative
// leaving). Every active set it holds is linearly independent, so each
// step is a minimum-norm solve on the LQ factors of the active rows.
#pragma once

#include <vector>

namespace optim {

struct LinearSet {
  int n = 0;                          // parameters
  std::vector<double> rows;           // one row of n coefficients per constraint
  std::vector<double> values;         // each constraint's value at the point
  std::vector<double> tolerances;     // how far below 0 a value still holds
  std::vector<char> equality;         // nonzero: an equality
};

enum class Nearest {
  kFound,      // move and active are set
  kNone,       // no point satisfies the constraints: they contradict each other
  kUndecided,  // the steps ran out (rounding kept the method from finishing)
};

// The move (n entries) and the constraints holding at its end with their
// multipliers in force (indices into the set, in the order they joined).
Nearest nearest_feasible(const LinearSet& set, std::vector<double>* move, std::vector<int>* active);

}  // namespace optim
