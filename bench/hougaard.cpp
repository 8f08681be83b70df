// Hougaard skewness: one observation's accumulation, as the last data pass
// makes it for every used observation, against the term-by-term sum over
// i, j <= k and l (about p^4/2 multiply-adds) that it replaces.
#include <random>
#include <vector>

#include "bench_host.h"
#include "linalg/packed.h"
#include "results/hougaard.h"

namespace {

struct Observation {
  std::vector<double> c, jac, h, sums;
  explicit Observation(int p) : c(zisub(p, 0)), jac(p), h(zisub(p, 0)), sums(p, 0.0) {
    std::mt19937_64 rng(p);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (double& v : c) v = u(rng);
    for (double& v : jac) v = u(rng);
    for (double& v : h) v = u(rng);
  }
};

void BM_HougaardObservation(benchmark::State& state) {
  const int p = static_cast<int>(state.range(0));
  Observation ob(p);
  for (auto _ : state) {
    jovhoug(p, ob.jac.data(), ob.h.data(), ob.c.data(), ob.sums.data(), 0.0, 0);
    benchmark::DoNotOptimize(ob.sums.data());
  }
}
BENCHMARK(BM_HougaardObservation)->Arg(5)->Arg(20)->Arg(50);

void BM_HougaardTermByTerm(benchmark::State& state) {
  const int p = static_cast<int>(state.range(0));
  Observation ob(p);
  const double* c = ob.c.data();
  const double* h = ob.h.data();
  const double* jac = ob.jac.data();
  for (auto _ : state) {
    for (int i = 0; i < p; ++i)
      for (int j = 0; j < p; ++j)
        for (int k = j; k < p; ++k) {
          const double w = jac[i] * h[zisub(j, k)] + jac[j] * h[zisub(i, k)] + jac[k] * h[zisub(i, j)];
          const double f = j == k ? 1.0 : 2.0;
          for (int l = 0; l < p; ++l) ob.sums[l] += f * w * c[zisub(l, i)] * c[zisub(l, j)] * c[zisub(l, k)];
        }
    benchmark::DoNotOptimize(ob.sums.data());
  }
}
BENCHMARK(BM_HougaardTermByTerm)->Arg(5)->Arg(20)->Arg(50);

}  // namespace

RUVA_BENCHMARK_MAIN();
