// The symmetric eigen-solver (all values and vectors) and the singular value
// decomposition (U and V) at 50 and 200 rows, against the reference LAPACK's
// packed eigen-solver dspev and its dgesvd on the same matrices.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <random>
#include <vector>

#include "linalg/svd.h"
#include "linalg/symmetric_eigen.h"

extern "C" {
void dspev_(const char* jobz, const char* uplo, const int* n, double* ap, double* w, double* z,
            const int* ldz, double* work, int* info, std::size_t, std::size_t);
void dgesvd_(const char* jobu, const char* jobvt, const int* m, const int* n, double* a,
             const int* lda, double* s, double* u, const int* ldu, double* vt, const int* ldvt,
             double* work, const int* lwork, int* info, std::size_t, std::size_t);
}

namespace {

std::vector<double> random_values(std::size_t count) {
  std::mt19937_64 gen(2024);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> a(count);
  for (double& x : a) x = u(gen);
  return a;
}

void BM_EigenOurs(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto matrix = random_values(static_cast<std::size_t>(n) * (n + 1) / 2);
  std::vector<double> sym, val(n), vec(static_cast<std::size_t>(n) * n), work(9 * n);
  for (auto _ : state) {
    sym = matrix;
    benchmark::DoNotOptimize(zeigen2(n, sym.data(), val.data(), n, vec.data(), work.data()));
  }
}

void BM_EigenLapack(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto matrix = random_values(static_cast<std::size_t>(n) * (n + 1) / 2);
  std::vector<double> ap, w(n), z(static_cast<std::size_t>(n) * n), work(3 * n);
  int info = 0;
  for (auto _ : state) {
    ap = matrix;
    dspev_("V", "U", &n, ap.data(), w.data(), z.data(), &n, work.data(), &info, 1, 1);
    benchmark::DoNotOptimize(info);
  }
}

void BM_SvdOurs(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto matrix = random_values(static_cast<std::size_t>(n) * n);
  std::vector<double> u, v(static_cast<std::size_t>(n) * n), q(n), e(n);
  for (auto _ : state) {
    u = matrix;
    benchmark::DoNotOptimize(zsvd(n, n, u.data(), v.data(), q.data(), e.data()));
  }
}

void BM_SvdLapack(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto matrix = random_values(static_cast<std::size_t>(n) * n);
  std::vector<double> a, s(n), u(static_cast<std::size_t>(n) * n), vt(u.size());
  int lwork = -1, info = 0;
  double query = 0;
  a = matrix;
  dgesvd_("S", "A", &n, &n, a.data(), &n, s.data(), u.data(), &n, vt.data(), &n, &query, &lwork,
          &info, 1, 1);
  lwork = static_cast<int>(query);
  std::vector<double> work(lwork);
  for (auto _ : state) {
    a = matrix;
    dgesvd_("S", "A", &n, &n, a.data(), &n, s.data(), u.data(), &n, vt.data(), &n, work.data(),
            &lwork, &info, 1, 1);
    benchmark::DoNotOptimize(info);
  }
}

BENCHMARK(BM_EigenOurs)->Arg(50)->Arg(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EigenLapack)->Arg(50)->Arg(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SvdOurs)->Arg(50)->Arg(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SvdLapack)->Arg(50)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
