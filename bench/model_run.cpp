// One observation of a data pass costs what the model program costs plus
// the procedure's run wrapper `nlexec` (its recovery point, counters and
// error reports). Both loops read a BY group of 100,000 observations from a
// CSV data set through the data-set services; one runs each observation
// with nlexec, the other calls the compiler's run directly. The wrapper
// should add no more than a few percent.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "bench_host.h"
#include "host/parse_print_record.h"
#include "host/services.h"
#include "platform/host.h"
#include "procedure/model_run.h"
#include "procedure/procedure_context.h"
#include "procedure/step_phases.h"

namespace {

constexpr int kObservations = 100'000;
constexpr const char* kProgram =
    "proc ruva data=d; parms b1 = 1.5 b2 = 0.05;\n"
    "e1 = exp(-b2*x);\n"
    "model y = b1*e1;\n"
    "der.b1 = e1;\n"
    "der.b2 = -b1*x*e1;\n";

benchmark::State* g_state = nullptr;
bool g_wrapped = true;

// A pass over the BY group as the data pass makes it.
double one_pass(RUVACOM* ctx) {
  xbyrwnd(ctx->fiddata, kXoGroupStart);
  nlexint();
  double sum = 0;
  while (xybyget(&ctx->xoparm) == 0 && ctx->fiddata->current) {
    cmpexi(0, 0, 0, &ctx->globcmp);
    xyvget(ctx->dataptr, 0);
    int nerr = 0, nmiss = 0;
    const int rc = g_wrapped ? nlexec() : cmprun(0, 0, 0, 1, 1, 1, 1, 0, &nerr, &nmiss, &ctx->globcmp);
    if (rc == 0) sum += *ctx->dephat;
  }
  return sum;
}

void pass_body() {
  RUVACOM* ctx = ruva_new_context();
  xinit();
  xytexit(RUVAEndofTask);
  if (ruvapar(ctx) != 0 || ruvaint(ctx) != 0 || ruvares() != 0 || xbynext(ctx->fiddata) <= 0) xexit(1012, 0);
  ctx->parm[0] = 1.5;
  ctx->parm[1] = 0.05;
  for (auto _ : *g_state) benchmark::DoNotOptimize(one_pass(ctx));
  g_state->SetItemsProcessed(g_state->iterations() * kObservations);
  xexit(0, 0);
}

void run_passes(benchmark::State& state, bool wrapped) {
  std::string pattern = (std::filesystem::temp_directory_path() / "ruva-bench-XXXXXX").string();
  const std::filesystem::path dir = mkdtemp(pattern.data());
  {
    std::ofstream csv(dir / "d.csv");
    csv << "x,y\n";
    for (int i = 0; i < kObservations; ++i) csv << 0.001 * (i % 5000) << "," << 1.0 << "\n";
  }
  platform::Host& host = platform::Host::current();
  host.libraries().set_work(dir);
  g_state = &state;
  g_wrapped = wrapped;
  if (host.run_step_with(pass_body, platform::StepSource{kProgram, 1, "bench.ruva"}) != 0)
    state.SkipWithError("the step did not set up");
  std::filesystem::remove_all(dir);
}

void WithNlexec(benchmark::State& state) { run_passes(state, true); }
void CompilerRunOnly(benchmark::State& state) { run_passes(state, false); }

BENCHMARK(CompilerRunOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(WithNlexec)->Unit(benchmark::kMillisecond);

}  // namespace

RUVA_BENCHMARK_MAIN()
