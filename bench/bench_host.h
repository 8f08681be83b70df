// Benchmarks run the kernels inside a host (services, pools, the kernel
// library), as the procedure does; this main() provides it.
#pragma once

#include <benchmark/benchmark.h>

#include <sstream>

#include "platform/host.h"

#define RUVA_BENCHMARK_MAIN()                              \
  int main(int argc, char** argv) {                        \
    std::ostringstream log, listing;                       \
    platform::Host host({&log, &listing});                 \
    benchmark::Initialize(&argc, argv);                    \
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1; \
    benchmark::RunSpecifiedBenchmarks();                   \
    benchmark::Shutdown();                                 \
    return 0;                                              \
  }
