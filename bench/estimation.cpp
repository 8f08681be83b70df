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

// One pass of the hand-written fit: the SSE and, with derivatives, the
// packed normal equations J'J (10 cells) and J'r (4).
double pass(const double* b, bool derivatives, double* jtj, double* jtr) {
  const Data& d = data();
  double sse = 0;
  if (derivatives) std::fill(jtj, jtj + 10, 0.0), std::fill(jtr, jtr + 4, 0.0);
  for (int i = 0; i < kObservations; ++i) {
    const double x = d.x[i];
    const double e1 = std::exp(-b[1] * x), e2 = std::exp(-b[3] * x);
    const double r = d.y[i] - (b[0] * e1 + b[2] * e2);
    sse += r * r;
    if (!derivatives) continue;
    const double g[kParms] = {e1, -b[0] * x * e1, e2, -b[2] * x * e2};
    for (int p = 0, k = 0; p < kParms; ++p) {
      jtr[p] += g[p] * r;
      for (int q = 0; q <= p; ++q) jtj[k++] += g[p] * g[q];
    }
  }
  return sse;
}

// Solves the packed 4 by 4 system in place by Cholesky.
void solve(double* a, double* v) {
  double l[kParms][kParms] = {};
  for (int p = 0, k = 0; p < kParms; ++p)
    for (int q = 0; q <= p; ++q) l[p][q] = a[k++];
  for (int j = 0; j < kParms; ++j) {
    for (int k = 0; k < j; ++k) l[j][j] -= l[j][k] * l[j][k];
    l[j][j] = std::sqrt(l[j][j]);
    for (int i = j + 1; i < kParms; ++i) {
      for (int k = 0; k < j; ++k) l[i][j] -= l[i][k] * l[j][k];
      l[i][j] /= l[j][j];
    }
  }
  for (int i = 0; i < kParms; ++i) {
    for (int k = 0; k < i; ++k) v[i] -= l[i][k] * v[k];
    v[i] /= l[i][i];
  }
  for (int i = kParms - 1; i >= 0; --i) {
    for (int k = i + 1; k < kParms; ++k) v[i] -= l[k][i] * v[k];
    v[i] /= l[i][i];
  }
}

// Gauss-Newton with step halving until the relative offset of the residual
// from the tangent plane, sqrt(r'J (J'J)^-1 J'r / SSE), is below 1e-5.
int hand_written_fit(double* b) {
  double jtj[10], jtr[4], step[4];
  double sse = pass(b, true, jtj, jtr);
  int iterations = 0;
  for (; iterations < 100; ++iterations) {
    std::copy(jtr, jtr + 4, step);
    solve(jtj, step);
    double offset = 0;
    for (int p = 0; p < kParms; ++p) offset += step[p] * jtr[p];
    if (std::sqrt(offset / sse) < 1e-5) break;
    double trial[kParms], factor = 1;
    for (int halvings = 0; halvings < 30; ++halvings, factor /= 2) {
      for (int p = 0; p < kParms; ++p) trial[p] = b[p] + factor * step[p];
      double tjtj[10], tjtr[4];
      const double s = pass(trial, true, tjtj, tjtr);
      if (s < sse) {
        std::copy(trial, trial + 4, b);
        std::copy(tjtj, tjtj + 10, jtj);
        std::copy(tjtr, tjtr + 4, jtr);
        sse = s;
        break;
      }
    }
  }
  return iterations;
}

void HandWrittenGaussNewton(benchmark::State& state) {
  data();
  int iterations = 0;
  for (auto _ : state) {
    double b[kParms] = {kStart[0], kStart[1], kStart[2], kStart[3]};
    iterations = hand_written_fit(b);
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
  for (auto _ : state) benchmark::DoNotOptimize(pass(kStart, true, jtj, jtr));
}

BENCHMARK(HandWrittenGaussNewton)->Unit(benchmark::kMillisecond);
BENCHMARK(HandWrittenPass)->Unit(benchmark::kMillisecond);
BENCHMARK(ProcedureDataPass)->Unit(benchmark::kMillisecond);
BENCHMARK(ProcedureFit)->Unit(benchmark::kMillisecond);
BENCHMARK(ProcedureEstimation)->Unit(benchmark::kMillisecond);

}  // namespace

RUVA_BENCHMARK_MAIN()
