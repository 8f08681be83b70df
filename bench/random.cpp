// Uniform doubles per second: the procedure's random stream filling a
// buffer as the bootstrap does, under every available method, and drawing
// one at a time, against the standard library's 64-bit Mersenne Twister
// with its uniform distribution; then variates per second from buffer
// fills with fixed parameters (set-ups cached). Floor: the stream's fill
// under the default method at least as fast as the standard engine.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host/kernel_text_literals.h"
#include "host/named_values.h"
#include "platform/host.h"
#include "random/random_record.h"

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

const char32_t* const kMethods[] = {U"MTHYBRID", U"MT1998",   U"MT32",    U"MT64",
                                    U"SUBKEY32", U"SUBKEY64", U"MH3",     U"XOR64",
                                    U"XOR128",   U"XOR1024",  U"XOR4096", U"FRY2X32",
                                    U"FRY2X64",  U"FRY4X64",  U"PCG32I",  U"PCG64I"};

const bool kMethodBenchmarks = [] {
  for (const char32_t* method : kMethods) {
    const std::u32string name = std::u32string(U"BM_StreamFillUniform/") + method;
    benchmark::RegisterBenchmark(std::string(name.begin(), name.end()).c_str(),
                                 [method](benchmark::State& state) { fill_stream(state, method); });
  }
  return true;
}();

// One buffer of a variate with fixed parameters, from the default method.
template <class Fill>
void fill_variate(benchmark::State& state, Fill fill) {
  Stream s(U"MTHYBRID");
  for (auto _ : state) {
    fill(s.q.get());
    benchmark::DoNotOptimize(s.buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBuffer);
}

void BM_FillNormal(benchmark::State& state) {
  fill_variate(state, [](MERSENNE_RAND* q) { return q->FillTheBufferNORMAL(q); });
}
BENCHMARK(BM_FillNormal);
void BM_FillGamma2_5(benchmark::State& state) {
  fill_variate(state, [](MERSENNE_RAND* q) { return q->FillTheBufferGAMMA(q, 2.5); });
}
BENCHMARK(BM_FillGamma2_5);
void BM_FillGamma0_4(benchmark::State& state) {
  fill_variate(state, [](MERSENNE_RAND* q) { return q->FillTheBufferGAMMA(q, 0.4); });
}
BENCHMARK(BM_FillGamma0_4);
void BM_FillBeta2_3(benchmark::State& state) {
  fill_variate(state, [](MERSENNE_RAND* q) { return q->FillTheBufferBETA(q, 2, 3); });
}
BENCHMARK(BM_FillBeta2_3);
void BM_FillBeta0_4_0_7(benchmark::State& state) {
  fill_variate(state, [](MERSENNE_RAND* q) { return q->FillTheBufferBETA(q, 0.4, 0.7); });
}
BENCHMARK(BM_FillBeta0_4_0_7);
void BM_FillT5(benchmark::State& state) {
  fill_variate(state, [](MERSENNE_RAND* q) { return q->FillTheBufferT(q, 5); });
}
BENCHMARK(BM_FillT5);
void BM_FillBinomial40(benchmark::State& state) {
  fill_variate(state, [](MERSENNE_RAND* q) { return q->FillTheBufferBINOMIAL(q, 40, 0.3); });
}
BENCHMARK(BM_FillBinomial40);
void BM_FillPoisson12_25(benchmark::State& state) {
  fill_variate(state, [](MERSENNE_RAND* q) { return q->FillTheBufferPOISSON(q, 12.25); });
}
BENCHMARK(BM_FillPoisson12_25);
void BM_FillNegBinomial(benchmark::State& state) {
  fill_variate(state, [](MERSENNE_RAND* q) { return q->FillTheBufferNEGBINOMIAL(q, 0.3, 2.5); });
}
BENCHMARK(BM_FillNegBinomial);

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
