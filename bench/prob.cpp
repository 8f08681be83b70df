// Throughput of the probability functions the inference tables call most:
// the two-sided t p-value, the F upper tail and the normal quantile, over
// spreads of arguments and degrees of freedom like those of real fits.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "prob/normal.h"
#include "prob/t_f_beta.h"

namespace {

constexpr int kCount = 1024;

// Arguments spread over the range the tables see, fixed by index.
std::vector<double> spread(double low, double high) {
  std::vector<double> v(kCount);
  for (int i = 0; i < kCount; ++i) {
    const double u = i * 0.6180339887 - std::floor(i * 0.6180339887);  // well spread in [0, 1)
    v[i] = low * std::pow(high / low, u);
  }
  return v;
}

void BM_TTail(benchmark::State& state) {
  const long df = state.range(0);
  const std::vector<double> t = spread(0.05, 12.0);
  for (auto _ : state)
    for (double x : t) benchmark::DoNotOptimize(zpgt2(x * x, df));
  state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_TTail)->Arg(5)->Arg(30)->Arg(1000);

void BM_FTail(benchmark::State& state) {
  const double ddf = static_cast<double>(state.range(0));
  const std::vector<double> f = spread(0.05, 40.0);
  for (auto _ : state)
    for (double x : f) benchmark::DoNotOptimize(zprbf(x, 3.0, ddf));
  state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_FTail)->Arg(10)->Arg(100)->Arg(1000);

void BM_NormalQuantile(benchmark::State& state) {
  std::vector<double> p = spread(1e-12, 0.5);
  for (int i = 0; i < kCount; i += 2) p[i] = 1.0 - p[i];  // both tails
  for (auto _ : state)
    for (double x : p) benchmark::DoNotOptimize(zprobit(x));
  state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_NormalQuantile);

}  // namespace

BENCHMARK_MAIN();
