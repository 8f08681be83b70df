// Summaries of the values a graph shows: quantiles, moments, the histogram
// bins and the box-plot statistics.
#pragma once

#include <vector>

namespace platform::graphs {

// The finite values, sorted.
std::vector<double> sorted_finite(const std::vector<double>& values);
// Quantile p of sorted values by linear interpolation between order
// statistics (Hyndman and Fan's type 7); NaN for none.
double quantile(const std::vector<double>& sorted, double p);

struct Moments {
  std::size_t n = 0;
  double mean = 0, sd = 0;  // sd: n - 1 divisor, 0 for fewer than 2 values
};
Moments moments(const std::vector<double>& values);

// Histogram bins. The bin width is the Freedman-Diaconis width 2 IQR n^(-1/3)
// rounded to the nearest nice number (1, 2, 2.5 or 5 times a power of ten);
// when the IQR is 0 the range over Sturges' number of bins is used instead.
// The edges are multiples of the width around the data, and the width is
// doubled until there are at most 60 bins. Bins hold [a, b), the last [a, b].
struct Histogram {
  std::vector<double> edges;   // bins + 1 edges
  std::vector<double> counts;  // one per bin
  double width = 0;
  std::size_t n = 0;
};
Histogram histogram(const std::vector<double>& values);

// Tukey's box: quartiles, whiskers to the farthest values within 1.5 IQR of
// the box, and the values beyond them.
struct BoxStatistics {
  double q1 = 0, median = 0, q3 = 0, mean = 0, low = 0, high = 0;
  std::vector<double> outliers;
  std::size_t n = 0;
};
BoxStatistics box_statistics(const std::vector<double>& values);

}  // namespace platform::graphs
