// Whole runs of the ruva binary with every graph, --graphs and --html,
// against the same runs without graphs: their peak memory (the child's
// maximum resident set), the largest SVG file and the report. Three runs:
// 200,000 observations with PLOTS=ALL, 10,000 BY groups of 10 observations
// with PLOTS=ALL, and 1,000,000 bootstrap samples with BOOTPLOTS(ALL); and
// the first with --json against without it.
// Targets: each run with graphs within 300 MB of the same run without, no
// SVG above 5 MB, and every report under 50 MB: the BY groups' tables and
// graphs take about 90 KB a group, so the report of 10,000 groups stops
// embedding them at its 50,000,000-byte budget (report_MB counts 2^20
// bytes).
//
// On the 8-core development machine, shared (peak with graphs against
// without, largest SVG, report, time with graphs):
//   200,000 observations   58 MB against 16 MB, 500 KB, 1.2 MB, 0.6 s
//                          (before: 1,513 MB, 182 MB, 306 MB, 14.5 s, every
//                          point drawn one by one and every output kept)
//   10,000 BY groups       16 MB against 13 MB, 48 KB, 48.2 MB, 40 s
//                          (before the budget: the same memory and a
//                          983 MB report; before that, 637 MB of memory at
//                          1,000 groups already, growing with each group)
//   1,000,000 bootstrap    95 MB against 9 MB, 35 KB, 0.1 MB, 12 s
//                          (before: 1,204 MB, 86 MB, 92 MB, 21.4 s)
//
// The binary is the one beside this benchmark, or the one RUVA_BINARY names.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "binary_runs.h"

namespace {

namespace fs = std::filesystem;

using binary_runs::binary;
using binary_runs::ChildRun;
using binary_runs::run_quietly;
using binary_runs::write_file;
const fs::path& work_dir() { return binary_runs::work_dir("ruva-graph-memory"); }

// Runs the binary with `args` in the work folder, under a 6 GB address
// space so that a runaway cannot take the machine; its peak resident set
// in megabytes, or -1 when it failed.
double peak_megabytes(const std::vector<std::string>& args) {
  const ChildRun run = run_quietly(binary().string(), args, work_dir(), 6'000'000'000);
  return run.succeeded(1) ? static_cast<double>(run.usage.ru_maxrss) / 1024 : -1;
}

// The program `name`.ruva run with graphs (timed) and without; the
// counters say what the targets measure.
void run_with_and_without_graphs(benchmark::State& state, const std::string& name) {
  const std::string program = name + ".ruva", graphs = name + "-graphs", report = name + ".html";
  const double without = peak_megabytes({"--work", ".", program});
  double with = 0;
  for (auto _ : state) {
    fs::remove_all(work_dir() / graphs);
    with = peak_megabytes({"--work", ".", "--graphs", graphs, "--html", report, program});
  }
  if (with < 0 || without < 0) {
    state.SkipWithError(("the binary failed on " + program).c_str());
    return;
  }
  std::uintmax_t largest = 0;
  for (const auto& file : fs::directory_iterator(work_dir() / graphs)) largest = std::max(largest, file.file_size());
  state.counters["peak_MB"] = with;
  state.counters["peak_without_graphs_MB"] = without;
  state.counters["graphs_extra_MB"] = with - without;
  state.counters["largest_svg_KB"] = static_cast<double>(largest) / 1024;
  state.counters["report_MB"] = static_cast<double>(fs::file_size(work_dir() / report)) / (1024 * 1024);
}

// A saturating curve with noise that looks normal enough, and a few
// observations far off it.
std::string observations(int n) {
  std::ostringstream csv;
  csv.precision(10);
  csv << "x,y\n";
  for (int i = 0; i < n; ++i) {
    const double x = 10.0 * i / n, u = std::fmod(i * 0.6180339887498949, 1.0), v = std::fmod(i * 0.7548776662466927, 1.0);
    const double noise = std::sqrt(-2 * std::log(1 - u)) * std::cos(6.283185307179586 * v);
    csv << x << ',' << 20 * (1 - std::exp(-0.5 * x)) + noise + (i % 10007 == 3 ? 8 : 0) << '\n';
  }
  return csv.str();
}

void ManyObservations(benchmark::State& state) {
  write_file(work_dir() / "obs.csv", observations(200'000));
  write_file(work_dir() / "obs.ruva",
             "proc ruva data=obs plots=all;\n  parms a = 20 b = 0.5;\n  model y = a*(1 - exp(-b*x));\nrun;\n");
  run_with_and_without_graphs(state, "obs");
}
BENCHMARK(ManyObservations)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The same observations with --json (timed) against without it: the JSON
// stream writes the graphs' data, the Output Statistics and score tables,
// row by row. Target: it takes less memory than the bytes it writes.
//   200,000 observations   38 MB against 16 MB, 60 MB written, 0.7 s
//                          (before: 427 MB, the rows held as cells, a
//                          tree of values and a line of text, 1.1 s)
void ManyObservationsJson(benchmark::State& state) {
  write_file(work_dir() / "obs.csv", observations(200'000));
  write_file(work_dir() / "obsj.ruva",
             "proc ruva data=obs plots=all;\n  parms a = 20 b = 0.5;\n  model y = a*(1 - exp(-b*x));\nrun;\n");
  const double without = peak_megabytes({"--work", ".", "obsj.ruva"});
  double with = 0;
  for (auto _ : state) with = peak_megabytes({"--work", ".", "--json", "obsj.json", "obsj.ruva"});
  if (with < 0 || without < 0) {
    state.SkipWithError("the binary failed on obsj.ruva");
    return;
  }
  const double written = static_cast<double>(fs::file_size(work_dir() / "obsj.json")) / (1024 * 1024);
  state.counters["peak_MB"] = with;
  state.counters["peak_without_json_MB"] = without;
  state.counters["json_extra_MB"] = with - without;
  state.counters["json_written_MB"] = written;
}
BENCHMARK(ManyObservationsJson)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void ManyByGroups(benchmark::State& state) {
  std::ostringstream csv;
  csv.precision(10);
  csv << "g,x,y\n";
  for (int g = 0; g < 10'000; ++g)
    for (int i = 0; i < 10; ++i) {
      const double x = 0.5 * i;
      csv << g << ',' << x << ',' << (3 + 0.001 * g) * std::exp(-0.3 * x) + 0.02 * std::sin(7.1 * (10 * g + i)) << '\n';
    }
  write_file(work_dir() / "groups.csv", csv.str());
  write_file(work_dir() / "groups.ruva",
             "proc ruva data=groups plots=all;\n  by g;\n  parms a = 2 b = 0.2;\n  model y = a*exp(-b*x);\nrun;\n");
  run_with_and_without_graphs(state, "groups");
}
BENCHMARK(ManyByGroups)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void ManyBootstrapSamples(benchmark::State& state) {
  write_file(work_dir() / "bod.csv", "time,demand\n1,8.3\n2,10.3\n3,19.0\n4,16.0\n5,15.6\n7,19.8\n");
  write_file(work_dir() / "boot.ruva",
             "proc ruva data=bod;\n  parms a = 20 b = 0.5;\n  model demand = a*(1 - exp(-b*time));\n"
             "  bootstrap / seed=1967 nsamples=1000000 bootplots(all);\nrun;\n");
  run_with_and_without_graphs(state, "boot");
}
BENCHMARK(ManyBootstrapSamples)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
