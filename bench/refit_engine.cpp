// Refits per second of the refit engine "qxprof": batches of 100 jackknife
// refits of y = b1 exp(-b2 x) + b3 (p = 3) on n generated observations, on
// 1 and 8 threads. The items-per-second figure is refits per second; the
// speed-up is the ratio of the 8-thread to the 1-thread figure for one n.
// Then a whole step with the bootstrap of the same model (B = 1000, n = 100)
// against the step without it. Target: the bootstrap within half a second
// on 8 threads.
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_host.h"
#include "../tests/support/refit_driver.h"
#include "host/module_entry.h"

namespace {

void BM_RefitBatch(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0)), threads = static_cast<int>(state.range(1));
  refit_driver::Driver d(refit_driver::decay_curve(n), refit_driver::model_text("b1 * exp(-b2 * x) + b3"), {"b1", "b2", "b3"},
                         threads);
  if (!d.instance() || d.declare() != 0) {
    state.SkipWithError("engine set-up failed");
    return;
  }
  const int tasks_per_batch = 100;
  std::vector<double> start = {4.5, 0.35, 1.2};
  std::vector<std::vector<unsigned char>> skips(tasks_per_batch, std::vector<unsigned char>((n + 7) / 8));
  std::vector<QXPROF_TASK_DESC> tasks;
  for (int k = 0; k < tasks_per_batch; ++k) {
    skips[static_cast<std::size_t>(k)][static_cast<std::size_t>(k / 8)] = static_cast<unsigned char>(0x80u >> (k % 8));
    tasks.push_back(d.task(k, start.data()));
    tasks.back().nlo_u_opt.atol = 1e-8;
    tasks.back().skip_obs_bit_array_h = skips[static_cast<std::size_t>(k)].data();
  }
  for (auto _ : state) {
    const auto results = d.run(tasks);
    if (results.size() != tasks.size() || results[0]->qxznlo_rc <= 0) state.SkipWithError("a refit failed");
  }
  state.SetItemsProcessed(state.iterations() * tasks_per_batch);
}
BENCHMARK(BM_RefitBatch)
    ->ArgNames({"n", "threads"})
    ->Args({100, 1})
    ->Args({100, 8})
    ->Args({1000, 1})
    ->Args({1000, 8})
    ->Args({10000, 1})
    ->Args({10000, 8})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// One step per iteration over the n = 100 data set; argument 1 adds the
// bootstrap.
void BM_BootstrapStep(benchmark::State& state) {
  const refit_driver::Data d = refit_driver::decay_curve(100);
  std::string pattern = (std::filesystem::temp_directory_path() / "ruva-bench-XXXXXX").string();
  const std::filesystem::path dir = mkdtemp(pattern.data());
  {
    std::ofstream csv(dir / "d.csv");
    csv.precision(17);
    csv << "x,y\n";
    for (std::size_t i = 0; i < d.y.size(); ++i) csv << d.columns[0][i] << "," << d.y[i] << "\n";
  }
  platform::Host& host = platform::Host::current();
  host.libraries().set_work(dir);
  const std::string program = std::string("proc ruva data=d noprint nthreads=8; parms b1=4.5 b2=0.35 b3=1.2;"
                                          " model y = b1*exp(-b2*x)+b3;") +
                              (state.range(0) ? " bootstrap / seed=1;" : "");
  for (auto _ : state)
    if (host.run_step_with(kovruva, platform::StepSource{program, 1, "bench.ruva"}) != 0)
      state.SkipWithError("the step failed");
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_BootstrapStep)->ArgNames({"bootstrap"})->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

RUVA_BENCHMARK_MAIN();
