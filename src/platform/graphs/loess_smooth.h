// The LOESS smooth of residual plots: local linear regression with tricube
// weights over the nearest fraction (the span) of the observations, the span
// chosen among 0.2, 0.25, ..., 1 by the corrected Akaike criterion of
// Hurvich, Simonoff and Tsai (1998):
//   AICc = log(RSS / n) + 1 + 2 (tr L + 1) / (n - tr L - 2),
// L being the smoother matrix at the observations. Spans whose windows
// would hold fewer than four distinct x values are not considered. The
// criterion interpolates local fits made at vertices along the sorted x,
// so that its cost grows with n, not n squared; the smooth drawn is the
// local fits themselves.
#pragma once

#include <vector>

namespace platform::graphs {

struct Smooth {
  std::vector<double> x, y;  // the smooth at the distinct x values, or at `points` evenly spaced
  double span = 0;           // the span chosen; 0 when there is no smooth
};

// The smooth of y on x over the pairs where both are finite; none for fewer
// than 5 distinct x values. With more than `points` distinct x values the
// smooth is evaluated at `points` evenly spaced ones.
Smooth loess(const std::vector<double>& x, const std::vector<double>& y, int points = 101);

}  // namespace platform::graphs
