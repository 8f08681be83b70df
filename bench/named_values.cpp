// Named-value reads on the paths the random-number library's message gate
// and the threaded sweep take on every call.
#include <benchmark/benchmark.h>

#include <sstream>

#include "host/named_values.h"
#include "host/kernel_text_literals.h"
#include "platform/host.h"

namespace {

void BM_IntegerRead(benchmark::State& state) {
  std::ostringstream log, listing;
  platform::Host host({&log, &listing});
  for (auto _ : state) benchmark::DoNotOptimize(qxnrlget(qx_text(U"host.cpucount"), 13, 1));
}
BENCHMARK(BM_IntegerRead);

void BM_KeywordLookupOfAnUnsetName(benchmark::State& state) {
  std::ostringstream log, listing;
  platform::Host host({&log, &listing});
  for (auto _ : state)
    benchmark::DoNotOptimize(qxnrlook(qx_text(U"OSENV.KOV_RNG_MESSAGES"), 0, 4, qx_text(U"NO"), 9,
                                      qx_text(U"ERROR"), 4, qx_text(U"NOTE"), 2, nullptr));
}
BENCHMARK(BM_KeywordLookupOfAnUnsetName);

void BM_Countdown(benchmark::State& state) {
  std::ostringstream log, listing;
  platform::Host host({&log, &listing});
  for (auto _ : state) benchmark::DoNotOptimize(qxnrlimit(qx_text(U"bench.limit"), 0, 1000000000));
}
BENCHMARK(BM_Countdown);

}  // namespace

BENCHMARK_MAIN();
