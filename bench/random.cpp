// Uniform doubles per second: the procedure's random stream (default method
// and MT64) filling a buffer as the bootstrap does, and drawing one at a
// time, against the standard library's 64-bit Mersenne Twister with its
// uniform distribution. Floor: the stream's fill at least as fast as the
// standard engine.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include "host/named_values.h"
#include "host/qx_text.h"
#include "platform/host.h"
#include "random/zmrsrnd.h"

namespace {

constexpr int kBuffer = 4096;

struct Stream {
  std::ostringstream log, listing;
  platform::Host host{{&log, &listing}};
  std::unique_ptr<MERSENNE_RAND> q = std::make_unique<MERSENNE_RAND>();
  std::vector<double> buffer = std::vector<double>(kBuffer);
  explicit Stream(const char32_t* method) {
    qxnrtset(qx_text(U"OSENV.KOV_RNG_METHOD"), 0, qx_text(method), 0);
    q->UserSeed = 12345;
    zmrsrnd(q.get());
    q->VBuffer = buffer.data();
    q->NBuffer = kBuffer;
  }
};

void fill_stream(benchmark::State& state, const char32_t* method) {
  Stream s(method);
  for (auto _ : state) {
    s.q->FillTheBufferUNIFORM(s.q.get());
    benchmark::DoNotOptimize(s.buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBuffer);
}

void BM_StreamFillUniform_MTHYBRID(benchmark::State& state) {
  fill_stream(state, U"MTHYBRID");
}
BENCHMARK(BM_StreamFillUniform_MTHYBRID);

void BM_StreamFillUniform_MT64(benchmark::State& state) {
  fill_stream(state, U"MT64");
}
BENCHMARK(BM_StreamFillUniform_MT64);

void BM_StreamOneUniform_MTHYBRID(benchmark::State& state) {
  Stream s(U"MTHYBRID");
  for (auto _ : state) benchmark::DoNotOptimize(s.q->rangen(s.q->Blob));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StreamOneUniform_MTHYBRID);

void BM_StdMt19937_64Uniform(benchmark::State& state) {
  std::mt19937_64 engine(12345);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::vector<double> buffer(kBuffer);
  for (auto _ : state) {
    for (double& x : buffer) x = uniform(engine);
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBuffer);
}
BENCHMARK(BM_StdMt19937_64Uniform);

}  // namespace

BENCHMARK_MAIN();
