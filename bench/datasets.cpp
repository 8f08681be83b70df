// One pass over 1,000,000 records of 5 numeric variables: loading the CSV
// file into memory (once per step), then scanning it as a data pass does
// (rewind the group, read each record, gather the 5 values), against a
// hand-written floor that copies the same values out of a plain array. And
// loading files whose header names very many variables.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "host/services.h"
#include "platform/host.h"

namespace {

constexpr int kRecords = 1'000'000;
constexpr int kVariables = 5;
const char* const kNames[kVariables] = {"x1", "x2", "x3", "x4", "x5"};

// The data: random doubles in their shortest round-trip form, written once.
struct Data {
  std::filesystem::path dir;
  std::vector<double> values;  // row-major, for the floor
  std::uintmax_t bytes = 0;

  Data() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ruva-bench-XXXXXX").string();
    dir = mkdtemp(pattern.data());
    std::mt19937_64 rng(7);
    std::normal_distribution<double> normal(10.0, 3.0);
    values.resize(static_cast<std::size_t>(kRecords) * kVariables);
    std::ofstream out(dir / "big.csv", std::ios::binary);
    out << "x1,x2,x3,x4,x5\n";
    char buffer[32];
    for (std::size_t i = 0; i < values.size(); ++i) {
      values[i] = normal(rng);
      out.write(buffer, std::to_chars(buffer, buffer + 32, values[i]).ptr - buffer);
      out.put((i + 1) % kVariables ? ',' : '\n');
    }
    out.close();
    bytes = std::filesystem::file_size(dir / "big.csv");
  }
  ~Data() { std::filesystem::remove_all(dir); }
};

Data& data() {
  static Data d;
  return d;
}

platform::Host& host() {
  static std::ostringstream log, listing;
  static platform::Host h({&log, &listing});
  h.libraries().set_work(data().dir);
  return h;
}

void BM_LoadCsv(benchmark::State& state) {
  platform::Host& h = host();
  for (auto _ : state) {
    platform::DataSets step_data_sets(h.libraries());
    XO_FILE* f = step_data_sets.open_input("big");
    if (!f) state.SkipWithError("the data set did not load");
    benchmark::DoNotOptimize(f);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data().bytes));
}
BENCHMARK(BM_LoadCsv)->Unit(benchmark::kMillisecond);

// A wide file: a header of state.range(0) variables and two records. The
// load should grow about linearly with the number of variables.
void BM_LoadWideHeader(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::string name = "wide" + std::to_string(n);
  {
    std::ofstream out(data().dir / (name + ".csv"), std::ios::binary);
    for (int row = 0; row < 3; ++row)
      for (int k = 1; k <= n; ++k)
        out << (row == 0 ? "v" + std::to_string(k) : std::to_string(k + row)) << (k < n ? ',' : '\n');
  }
  platform::Host& h = host();
  for (auto _ : state) {
    platform::DataSets step_data_sets(h.libraries());
    XO_FILE* f = step_data_sets.open_input(name);
    if (!f) state.SkipWithError("the data set did not load");
    benchmark::DoNotOptimize(f);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_LoadWideHeader)->Arg(20'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// The read loop of a data pass through the host services.
void BM_PassThroughServices(benchmark::State& state) {
  platform::Host& h = host();
  XO_FILE* f = h.datasets().open_input("big");
  double cells[kVariables] = {};
  XV_VECTOR* v = nullptr;
  xvgeti(f, 2, &v);
  for (int k = 0; k < kVariables; ++k) {
    int varnum = 0;
    xvfind(f, kNames[k], 2, &varnum, 0);
    xvgetd(v, varnum, 0, &cells[k], 8, 8, 0, 0);
  }
  xvgete(v);
  xbynext(f);
  XO_PARMS parms{};
  parms.file = f;
  for (auto _ : state) {
    double sum = 0;
    xbyrwnd(f, 'b');
    while (xybyget(&parms) == 0 && f->current) {
      xyvget(v, 0);
      sum += cells[0] + cells[1] + cells[2] + cells[3] + cells[4];
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_PassThroughServices)->Unit(benchmark::kMillisecond);

// The same loop through the descriptor's and the vector's own operations.
void BM_PassThroughOwnOperations(benchmark::State& state) {
  platform::Host& h = host();
  XO_FILE* f = h.datasets().open_input("big");
  double cells[kVariables] = {};
  XV_VECTOR* v = nullptr;
  xvgeti(f, 2, &v);
  for (int k = 0; k < kVariables; ++k) {
    int varnum = 0;
    xvfind(f, kNames[k], 2, &varnum, 0);
    xvgetd(v, varnum, 0, &cells[k], 8, 8, 0, 0);
  }
  xvgete(v);
  xbynext(f);
  XO_PARMS parms{};
  parms.file = f;
  parms.opcode = kXoNext;
  parms.flags = kXoByGroup;
  for (auto _ : state) {
    double sum = 0;
    xbyrwnd(f, 'b');
    while (f->read(&parms) == 0 && f->current) {
      v->get(v, 0);
      sum += cells[0] + cells[1] + cells[2] + cells[3] + cells[4];
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_PassThroughOwnOperations)->Unit(benchmark::kMillisecond);

// The floor: copy each record's 5 values out of a plain array and add them.
void BM_PassFloor(benchmark::State& state) {
  const std::vector<double>& values = data().values;
  double cells[kVariables] = {};
  for (auto _ : state) {
    double sum = 0;
    for (int r = 0; r < kRecords; ++r) {
      const double* rec = values.data() + static_cast<std::size_t>(r) * kVariables;
      for (int k = 0; k < kVariables; ++k) cells[k] = rec[k];
      benchmark::ClobberMemory();
      sum += cells[0] + cells[1] + cells[2] + cells[3] + cells[4];
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_PassFloor)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
