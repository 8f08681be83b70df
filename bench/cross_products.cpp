// The data pass's inner kernel: one observation's weighted cross-products
// added into the bordered packed matrix, for 5 to 50 variables.
// Floor written by hand: nv(nv+1)/2 multiply-adds per call.
#include <random>
#include <vector>

#include "bench_host.h"
#include "linalg/vector_kernels.h"

namespace {

void BM_zscp(benchmark::State& state) {
  const int nv = static_cast<int>(state.range(0));
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<std::vector<double>> observations(64, std::vector<double>(nv));
  for (auto& o : observations)
    for (double& v : o) v = u(rng);
  std::vector<double> sscp(static_cast<std::size_t>(nv) * (nv + 1) / 2, 0.0);
  std::size_t next = 0;
  for (auto _ : state) {
    zscp(observations[next].data(), nv, 1.5, sscp.data());
    next = (next + 1) & 63;
    benchmark::DoNotOptimize(sscp.data());
  }
  state.counters["cells/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * sscp.size(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_zscp)->Arg(5)->Arg(10)->Arg(20)->Arg(30)->Arg(40)->Arg(50);

}  // namespace

RUVA_BENCHMARK_MAIN()
