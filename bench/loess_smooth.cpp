// The LOESS smooth of a residual plot, span chosen by AICc, over data sets of
// 10^4, 10^5 and 10^6 observations: the cost must grow linearly with n.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "platform/graphs/loess_smooth.h"

namespace {

// Residual-like values: a slow wave plus noise over an unevenly spread
// regressor, with some tied x values.
void residuals(std::size_t n, std::vector<double>& x, std::vector<double>& y) {
  std::mt19937_64 random(20240611);
  std::uniform_real_distribution<double> uniform(0, 1);
  x.resize(n), y.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double u = uniform(random);
    x[i] = std::round(1000 * 10 * u * u) / 1000;
    y[i] = std::sin(x[i]) + 0.5 * (uniform(random) + uniform(random) + uniform(random) - 1.5);
  }
}

void BM_loess(benchmark::State& state) {
  std::vector<double> x, y;
  residuals(static_cast<std::size_t>(state.range(0)), x, y);
  for (auto _ : state) {
    platform::graphs::Smooth s = platform::graphs::loess(x, y);
    benchmark::DoNotOptimize(s.y.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_loess)->Arg(10000)->Arg(20000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
