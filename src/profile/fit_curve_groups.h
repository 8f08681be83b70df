// The variables of the input data set that a model depends on besides the
// regressors of its fit plot (a character variable that picks the curve,
// say), and the combinations of their values in the BY group. One curve
// evaluated with whatever values the last observation left would be wrong
// for the other observations, so the fit plot draws one curve per
// combination, or none when there are too many to tell apart.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/compiler_types.h"

struct RUVACOM;

// The most curves one fit plot draws: as many as it has distinct styles.
inline constexpr std::size_t kMaxFitCurves = 5;

struct CurveGroups {
  std::vector<CMPSYM*> variables;  // in the order of the program's symbols
  std::vector<std::string> values; // each combination's bytes, in order of first appearance
  bool too_many = false;           // more than kMaxFitCurves combinations; `values` stops there

  // More than one combination: the plot needs a curve for each.
  bool several() const { return values.size() > 1 || too_many; }
  // The variables' names, "state" or "state, sex".
  std::string names() const;
  // Combination g as "state = treated, sex = F".
  std::string label(std::size_t g) const;
  // Puts combination g into the variables' cells.
  void set(std::size_t g) const;
  // The index of the combination the cells hold now; values.size() when none.
  std::size_t current() const;
};

// Reads the BY group once for the combinations; leaves the program's cells
// holding the last observation's values.
CurveGroups curve_groups(RUVACOM* ctx);
