// The sweep: a full single-threaded sweep against the reference LAPACK
// inverse (dpptrf + dpptri on the same packed layout), and the threaded
// sweep with 1, 2, 4 and 8 threads. Every iteration first copies the
// matrix back, in both the sweep and the LAPACK runs.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_host.h"
#include "linalg/packed.h"
#include "linalg/worker_pool_client.h"
#include "linalg/sweep.h"

extern "C" {
void dpptrf_(const char* uplo, const int* n, double* ap, int* info, std::size_t uplo_len);
void dpptri_(const char* uplo, const int* n, double* ap, int* info, std::size_t uplo_len);
}

namespace {

std::vector<double> spd_matrix(int n) {
  std::mt19937_64 rng(n);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> x(static_cast<std::size_t>(n) * (n + 1) / 2);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) x[zisub(i, j)] = i == j ? n + 1.0 + u(rng) : u(rng);
  return x;
}

void run_sweep(benchmark::State& state, int n, int threads) {
  const std::vector<double> original = spd_matrix(n);
  std::vector<double> x(original.size()), work(n);
  std::string df(n, '0');
  for (auto _ : state) {
    std::memcpy(x.data(), original.data(), x.size() * sizeof(double));
    const int swept = zsweepr(x.data(), 0, n - 1, n, df.data(), nullptr, work.data(), 1e-12,
                              nullptr, "0", nullptr, threads);
    if (swept != n) state.SkipWithError("not every pivot was swept");
    benchmark::DoNotOptimize(x.data());
  }
}

void BM_SweepSingle(benchmark::State& state) { run_sweep(state, state.range(0), 0); }
BENCHMARK(BM_SweepSingle)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_LapackInverse(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  const std::vector<double> original = spd_matrix(n);
  std::vector<double> x(original.size());
  for (auto _ : state) {
    std::memcpy(x.data(), original.data(), x.size() * sizeof(double));
    int info = 0;
    dpptrf_("U", &n, x.data(), &info, 1);
    dpptri_("U", &n, x.data(), &info, 1);
    if (info != 0) state.SkipWithError("not positive definite");
    benchmark::DoNotOptimize(x.data());
  }
}
BENCHMARK(BM_LapackInverse)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond);

// Threads 1 is the single-threaded sweep, the baseline of the speed-up.
void BM_SweepThreads(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(1));
  run_sweep(state, state.range(0), threads == 1 ? 0 : threads);
}
BENCHMARK(BM_SweepThreads)
    ->ArgsProduct({{251, 300, 400, 500, 1000}, {1, 2, 4, 8}})
    ->ArgNames({"rows", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SweepThreads)
    ->ArgsProduct({{2000}, {1, 2, 4, 8}})
    ->ArgNames({"rows", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// The fixed cost a threaded step adds: queue one empty request per thread
// and wait for all of them (the floor under the threaded step's speed-up).
void do_nothing(QXMemPtr, QXGenerich, QXThreadh, TPDLCallBacksp) {}
void BM_PoolRoundTrip(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  PuddleControl pool{};
  if (zpudi(&pool, threads, 0, reinterpret_cast<void*>(&do_nothing)) != 0) {
    state.SkipWithError("no worker pool");
    return;
  }
  int requests[8];
  for (auto _ : state) {
    for (int i = 0; i < threads; ++i) zpudenq(&pool, &requests[i]);
    zpudwt(&pool);
  }
  zpudt(&pool);
}
BENCHMARK(BM_PoolRoundTrip)->DenseRange(1, 8)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

RUVA_BENCHMARK_MAIN()
