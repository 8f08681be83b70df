// The check that a fit with _LOSS_ minimises its loss, beside the same fit
// without _LOSS_, through the ruva binary: a least-squares Fourier series
// of 8 and 12 harmonics (17 and 25 parameters) fitted to 100,000 rows,
// with `_loss_ = (y - mu)**2` and without. Each round runs both programs in
// turn and takes the processor time (user and system) of each run; the
// medians and their ratio are reported. Target: the fit with its check
// within 3 times the fit without.
//
// On the 8-core development machine, shared (medians of 7, processor
// time), without _LOSS_ / with it, before (the check by central
// differences of the objective, p(p + 1) + 2 passes) and after (the
// compiler's derivatives of the loss, one pass):
//   17 parameters  before 62 ms / 5,267 ms (85 times); after 64 / 94 ms
//                  (1.5 times; 1.8 in another round)
//   25 parameters  before 82 ms / 16,833 ms (205 times); after 74 / 157 ms
//                  (2.1 times; 1.7 in another round)
//
// The binary under test is the one beside this benchmark, or the one
// RUVA_BINARY names.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "binary_runs.h"
#include "fit_models.h"

namespace {

namespace fs = std::filesystem;
using binary_runs::binary;
using binary_runs::median;

constexpr int kObservations = 100'000;
constexpr int kRounds = 7;

const fs::path& work_dir() { return binary_runs::work_dir("ruva-loss-check"); }

// The data set, and the two programs: the model as MODEL's right-hand side,
// and as mu with the squared residual for its loss.
template <class Model>
void write_inputs(const std::string& name) {
  std::vector<double> x, y;
  fit_models::make_data<Model>(kObservations, &x, &y);
  std::ofstream out(work_dir() / (name + ".csv"));
  out.precision(17);
  out << "x,y\n";
  for (int i = 0; i < kObservations; ++i) out << x[i] << ',' << y[i] << '\n';
  const std::string plain = fit_models::program_text<Model>("data=" + name + " noprint");
  std::string loss = plain;
  loss.replace(loss.find("model y = "), 10, "mu = ");
  loss.replace(loss.rfind("run;"), 4, "model y = mu;\n_loss_ = (y - mu)**2;\nrun;");
  binary_runs::write_file(work_dir() / (name + ".ruva"), plain);
  binary_runs::write_file(work_dir() / (name + "_loss.ruva"), loss);
}

double cpu_milliseconds(const std::string& program) {
  return binary_runs::cpu_milliseconds(binary_runs::run_quietly(binary().string(), {program}, work_dir()));
}

template <class Model>
void FitWithAndWithoutLoss(benchmark::State& state) {
  const std::string name = "fourier" + std::to_string(Model::kParms);
  write_inputs<Model>(name);
  std::vector<double> plain, loss;
  for (auto _ : state)
    for (int r = 0; r < kRounds; ++r) {
      plain.push_back(cpu_milliseconds(name + ".ruva"));
      loss.push_back(cpu_milliseconds(name + "_loss.ruva"));
    }
  for (const std::vector<double>* v : {&plain, &loss})
    if (std::find(v->begin(), v->end(), -1.0) != v->end()) {
      state.SkipWithError(("the binary failed on " + name).c_str());
      return;
    }
  state.counters["without_loss_cpu_ms"] = median(plain);
  state.counters["with_loss_cpu_ms"] = median(loss);
  state.counters["ratio"] = median(loss) / median(plain);
}

BENCHMARK(FitWithAndWithoutLoss<fit_models::FourierSeries<8>>)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(FitWithAndWithoutLoss<fit_models::FourierSeries<12>>)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
