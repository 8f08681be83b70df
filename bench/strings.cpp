// Throughput of the string helpers on the inputs they meet most: long
// blank-padded fields and case-blind keyword comparison.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "host/narrow_strings.h"
#include "host/wide_strings.h"

namespace {

// A field of `range(0)` bytes holding 8 characters and blanks after them.
void BM_wzstrip(benchmark::State& state) {
  std::string field = "ABCDEFGH" + std::string(static_cast<std::size_t>(state.range(0)) - 8, ' ');
  for (auto _ : state) {
    int n = wzstrip(field.data(), static_cast<int>(field.size()));
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_wzstrip)->Arg(32)->Arg(256)->Arg(4096);

std::vector<QXChar> wide(const std::string& s) { return {s.begin(), s.end()}; }

void BM_qxzsncmp_case_only(benchmark::State& state) {
  const auto a = wide(std::string(static_cast<std::size_t>(state.range(0)), 'm'));
  const auto b = wide(std::string(static_cast<std::size_t>(state.range(0)), 'M'));
  for (auto _ : state) {
    int r = qxzsncmp(a.data(), static_cast<QXStrSize>(a.size()), b.data(),
                     static_cast<QXStrSize>(b.size()));
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_qxzsncmp_case_only)->Arg(32)->Arg(1024);

void BM_qxzstlo(benchmark::State& state) {
  const auto source = wide(std::string(static_cast<std::size_t>(state.range(0)), 'Q'));
  auto text = source;
  for (auto _ : state) {
    text = source;
    qxzstlo(text.data(), static_cast<QXStrSize>(text.size()));
    benchmark::DoNotOptimize(text.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_qxzstlo)->Arg(1024);

}  // namespace

BENCHMARK_MAIN();
