// A whole fit of a 4-parameter model (two exponential decays) to 1,000,000
// observations, from the starting values to convergence: the procedure's
// grid search and estimation (every data pass through the model program,
// the optimiser, the last pass and the covariance), against the same
// Gauss-Newton iterations written by hand in C++ over the same data in
// memory. Target: the procedure within 4 times the hand-written fit.
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_host.h"
#include "hand_written_fit.h"
#include "host/parse_print_record.h"
#include "host/services.h"
#include "optim/optimiser.h"
#include "platform/host.h"
#include "procedure/data_pass.h"
#include "procedure/model_run.h"
#include "procedure/procedure_context.h"
#include "procedure/step_phases.h"

namespace {

constexpr int kObservations = 1'000'000;
constexpr int kParms = 4;
constexpr double kStart[kParms] = {4.0, 0.3, 3.0, 2.0};
constexpr const char* kProgram =
    "proc ruva data=d noprint;\n"
    "parms b1 = 4 b2 = 0.3 b3 = 3 b4 = 2;\n"
    "model y = b1*exp(-b2*x) + b3*exp(-b4*x);\n";

// The data: x on [0, 10), y from (5, 0.4, 2, 2.5) with a deterministic
// small disturbance, so that the residuals are not zero.
struct Data {
  std::vector<double> x, y;
};

const Data& data() {
  static const Data d = [] {
    Data out;
    out.x.resize(kObservations);
    out.y.resize(kObservations);
    unsigned long long state = 12345;
    for (int i = 0; i < kObservations; ++i) {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      const double u = static_cast<double>(state >> 11) * 0x1.0p-53 - 0.5;
      const double x = 10.0 * i / kObservations;
      out.x[i] = x;
      out.y[i] = 5 * std::exp(-0.4 * x) + 2 * std::exp(-2.5 * x) + 0.01 * u;
    }
    return out;
  }();
  return d;
}

// The model by hand: b1 exp(-b2 x) + b3 exp(-b4 x) and its gradient.
struct TwoExponentials {
  static constexpr int kParms = 4;
  static double value(const double* b, double x, double* g) {
    const double e1 = std::exp(-b[1] * x), e2 = std::exp(-b[3] * x);
    g[0] = e1;
    g[1] = -b[0] * x * e1;
    g[2] = e2;
    g[3] = -b[2] * x * e2;
    return b[0] * e1 + b[2] * e2;
  }
};

hand_written::GaussNewton<TwoExponentials> hand_written_fit() { return {data().x, data().y}; }

void HandWrittenGaussNewton(benchmark::State& state) {
  data();
  int iterations = 0;
  for (auto _ : state) {
    double b[kParms] = {kStart[0], kStart[1], kStart[2], kStart[3]};
    iterations = hand_written_fit().fit(b);
    benchmark::DoNotOptimize(b);
  }
  state.counters["iterations"] = iterations;
}

benchmark::State* g_state = nullptr;
bool g_with_grid = true;
bool g_one_pass = false;

// The BY group's work as the step driver does it; without the grid search
// in the timing, the estimation alone (its passes: one per iteration; the
// start takes the grid's pass and the last pass the final iteration's).
void fit_body() {
  RUVACOM* ctx = ruva_new_context();
  xinit();
  xytexit(RUVAEndofTask);
  if (ruvapar(ctx) != 0 || ruvaint(ctx) != 0 || ruvares() != 0 || xbynext(ctx->fiddata) <= 0) xexit(1012, 0);
  if (g_one_pass) {  // one data pass with derivatives at the start
    ctx->do_der = 1;
    for (auto _ : *g_state) benchmark::DoNotOptimize(ruvass(ctx));
    xexit(0, 0);
  }
  for (auto _ : *g_state) {
    ctx->rcby = 0;
    if (!g_with_grid) g_state->PauseTiming();
    const int grid = jovgrid(ctx);
    if (!g_with_grid) g_state->ResumeTiming();
    if (grid == 0) jovopt(ctx);
    reset_for_next_bygroup(ctx);
  }
  g_state->counters["iterations"] = ctx->zoptg->state.iters;
  if (ctx->rcby != 0) g_state->SkipWithError("the fit did not converge");
  xexit(0, 0);
}

void run_fit(benchmark::State& state, bool with_grid, bool one_pass = false) {
  std::string pattern = (std::filesystem::temp_directory_path() / "ruva-bench-XXXXXX").string();
  const std::filesystem::path dir = mkdtemp(pattern.data());
  {
    std::ofstream csv(dir / "d.csv");
    csv.precision(17);
    csv << "x,y\n";
    for (int i = 0; i < kObservations; ++i) csv << data().x[i] << "," << data().y[i] << "\n";
  }
  platform::Host& host = platform::Host::current();
  host.libraries().set_work(dir);
  g_state = &state;
  g_with_grid = with_grid;
  g_one_pass = one_pass;
  if (host.run_step_with(fit_body, platform::StepSource{kProgram, 1, "bench.ruva"}) != 0)
    state.SkipWithError("the step failed");
  std::filesystem::remove_all(dir);
}

// Grid search and estimation: 5 passes of the model program with
// derivatives (the one grid point, which the optimiser's start reuses, and 4
// iterations, the last of which the last pass reuses) and a count of the
// records; the hand-written fit makes 5 passes.
void ProcedureFit(benchmark::State& state) { run_fit(state, true); }
// The estimation alone: 4 passes.
void ProcedureEstimation(benchmark::State& state) { run_fit(state, false); }

// One data pass with derivatives, against one pass of the hand-written fit.
void ProcedureDataPass(benchmark::State& state) { run_fit(state, false, true); }
void HandWrittenPass(benchmark::State& state) {
  double jtj[10], jtr[4];
  for (auto _ : state) benchmark::DoNotOptimize(hand_written_fit().pass(kStart, jtj, jtr));
}

BENCHMARK(HandWrittenGaussNewton)->Unit(benchmark::kMillisecond);
BENCHMARK(HandWrittenPass)->Unit(benchmark::kMillisecond);
BENCHMARK(ProcedureDataPass)->Unit(benchmark::kMillisecond);
BENCHMARK(ProcedureFit)->Unit(benchmark::kMillisecond);
BENCHMARK(ProcedureEstimation)->Unit(benchmark::kMillisecond);

}  // namespace

RUVA_BENCHMARK_MAIN()
