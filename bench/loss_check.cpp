// The check that a fit with _LOSS_ minimises its loss, beside the same fit
// without _LOSS_, through the ruva binary. Each round runs both programs in
// turn and takes the processor time (user and system) of each run; the
// medians and their ratio are reported. The models:
// - a least-squares Fourier series of 8 and 12 harmonics (17 and 25
//   parameters), 100,000 rows, with `_loss_ = (y - mu)**2` and without;
// - mu = exp(sum of b_k T_k(2x - 1)), Chebyshev terms by their recursion:
//   written with `array bb[p] b1-bp;`, a _TEMPORARY_ array, the recursion
//   and the sum in a LINK routine and an IF guarding exp (25 and 40
//   parameters), and written out without arrays and loops (60 parameters);
//   10,000 rows. Its sum is linear in the parameters, so only exp and the
//   loss have second derivatives.
// Target: the fit with its check within 2 times the fit without.
//
// On the 8-core development machine, shared (medians of 7, processor
// time), without _LOSS_ / with it, before (the check by central
// differences of the objective, p(p + 1) + 2 passes) and after (the
// compiler's derivatives of the loss, one pass):
//   Fourier 17  before 62 ms / 5,267 ms (85 times); after 64 / 94 ms
//               (1.5 times; 1.8 in another round)
//   Fourier 25  before 82 ms / 16,833 ms (205 times); after 74 / 157 ms
//               (2.1 times; 1.7 in another round)
// and for the Chebyshev models, before (second derivatives of every value
// in every pair, the per-observation reset of all of them in every pass of
// the fit) and after (second derivatives only where a value is not linear,
// their cells reset only in the check's pass, shared factors computed once
// per pair set):
//   array/LINK 25  before 982 ms / 3,560 ms (3.6 times); after 957 / 1,034 ms
//                  (1.08 times)
//   array/LINK 40  before 2,205 ms / 10,820 ms (4.9 times); after 1,895 /
//                  2,452 ms (1.3 times)
//   unrolled 60    before 107 ms / 798 ms (7.5 times); after 114 / 353 ms
//                  (3.1 times; 3.0 in another round): above the target. The
//                  fit alone is cheap here (eight passes whose cross products
//                  are blocked kernels), while the check's pass still runs
//                  two interpreted statements and a sum for each of the 1,830
//                  pairs of each observation.
// The Fourier series are unchanged (1.8 and 2.0 times, against 1.7 and 2.0
// with the binary before, in the same round).
//
// Then, before (the pairs' statements of the check, interpreted pair by pair
// in each observation, also in a program without loops) and after (the
// loss's curvature as a few products of first-derivative vectors where the
// program has no loops and jumps, summed by the kernels of J'WJ: two for the
// unrolled model, g_eta g_eta' and g_mu g_mu', one for the Fourier series;
// the arrays and LINK routine keep the pairs), medians of 7, two rounds
// each, the binaries in turn on the shared machine (its load between 3 and
// 20, so the times vary by a third from round to round):
//   Fourier 17     before 102 / 204 ms (2.0), 97 / 193 ms (2.0);
//                  after 62 / 95 ms (1.5), 83 / 144 ms (1.7)
//   Fourier 25     before 145 / 323 ms (2.2), 95 / 255 ms (2.7);
//                  after 98 / 153 ms (1.6), 139 / 166 ms (1.2)
//   array/LINK 25  before 1,201 / 1,445 ms (1.2), 826 / 973 ms (1.2);
//                  after 728 / 892 ms (1.2), 719 / 917 ms (1.3)
//   array/LINK 40  before 1,600 / 2,156 ms (1.3), 1,923 / 2,125 ms (1.1);
//                  after 1,724 / 1,947 ms (1.1), 2,167 / 2,498 ms (1.2)
//   unrolled 60    before 107 / 344 ms (3.2), 109 / 452 ms (4.2);
//                  after 104 / 137 ms (1.3), 106 / 184 ms (1.7)
// Instructions counted (callgrind, repeatable), without / with _LOSS_:
//   Fourier 17     before 715 M / 1,308 M (1.83); after 715 M / 1,114 M (1.56)
//   Fourier 25     before 1,001 M / 2,029 M (2.03); after 1,006 M / 1,603 M (1.59)
//   unrolled 60    before 938 M / 2,845 M (3.03); after 938 M / 1,207 M (1.29)
//   array/LINK 25  7,928 M without; with, before 9,380 M (1.18), after 9,388 M
//   array/LINK 40  19,018 M without; with, before 22,578 M (1.19), after
//                  22,610 M (the request for products, refused, costs one
//                  more compile of the first derivatives: 0.1 per cent)
// In the unrolled model the check's pass cost 1,480 M before (1,094 M of it
// the interpreter running 3,660 pair statements per observation) and the
// pair statements' compilation 305 M; the Fourier series' pass read 325
// second derivatives per observation one by one. The check's pass is now
// about one pass of the fit, plus one or two rank-one updates per
// observation.
//
// The binary under test is the one beside this benchmark, or the one
// RUVA_BINARY names.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
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
constexpr int kChebyshevObservations = 10'000;
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

// T_0 .. T_{p-1} at z in [-1, 1].
std::vector<double> chebyshev(double z, int p) {
  std::vector<double> t = {1.0, z};
  while (static_cast<int>(t.size()) < p) t.push_back(2 * z * t.back() - t[t.size() - 2]);
  t.resize(static_cast<std::size_t>(p));
  return t;
}

// y = exp(sum of (0.5 / (k + 1)) T_k(2x - 1)) with a small deterministic
// disturbance, x evenly over (0, 1).
void write_chebyshev_data(const std::string& name, int p) {
  std::ofstream out(work_dir() / (name + ".csv"));
  out.precision(17);
  out << "x,y\n";
  unsigned long long state = 12345;
  for (int i = 0; i < kChebyshevObservations; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const double u = static_cast<double>(state >> 11) * 0x1.0p-53 - 0.5;
    const double x = (i + 0.5) / kChebyshevObservations;
    const std::vector<double> t = chebyshev(2 * x - 1, p);
    double eta = 0;
    for (int k = 0; k < p; ++k) eta += 0.5 / (k + 1) * t[static_cast<std::size_t>(k)];
    out << x << ',' << std::exp(eta) + 0.05 * u << '\n';
  }
}

// The model with arrays, a LINK routine and loops, or written out.
std::string chebyshev_program(const std::string& name, int p, bool arrays, bool loss) {
  const std::string n = std::to_string(p);
  std::string s = "proc ruva data=" + name + " noprint;\nparms b1-b" + n + " = 0;\n";
  if (arrays) {
    s += "array bb[" + n + "] b1-b" + n + ";\narray t[" + n + "] _temporary_;\nlink cheb;\n";
  } else {
    s += "z = 2*x - 1;\nt1 = 1;\nt2 = z;\n";
    for (int k = 3; k <= p; ++k)
      s += "t" + std::to_string(k) + " = 2*z*t" + std::to_string(k - 1) + " - t" + std::to_string(k - 2) + ";\n";
    s += "eta = b1*t1";
    for (int k = 2; k <= p; ++k) s += " + b" + std::to_string(k) + "*t" + std::to_string(k);
    s += ";\n";
  }
  s += "if eta < 700 then mu = exp(eta); else mu = .;\nmodel y = mu;\n";
  if (loss) s += "_loss_ = (y - mu)**2;\n";
  if (arrays)
    s += "return;\ncheb:\nz = 2*x - 1;\nt[1] = 1; t[2] = z;\ndo k = 3 to " + n +
         "; t[k] = 2*z*t[k-1] - t[k-2]; end;\neta = 0;\ndo k = 1 to " + n + "; eta = eta + bb[k]*t[k]; end;\nreturn;\n";
  return s + "run;\n";
}

// Runs both programs kRounds times in turn and reports the medians.
void compare_runs(benchmark::State& state, const std::string& name) {
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

template <class Model>
void FitWithAndWithoutLoss(benchmark::State& state) {
  const std::string name = "fourier" + std::to_string(Model::kParms);
  write_inputs<Model>(name);
  compare_runs(state, name);
}

template <int Parms, bool Arrays>
void ChebyshevWithAndWithoutLoss(benchmark::State& state) {
  const std::string name = (Arrays ? "chebyshev_link" : "chebyshev_unrolled") + std::to_string(Parms);
  write_chebyshev_data(name, Parms);
  binary_runs::write_file(work_dir() / (name + ".ruva"), chebyshev_program(name, Parms, Arrays, false));
  binary_runs::write_file(work_dir() / (name + "_loss.ruva"), chebyshev_program(name, Parms, Arrays, true));
  compare_runs(state, name);
}

BENCHMARK(FitWithAndWithoutLoss<fit_models::FourierSeries<8>>)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(FitWithAndWithoutLoss<fit_models::FourierSeries<12>>)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(ChebyshevWithAndWithoutLoss<25, true>)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(ChebyshevWithAndWithoutLoss<40, true>)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(ChebyshevWithAndWithoutLoss<60, false>)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
