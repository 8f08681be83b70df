// Percentiles by definition 5 (the empirical distribution function with
// averaging where n*q is a whole number) from exact order statistics, which
// are found in memory that does not grow with the number of rows: a column
// that fits the budget is sorted; a longer one is narrowed down, pass by
// pass over the rows, to the bucket of values that holds each wanted rank,
// until that bucket fits the budget or holds one value only.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/stats/analysis_rows.h"

namespace platform::stats {

// The order statistics (1-based ranks, lo <= hi) whose mean is the
// percentile q of n values; lo == hi when one order statistic is the
// percentile. q in [0, 1], n >= 1.
struct Def5Ranks {
  std::int64_t lo, hi;
};
Def5Ranks def5_ranks(std::int64_t n, double q);

// The percentile from the two order statistics of def5_ranks.
inline double def5_value(const Def5Ranks& r, double x_lo, double x_hi) {
  return r.lo == r.hi ? x_lo : (x_lo + x_hi) / 2.0;
}

struct SelectionLimits {
  std::int64_t sort_rows = 131072;  // a column of at most this many values is sorted whole
  std::int64_t keep_values = 8192;  // a bucket of at most this many values is kept and sorted
  int buckets = 1024;
};

// The values of `ranks` (1-based, each in [1, n]) in `column` over the n
// usable rows, whose least and greatest values are lo and hi; false when a
// row cannot be read.
bool order_statistics(AnalysisRows& rows, std::size_t column, std::int64_t n, double lo, double hi,
                      const std::vector<std::int64_t>& ranks, std::vector<double>* values,
                      const SelectionLimits& limits = {});

}  // namespace platform::stats
