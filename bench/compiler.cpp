// The model program in the data pass: a four-parameter double-exponential
// model with its first derivatives as DER. statements, run over 1,000,000
// observations through the compiler's services exactly as the data pass
// runs it (prepare, set the observation's value, run, read the model value
// and the derivatives), against the same model and derivatives written by
// hand in C++, and against the same model whose derivatives the compiler
// generates (cmpder), with the model written as the DER. version writes it
// and with the exponentials inside the MODEL statement.
//
// Then the compile itself of long programs, parsed, analysed, differentiated
// with respect to the parameters and generated as a step does it: a chain
// of assignments (a2 = a1 + 1; a3 = a2 + 1; ...) and one long sum. Both must
// grow near-linearly with their length (wall time: the compile runs on a
// thread of its own). On the 8-core development machine, loaded, the chain
// of 100,000 took 3.9 s here (10,000: 0.30 s) and the sum of 20,000 terms
// 0.27 s (2,000: 16 ms); before their quadratic steps went, 8,000 chained
// statements took over 120 s and the sum 27.5 s.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "../tests/support/program_text.h"
#include "host/missing.h"
#include "host/services.h"
#include "platform/compiler/api.h"
#include "platform/compiler/executor.h"
#include "platform/host.h"
#include "platform/language/step_parser.h"
#include "platform/threads/large_stack.h"

namespace {

constexpr int kObservations = 1'000'000;
constexpr const char* kProgram =
    "parms b1 = 1.5 b2 = 0.05 b3 = 0.8 b4 = 0.003;\n"
    "e1 = exp(-b2*x);\n"
    "e2 = exp(-b4*x);\n"
    "model y = b1*e1 + b3*e2;\n"
    "der.b1 = e1;\n"
    "der.b2 = -b1*x*e1;\n"
    "der.b3 = e2;\n"
    "der.b4 = -b3*x*e2;\n";
constexpr const char* kModelOnly =
    "parms b1 = 1.5 b2 = 0.05 b3 = 0.8 b4 = 0.003;\n"
    "e1 = exp(-b2*x);\n"
    "e2 = exp(-b4*x);\n"
    "model y = b1*e1 + b3*e2;\n";
constexpr const char* kInline =
    "parms b1 = 1.5 b2 = 0.05 b3 = 0.8 b4 = 0.003;\n"
    "model y = b1*exp(-b2*x) + b3*exp(-b4*x);\n";

std::vector<double> observations() {
  std::vector<double> x(kObservations);
  for (int i = 0; i < kObservations; ++i) x[i] = 0.001 * (i % 5000);
  return x;
}

const std::vector<double>& xs() {
  static const std::vector<double> x = observations();
  return x;
}

double parm[4] = {1.5, 0.05, 0.8, 0.003};

void HandWritten(benchmark::State& state) {
  const std::vector<double>& x = xs();
  for (auto _ : state) {
    double sum = 0;
    for (int i = 0; i < kObservations; ++i) {
      const double xi = x[i];
      const double e1 = std::exp(-parm[1] * xi);
      const double e2 = std::exp(-parm[3] * xi);
      const double y = parm[0] * e1 + parm[2] * e2;
      const double d1 = e1, d2 = -parm[0] * xi * e1, d3 = e2, d4 = -parm[2] * xi * e2;
      sum += y + d1 + d2 + d3 + d4;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kObservations);
}
BENCHMARK(HandWritten)->Unit(benchmark::kMillisecond);

// A compiler block holding a benchmark program, with the parameters in
// storage of the caller's, as the procedure binds them; the derivatives are
// the DER. variables, or generated ones when `generate` is set.
struct Compiled {
  std::ostringstream log, listing;
  platform::Host host{{&log, &listing}};
  CMPGLOBAL cmp{};
  int nretain = 0;
  long vnum = 0;
  int seg = 0;
  double* x = nullptr;
  double* model = nullptr;
  double* der[4] = {};

  explicit Compiled(const char* program = kProgram, bool generate = false) {
    CMPINIT init{&nretain, &vnum, &seg, 0, nullptr};
    cmpinit(&init, &cmp);
    platform::compiler::add_program(&cmp, test_support::parse_program(program));
    CMPLIST parms{};
    cmplstb(&parms, kCmpKindParms, -1, &cmp);
    cmplsts(&parms, parm, &cmp);
    cmpdfla(0, 0, 0, 1, &cmp);
    cmpchck(&cmp);
    CMPSYM* y = cmpsyms("MODEL.y", 7, &cmp);
    CMPSYM* ders[4] = {};
    if (generate) {
      CMPLIST objective{};
      cmplst(&objective, y, &cmp);
      CMPDER record{};
      cmpder(&record, &objective, &parms, 101, 'p', 1, 0, &cmp);
      for (int k = 0; k < record.der.n; ++k) ders[record.wrtindex[k]] = record.der.s[k];
    } else {
      const char* names[] = {"der.b1", "der.b2", "der.b3", "der.b4"};
      for (int k = 0; k < 4; ++k) ders[k] = cmpsyms(names[k], 6, &cmp);
    }
    cmpgen(&cmp);
    x = cmp_cell(cmpsyms("x", 1, &cmp));
    model = cmp_cell(y);
    for (int k = 0; k < 4; ++k) der[k] = cmp_cell(ders[k]);
    cmpexi(1, 0, 0, &cmp);
  }
  ~Compiled() { cmppurg(&cmp); }
};

// One pass of the data pass's calls over every observation.
double data_pass(Compiled& c, const std::vector<double>& x, int derivatives) {
  double sum = 0;
  int nerr = 0, nmiss = 0;
  for (int i = 0; i < kObservations; ++i) {
    cmpexi(0, 0, 0, &c.cmp);
    *c.x = x[i];
    cmprun(0, 0, 0, 1, 1, derivatives, 1, 0, &nerr, &nmiss, &c.cmp);
    sum += *c.model + *c.der[0] + *c.der[1] + *c.der[2] + *c.der[3];
  }
  return sum;
}

void Compiled_Services(benchmark::State& state) {
  Compiled c;
  for (auto _ : state) benchmark::DoNotOptimize(data_pass(c, xs(), 1));
  state.SetItemsProcessed(state.iterations() * kObservations);
}
BENCHMARK(Compiled_Services)->Unit(benchmark::kMillisecond);

// The same model with generated derivatives instead of DER. statements.
void Generated_Services(benchmark::State& state) {
  Compiled c(kModelOnly, true);
  for (auto _ : state) benchmark::DoNotOptimize(data_pass(c, xs(), 1));
  state.SetItemsProcessed(state.iterations() * kObservations);
}
BENCHMARK(Generated_Services)->Unit(benchmark::kMillisecond);

// Generated derivatives of the model written in one MODEL statement.
void Generated_Inline(benchmark::State& state) {
  Compiled c(kInline, true);
  for (auto _ : state) benchmark::DoNotOptimize(data_pass(c, xs(), 1));
  state.SetItemsProcessed(state.iterations() * kObservations);
}
BENCHMARK(Generated_Inline)->Unit(benchmark::kMillisecond);

// A pass for the model value only (grid search, step halving): the
// generated derivative statements are skipped.
void Generated_ModelOnly(benchmark::State& state) {
  Compiled c(kModelOnly, true);
  for (auto _ : state) benchmark::DoNotOptimize(data_pass(c, xs(), 0));
  state.SetItemsProcessed(state.iterations() * kObservations);
}
BENCHMARK(Generated_ModelOnly)->Unit(benchmark::kMillisecond);

// The same through an executor of its own (the profiling engine's threads):
// no service forwarding and no external cells.
void Compiled_OwnExecutor(benchmark::State& state) {
  Compiled c;
  auto e = platform::compiler::new_executor(&c.cmp);
  double* x = platform::compiler::executor_cell(*e, &c.cmp, cmpsyms("x", 1, &c.cmp));
  double* model = platform::compiler::executor_cell(*e, &c.cmp, cmpsyms("MODEL.y", 7, &c.cmp));
  const std::vector<double>& xv = xs();
  platform::compiler::RunOptions options;
  options.put = false;
  options.record_errors = false;
  e->start_pass();
  for (auto _ : state) {
    double sum = 0;
    platform::compiler::RunCounts counts;
    for (int i = 0; i < kObservations; ++i) {
      e->prepare_observation();
      *x = xv[i];
      e->run(0, options, &counts);
      sum += *model;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kObservations);
}
BENCHMARK(Compiled_OwnExecutor)->Unit(benchmark::kMillisecond);

// A chain of n assignments, each reading the one before, into the model.
std::string chain_program(int n) {
  std::string text = "proc ruva;\nparms a = 1 b = 0.5;\na1 = x*a;\n";
  for (int i = 2; i <= n; ++i) text += "a" + std::to_string(i) + " = a" + std::to_string(i - 1) + " + 1;\n";
  return text + "model y = a" + std::to_string(n) + " + b;\n";
}

// A model that is one sum of n terms, a left-deep tree n levels deep.
std::string sum_program(int n) {
  std::string text = "proc ruva;\nparms a = 1 b = 0.5;\nmodel y = b";
  for (int i = 1; i < n; ++i)
    text += i % 2 ? " + a*x**" + std::to_string(i % 7) : " + b*" + std::to_string(i);
  return text + ";\n";
}

// Parses, analyses, differentiates with respect to the parameters and
// generates the program; on a thread with the stack a step has.
void compile(const std::string& text) {
  platform::run_with_stack(platform::kTreeStackBytes, [&] {
    std::ostringstream log, listing;
    platform::Host host{{&log, &listing}};
    CMPGLOBAL cmp{};
    int nretain = 0, seg = 0;
    long vnum = 0;
    CMPINIT init{&nretain, &vnum, &seg, 0, nullptr};
    cmpinit(&init, &cmp);
    auto parsed = platform::language::parse_step(text, 1);
    platform::compiler::add_program(&cmp, std::move(parsed->program));
    CMPLIST parms{};
    cmplstb(&parms, kCmpKindParms, -1, &cmp);
    cmpdfla(0, 0, 0, 1, &cmp);
    cmpchck(&cmp);
    CMPLIST objective{};
    cmplst(&objective, cmpsyms("MODEL.y", 7, &cmp), &cmp);
    CMPDER record{};
    cmpder(&record, &objective, &parms, 101, 'p', 1, 0, &cmp);
    if (cmpgen(&cmp) != 0 || record.der.n != 2) throw std::runtime_error("the program did not compile");
    cmppurg(&cmp);
  });
}

void CompileChain(benchmark::State& state) {
  const std::string text = chain_program(static_cast<int>(state.range(0)));
  for (auto _ : state) compile(text);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(CompileChain)->Arg(10'000)->Arg(100'000)->UseRealTime()->Unit(benchmark::kMillisecond);

void CompileSum(benchmark::State& state) {
  const std::string text = sum_program(static_cast<int>(state.range(0)));
  for (auto _ : state) compile(text);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(CompileSum)->Arg(2'000)->Arg(20'000)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
