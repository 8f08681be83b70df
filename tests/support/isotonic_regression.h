// The isotonic (nondecreasing) regression of a sequence with unit weights,
// by pool-adjacent-violators: the nearest point of x_1 <= x_2 <= ... <= x_n,
// an independent reference for the projection onto a chain of bounds.
#pragma once

#include <cstddef>
#include <vector>

inline std::vector<double> pool_adjacent_violators(const std::vector<double>& x) {
  std::vector<double> mean;
  std::vector<int> count;
  for (double v : x) {
    mean.push_back(v);
    count.push_back(1);
    while (mean.size() > 1 && mean[mean.size() - 2] > mean.back()) {
      const std::size_t k = mean.size() - 1;
      mean[k - 1] = (mean[k - 1] * count[k - 1] + mean[k] * count[k]) / (count[k - 1] + count[k]);
      count[k - 1] += count[k];
      mean.pop_back();
      count.pop_back();
    }
  }
  std::vector<double> out;
  for (std::size_t k = 0; k < mean.size(); ++k) out.insert(out.end(), count[k], mean[k]);
  return out;
}
