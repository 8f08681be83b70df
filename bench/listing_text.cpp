// The listing and the JSON of a 100,000-row Output Statistics table
// (`output out=o j=j;` on 100,000 observations) through the ruva binary,
// side by side with a baseline build, and the same step under NOPRINT,
// which lists nothing and writes the same data set. Each round runs both
// binaries in turn and takes the processor time (user and system) of each
// run; the medians and their ratio are reported, and for a listing the
// processor time per byte listed and its ratio. Targets: NOPRINT within
// 1.05 times the baseline, a listing within 1.05 times per byte listed.
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
// Against a build of commit f14bd22, the step above as the issue gave it
// (`parms a=20 b=0.5; model demand=a*(1-exp(-b*time));`), instructions by
// callgrind:
//   NOPRINT  f14bd22 listed the table all the same [2,409 M]; 53c1b96 did
//            too, with the residuals added [3,376 M, 1.40 times]; now
//            nothing is formatted or kept [1,109 M, 0.46 times]
//   listing  f14bd22 [2,419 M for 9.67 MB, 250 per byte]; 53c1b96 [3,387 M
//            for 11.30 MB, 300 per byte, 1.20 times]; now, numbers
//            formatted by std::to_chars and no column kept that nothing
//            reads [2,252 M for 10.67 MB, 211 per byte, 0.84 times]
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
#include <system_error>
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
  csv << "time,demand\n";
  for (int i = 0; i < 100'000; ++i) {
    const double t = (i % 1000) / 50.0;
    csv << t << ',' << 20 * (1 - std::exp(-0.5 * t)) + 0.3 * std::sin(12.9898 * i) << '\n';
  }
  write_file(work_dir() / "big.csv", csv.str());
  const std::string step = "; parms a=20 b=0.5; model demand=a*(1-exp(-b*time)); output out=o j=j; run;\n";
  write_file(work_dir() / "big.ruva", "proc ruva data=big" + step);
  write_file(work_dir() / "quiet.ruva", "proc ruva data=big noprint" + step);
}

// One run of `bin` in the work folder: its processor time in milliseconds
// (-1 when it failed) and the bytes of the listing file it wrote.
struct Run {
  double ms = -1;
  double listed = 0;
};

Run timed(const std::string& bin, const std::vector<std::string>& args) {
  Run run{binary_runs::cpu_milliseconds(run_quietly(bin, args, work_dir())), 0};
  std::error_code ec;
  const auto bytes = fs::file_size(work_dir() / "l.lst", ec);
  run.listed = ec ? 0 : static_cast<double>(bytes);
  fs::remove(work_dir() / "l.lst", ec);
  return run;
}

// The binary under test and the baseline run in turn, kRounds times.
void side_by_side(benchmark::State& state, const std::vector<std::string>& args) {
  static const bool written = (write_inputs(), true);
  (void)written;
  const char* baseline = std::getenv("RUVA_BASELINE_BINARY");
  std::vector<double> now, before;
  double listed_now = 0, listed_before = 0;
  for (auto _ : state) {
    for (int r = 0; r < kRounds; ++r) {
      const Run n = timed(binary().string(), args);
      now.push_back(n.ms);
      listed_now = n.listed;
      if (!baseline) continue;
      const Run b = timed(baseline, args);
      before.push_back(b.ms);
      listed_before = b.listed;
    }
  }
  if (std::find(now.begin(), now.end(), -1.0) != now.end() ||
      std::find(before.begin(), before.end(), -1.0) != before.end()) {
    state.SkipWithError("a binary failed on the step");
    return;
  }
  state.counters["cpu_ms"] = median(now);
  state.counters["listed_mb"] = listed_now / 1e6;
  if (!baseline) return;
  state.counters["baseline_cpu_ms"] = median(before);
  state.counters["baseline_listed_mb"] = listed_before / 1e6;
  state.counters["ratio"] = median(now) / median(before);
  if (listed_now > 0 && listed_before > 0)
    state.counters["ratio_per_byte"] = (median(now) / listed_now) / (median(before) / listed_before);
}

void OutputStatisticsListing(benchmark::State& state) {
  side_by_side(state, {"--listing", "l.lst", "--log", "l.log", "big.ruva"});
}
BENCHMARK(OutputStatisticsListing)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// Nothing listed: the baseline lists the table under NOPRINT too.
void OutputStatisticsNoprint(benchmark::State& state) {
  side_by_side(state, {"--listing", "l.lst", "--log", "l.log", "quiet.ruva"});
}
BENCHMARK(OutputStatisticsNoprint)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The JSON run writes the listing too, to standard output.
void OutputStatisticsJson(benchmark::State& state) {
  side_by_side(state, {"--json", "l.json", "--log", "l.log", "big.ruva"});
}
BENCHMARK(OutputStatisticsJson)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
