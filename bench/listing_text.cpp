// The listing and the JSON of a 100,000-row Output Statistics table
// (`output out=o j=j;` on 100,000 observations) through the ruva binary,
// side by side with a baseline build: the text of both outputs is printable
// ASCII, which the listing shows without escaping or measuring it. Each
// round runs both binaries in turn and takes the processor time (user and
// system) of each run; the medians and their ratio are reported. Target:
// the listing within 1.05 times the build from before the escaping of
// control characters and the measuring of terminal columns.
//
// On the 8-core development machine, shared (medians of 7, processor time;
// instructions counted by callgrind in brackets), against a build of commit
// 80adb7c, the last before the escaping:
//   listing  before the escaping 272 ms [2,458 M], with escaping and column
//            measuring on every byte 405 ms (1.49 times) [4,087 M], with the
//            fast path for printable ASCII 271 ms (1.00 times) [2,479 M];
//            the listing's own part [1,162 M, 2,790 M, 1,181 M]
//   JSON     (the listing goes to standard output too) 351 ms [3,274 M],
//            452 ms (1.29 times) [4,577 M], 320 ms (0.91 times) [2,969 M]:
//            the slowing was the listing's; the JSON's own part has since
//            fallen from 801 M to 475 M
//
//   RUVA_BASELINE_BINARY=/path/to/old/ruva build/bench_listing_text
// The binary under test is the one beside this benchmark, or the one
// RUVA_BINARY names; without a baseline only it is timed.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "binary_runs.h"

namespace {

namespace fs = std::filesystem;
using binary_runs::binary;
using binary_runs::median;
using binary_runs::run_quietly;
using binary_runs::write_file;

constexpr int kRounds = 7;

const fs::path& work_dir() { return binary_runs::work_dir("ruva-listing-text"); }

void write_inputs() {
  std::ostringstream csv;
  csv.precision(8);
  csv << "x,y\n";
  for (int i = 0; i < 100'000; ++i) {
    const double x = (i % 1000) / 50.0;
    csv << x << ',' << 10 * (1 - std::exp(-0.3 * x)) + 0.2 * std::sin(12.9898 * i) << '\n';
  }
  write_file(work_dir() / "big.csv", csv.str());
  write_file(work_dir() / "big.ruva",
             "proc ruva data=big;\n  parms a=10 b=.3;\n  model y=a*(1-exp(-b*x));\n  output out=o j=j;\nrun;\n");
}

// Runs `bin` with `args` in the work folder, standard output and error to
// /dev/null; the processor time of the run in milliseconds, or -1 when it
// failed.
double cpu_milliseconds(const std::string& bin, const std::vector<std::string>& args) {
  return binary_runs::cpu_milliseconds(run_quietly(bin, args, work_dir()));
}

// The binary under test and the baseline run in turn, kRounds times.
void side_by_side(benchmark::State& state, const std::vector<std::string>& args) {
  static const bool written = (write_inputs(), true);
  (void)written;
  const char* baseline = std::getenv("RUVA_BASELINE_BINARY");
  std::vector<double> now, before;
  for (auto _ : state) {
    for (int r = 0; r < kRounds; ++r) {
      now.push_back(cpu_milliseconds(binary().string(), args));
      if (baseline) before.push_back(cpu_milliseconds(baseline, args));
    }
  }
  if (std::find(now.begin(), now.end(), -1.0) != now.end() ||
      std::find(before.begin(), before.end(), -1.0) != before.end()) {
    state.SkipWithError("a binary failed on big.ruva");
    return;
  }
  state.counters["cpu_ms"] = median(now);
  if (!baseline) return;
  state.counters["baseline_cpu_ms"] = median(before);
  state.counters["ratio"] = median(now) / median(before);
}

void OutputStatisticsListing(benchmark::State& state) {
  side_by_side(state, {"--listing", "l.lst", "--log", "l.log", "big.ruva"});
}
BENCHMARK(OutputStatisticsListing)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The JSON run writes the listing too, to standard output.
void OutputStatisticsJson(benchmark::State& state) {
  side_by_side(state, {"--json", "l.json", "--log", "l.log", "big.ruva"});
}
BENCHMARK(OutputStatisticsJson)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
