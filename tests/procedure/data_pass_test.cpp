// One data pass at given parameters against sums formed here from the same
// data: the objective, the cross products and the border row (sum w d (f-y),
// the optimiser's half gradient) with _WEIGHT_, _LOSS_, _RESID_ and
// _WGTJPJ_; the use test; a failed run ending the pass; the used-observation
// bitmap of the last pass; whole weighted fits of 9 and 12 parameters (the
// passes for more parameters than the unrolled ones) against LAPACK.
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "linalg/packed.h"
#include "optim/lapack.h"
#include "platform/compiler/api.h"
#include "procedure/data_pass.h"
#include "procedure/offset_measures.h"
#include "procedure/step_memory.h"
#include "estimation_fixture.h"

namespace {

using procedure_test::EstimationTest;
using procedure_test::inspect_and_exit;

std::vector<double> g_parms;
bool g_last_pass = false;
long g_bitmap_bytes = 0;  // 0: sized from the group's records

// One pass over the first BY group with derivatives, at g_parms.
void pass_body() {
  RUVACOM* ctx = procedure_test::begin_step(2);
  if (xbynext(ctx->fiddata) <= 0) xexit(1012, 0);
  for (std::size_t i = 0; i < g_parms.size(); ++i) ctx->parm[i] = g_parms[i];
  ctx->do_der = 1;
  if (g_last_pass) {
    determine_n_obs(ctx);
    ctx->obs_computable_bytes = g_bitmap_bytes ? g_bitmap_bytes : ctx->nobs / 8 + 1;
    ctx->obs_computable_flag = static_cast<unsigned char*>(ruva_alloc(ctx->obs_computable_bytes));
    ctx->lastpass = 1;
  }
  ruvass(ctx);
  inspect_and_exit(ctx);
}

// The data: x from 1 to 6 and y near 3 exp(-0.5 x).
const std::vector<double> kX = {1, 2, 3, 4, 5, 6};
const std::vector<double> kY = {1.9, 1.1, 0.62, 0.41, 0.27, 0.13};
constexpr double kA = 2.8, kB = 0.45;

// What one pass should hold, formed here.
struct Sums {
  double sse = 0, corner = 0;
  double block[3] = {};   // packed d d' over (a, b)
  double border[2] = {};  // sum of the border weights times d
  long used = 0;
};

// `weight`, `cross` (the _WGTJPJ_ weight), `resid` and `loss` per observation;
// an observation is left out when `use` says so.
Sums expected(const std::function<double(double, double)>& weight, const std::function<double(double, double)>& cross,
              const std::function<double(double, double, double)>& resid,
              const std::function<double(double, double, double)>& loss) {
  Sums s;
  for (std::size_t i = 0; i < kX.size(); ++i) {
    const double x = kX[i], y = kY[i];
    const double e = std::exp(-kB * x), f = kA * e;
    const double d[2] = {e, -kA * x * e};
    const double w = weight(x, y), u = cross(x, y), r = resid(x, y, f);
    if (w == 0 || !(u > 0)) continue;
    ++s.used;
    s.sse += w * loss(x, y, r);
    s.corner += w * r * r;
    s.block[0] += u * d[0] * d[0];
    s.block[1] += u * d[1] * d[0];
    s.block[2] += u * d[1] * d[1];
    s.border[0] -= w * r * d[0];
    s.border[1] -= w * r * d[1];
  }
  return s;
}

class DataPassTest : public EstimationTest {
 protected:
  DataPassTest() {
    std::string csv = "x,y\n";
    for (std::size_t i = 0; i < kX.size(); ++i) csv += std::to_string(kX[i]) + "," + std::to_string(kY[i]) + "\n";
    write_file("d.csv", csv);
    g_parms = {kA, kB};
    g_last_pass = false;
    g_bitmap_bytes = 0;
  }

  // Runs one pass of `statements` (the model is added) and compares.
  void check(const std::string& statements, const Sums& want) {
    SCOPED_TRACE(statements);
    const std::string program = "proc ruva data=d; parms a=1 b=1; " + statements +
                                " model y = a*exp(-b*x);";
    Sums got;
    ASSERT_EQ(run_and_inspect(program, pass_body,
                              [&](RUVACOM* ctx) {
                                got.sse = ctx->sse;
                                got.used = ctx->iobs;
                                for (int k = 0; k < 3; ++k) got.block[k] = ctx->xpx[k];
                                got.border[0] = ctx->xpx[zisub(2, 0)];
                                got.border[1] = ctx->xpx[zisub(2, 1)];
                                got.corner = ctx->xpx[zisub(2, 2)];
                                EXPECT_EQ(ctx->gradient[0], got.border[0]);
                                EXPECT_EQ(ctx->gradient[1], got.border[1]);
                              }),
              0)
        << log_text();
    EXPECT_EQ(got.used, want.used);
    EXPECT_NEAR(got.sse, want.sse, 1e-13 * std::fabs(want.sse));
    EXPECT_NEAR(got.corner, want.corner, 1e-13 * want.corner);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(got.block[k], want.block[k], 1e-13 * std::fabs(want.block[k])) << k;
    for (int k = 0; k < 2; ++k) EXPECT_NEAR(got.border[k], want.border[k], 1e-12 * std::fabs(want.border[k])) << k;
  }
};

double unit(double, double) { return 1.0; }
double plain_residual(double, double y, double f) { return y - f; }
double squared(double, double, double r) { return r * r; }

// Polynomials of 1 to 10 coefficients (the pass has unrolled loops for up
// to 8 parameters, plain ones beyond): the cross products are sums of
// powers of x and the border row sums of x^i (f - y), formed here.
TEST_F(DataPassTest, CrossProductsOfEveryParameterCount) {
  for (int m = 1; m <= 10; ++m) {
    SCOPED_TRACE(m);
    std::string parms = "parms", model = "model y = b0";
    g_parms.assign(static_cast<std::size_t>(m), 0.0);
    for (int i = 0; i < m; ++i) {
      parms += " b" + std::to_string(i) + "=0";
      g_parms[static_cast<std::size_t>(i)] = 0.1 * (i + 1);
      if (i > 0) model += " + b" + std::to_string(i) + "*x**" + std::to_string(i);
    }
    std::vector<double> got;
    ASSERT_EQ(run_and_inspect("proc ruva data=d; " + parms + "; " + model + ";", pass_body,
                              [&](RUVACOM* ctx) { got.assign(ctx->xpx, ctx->xpx + zisub(m, m) + 1); }),
              0)
        << log_text();
    std::vector<double> want(got.size(), 0.0);
    for (std::size_t k = 0; k < kX.size(); ++k) {
      std::vector<double> row(static_cast<std::size_t>(m) + 1);
      double f = 0;
      for (int i = 0; i < m; ++i) {
        row[static_cast<std::size_t>(i)] = std::pow(kX[k], i);
        f += g_parms[static_cast<std::size_t>(i)] * row[static_cast<std::size_t>(i)];
      }
      row[static_cast<std::size_t>(m)] = f - kY[k];
      for (int i = 0; i <= m; ++i)
        for (int j = 0; j <= i; ++j) want[static_cast<std::size_t>(zisub(i, j))] += row[static_cast<std::size_t>(i)] * row[static_cast<std::size_t>(j)];
    }
    for (std::size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(got[k], want[k], 1e-12 * std::fabs(want[k])) << k;
  }
}

TEST_F(DataPassTest, SumsWithEachSpecialVariable) {
  auto inverse = [](double x, double) { return 1.0 / x; };
  // Unweighted: the border as the optimiser takes it.
  check("", expected(unit, unit, plain_residual, squared));
  // Weights scale the objective, the cross products and the border.
  check("_weight_ = 1/x;", expected(inverse, inverse, plain_residual, squared));
  // A loss replaces the squared residual only in the objective.
  auto absolute = [](double, double, double r) { return std::fabs(r); };
  check("_loss_ = abs(y - a*exp(-b*x));", expected(unit, unit, plain_residual, absolute));
  // The program's residual is used everywhere.
  auto resid = [](double x, double y, double f) { return (y - f) / std::sqrt(x); };
  check("_resid_ = (y - a*exp(-b*x))/sqrt(x);", expected(unit, unit, resid, squared));
  // The cross-product weight weights the parameter block only.
  auto x1 = [](double x, double) { return x; };
  auto x2 = [](double x, double) { return x * x; };
  check("_weight_ = x; _wgtjpj_ = x*x;", expected(x1, x2, plain_residual, squared));
  // Zero weights and non-positive cross weights leave observations out.
  auto w = [](double x, double) { return x == 2 ? 0.0 : 1.0; };
  auto u = [](double x, double) { return x == 5 ? -1.0 : 1.0; };
  check("_weight_ = (x ne 2); _wgtjpj_ = 1 - 2*(x = 5);", expected(w, u, plain_residual, squared));
  // A negative weight is used and lowers the objective.
  auto negative = [](double x, double) { return x == 3 ? -1.0 : 1.0; };
  check("_weight_ = 1 - 2*(x = 3); _wgtjpj_ = 1;", expected(negative, unit, plain_residual, squared));
}

// An observation whose contribution, weighted, would overflow is left out of
// everything, the last pass's sums included.
TEST_F(DataPassTest, AnOverflowingWeightedContributionIsLeftOutEntirely) {
  g_last_pass = true;
  double sumw = 0, sumwsse = 0;
  long used = 0;
  unsigned char bits = 0;
  ASSERT_EQ(run_and_inspect("proc ruva data=d; parms a=1 b=1; _weight_ = 1 + 1e308*(x = 4);"
                            " model y = a*exp(-b*x);",
                            pass_body,
                            [&](RUVACOM* ctx) {
                              sumw = ctx->sumw, sumwsse = ctx->sumwsse, used = ctx->iobs;
                              bits = ctx->obs_computable_flag[0];
                            }),
            0);
  double want = 0;
  for (std::size_t i = 0; i < kX.size(); ++i)
    if (kX[i] != 4) want += std::pow(kY[i] - kA * std::exp(-kB * kX[i]), 2);
  EXPECT_EQ(used, 5);
  EXPECT_DOUBLE_EQ(sumw, 5.0);
  EXPECT_NEAR(sumwsse, want, 1e-14);
  EXPECT_EQ(bits, 0xEC);  // 1110 1100: six observations, the fourth left out
}

TEST_F(DataPassTest, ALossThatOverflowsOrIsMissingLeavesTheObservationOut) {
  g_last_pass = true;
  long used = 0;
  double sumw = 0;
  ASSERT_EQ(run_and_inspect("proc ruva data=d; parms a=1 b=1; _weight_ = 2;"
                            " if x = 1 then _loss_ = 1e308; else if x = 2 then _loss_ = .;"
                            " else _loss_ = 1; model y = a*exp(-b*x);",
                            pass_body, [&](RUVACOM* ctx) { used = ctx->iobs, sumw = ctx->sumw; }),
            0);
  EXPECT_EQ(used, 4);
  EXPECT_DOUBLE_EQ(sumw, 8.0);
}

// The bits count every observation read, used or not, first in the most
// significant bit.
TEST_F(DataPassTest, TheBitmapMarksTheUsedObservationsInReadingOrder) {
  std::string csv = "x,y\n";
  for (int i = 1; i <= 10; ++i) csv += std::to_string(i) + "," + (i == 3 || i == 7 ? "." : "1") + "\n";
  write_file("d.csv", csv);
  g_last_pass = true;
  std::vector<unsigned char> bits;
  long read = 0;
  ASSERT_EQ(run_and_inspect("proc ruva data=d; parms a=1 b=1; model y = a*exp(-b*x);", pass_body,
                            [&](RUVACOM* ctx) {
                              bits.assign(ctx->obs_computable_flag, ctx->obs_computable_flag + ctx->obs_computable_bytes);
                              read = ctx->nobs;
                            }),
            0);
  EXPECT_EQ(read, 10);
  EXPECT_EQ(bits, (std::vector<unsigned char>{0xDD, 0xC0}));
  // A bitmap too small for the group takes the bits it has room for.
  g_bitmap_bytes = 1;
  ASSERT_EQ(run_and_inspect("proc ruva data=d; parms a=1 b=1; model y = a*exp(-b*x);", pass_body,
                            [&](RUVACOM* ctx) { bits.assign(ctx->obs_computable_flag, ctx->obs_computable_flag + 1); }),
            0);
  EXPECT_EQ(bits, (std::vector<unsigned char>{0xDD}));
}

using RunService = int (*)(int, int, int, int, int, int, int, int, int*, int*, CMPGLOBAL*);
RunService g_real_run = nullptr;
int g_runs = 0;
int run_failing_fifth(int e, int r1, int r2, int cm, int ce, int d, int nl, int lp, int* ne, int* nm, CMPGLOBAL* c) {
  if (++g_runs == 5) return 3;
  return g_real_run(e, r1, r2, cm, ce, d, nl, lp, ne, nm, c);
}

// The run service is replaced, so the program runs observation by
// observation (a block run calls it only for the observations it leaves).
TEST_F(DataPassTest, ARunThatFailsEndsThePassAfterItsObservation) {
  platform::compiler::allow_block_runs(false);
  std::string csv = "x,y\n";
  for (int i = 1; i <= 9; ++i) csv += std::to_string(i) + ",1\n";
  write_file("d.csv", csv);
  g_runs = 0;
  g_real_run = reinterpret_cast<RunService>(host_.replace_service(148, 12, reinterpret_cast<void*>(&run_failing_fifth)));
  long read = 0, used = 0;
  const int rc = run_and_inspect("proc ruva data=d; parms a=1 b=1; model y = a*exp(-b*x);", pass_body,
                                 [&](RUVACOM* ctx) { read = ctx->nobs, used = ctx->iobs; });
  host_.replace_service(148, 12, reinterpret_cast<void*>(g_real_run));
  platform::compiler::allow_block_runs(true);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(read, 5);
  EXPECT_EQ(used, 4);
}

using ReadService = int (*)(XO_PARMS*);
ReadService g_real_read = nullptr;
int g_reads = 0;
int read_failing_third(XO_PARMS* parms) {
  if (++g_reads == 3) return kXoBadState;
  return g_real_read(parms);
}

// A read error ends the pass: the observation read before it is not taken
// a second time. (The program reads _N_, so that the pass does not count
// the records first, as a pass that may stand for the last pass does.)
TEST_F(DataPassTest, AReadErrorEndsThePass) {
  g_reads = 0;
  g_real_read = reinterpret_cast<ReadService>(host_.replace_service(212, 26, reinterpret_cast<void*>(&read_failing_third)));
  long read = 0, used = 0;
  double sse = 0;
  run_and_inspect("proc ruva data=d; parms a=1 b=1; n = _n_; model y = a*exp(-b*x);", pass_body, [&](RUVACOM* ctx) {
    read = ctx->nobs, used = ctx->iobs, sse = ctx->sse;
  });
  host_.replace_service(212, 26, reinterpret_cast<void*>(g_real_read));
  EXPECT_EQ(read, 2);
  EXPECT_EQ(used, 2);
  EXPECT_NEAR(sse, std::pow(kY[0] - kA * std::exp(-kB), 2) + std::pow(kY[1] - kA * std::exp(-2 * kB), 2), 1e-15);
}

// `failed` describes the latest run only: the failed observation is marked,
// one after it is not.
TEST_F(DataPassTest, AFailedRunMarksItsOwnObservationOnly) {
  g_runs = 0;
  g_real_run = reinterpret_cast<RunService>(host_.replace_service(148, 12, reinterpret_cast<void*>(&run_failing_fifth)));
  std::vector<int> failed;
  auto body = [] {
    RUVACOM* ctx = procedure_test::begin_step(2);
    if (xbynext(ctx->fiddata) <= 0) xexit(1012, 0);
    nlexint();
    for (int i = 0; i < 6; ++i) {
      nlexec();
      procedure_test::inspection()(ctx);
    }
    xexit(0, 0);
  };
  run_and_inspect("proc ruva data=d; parms a=1 b=1; model y = a*exp(-b*x);", body,
                  [&](RUVACOM* ctx) { failed.push_back(ctx->failed); });
  host_.replace_service(148, 12, reinterpret_cast<void*>(g_real_run));
  EXPECT_EQ(failed, (std::vector<int>{0, 0, 0, 0, 1, 0}));
}

// Weighted least squares of a Fourier series of p terms (linear in its
// parameters, so the fit is the solution LAPACK gives for the √w-scaled
// rows), with _WEIGHT_ alone and with _WGTJPJ_ as well: the estimates and
// their standard errors sqrt(mse · (X'WX)⁻¹_jj), mse = Σ w r² / (n - p).
TEST_F(DataPassTest, FitsOfManyParametersMatchLapack) {
  constexpr int n = 40;
  auto term = [](int k, double t) { return k == 0 ? 1.0 : k % 2 ? std::cos((k + 1) / 2 * t) : std::sin(k / 2 * t); };
  std::vector<double> t(n), y(n), w(n);
  std::string csv = "t,y,w\n";
  for (int i = 0; i < n; ++i) {
    t[i] = 0.15 * i, w[i] = 1 + 0.5 * (i % 4);
    y[i] = std::exp(-0.2 * t[i]) * std::cos(2.5 * t[i]) + 0.05 * std::sin(7.0 * i);
    csv += std::to_string(t[i]) + "," + std::to_string(y[i]) + "," + std::to_string(w[i]) + "\n";
    y[i] = std::stod(std::to_string(y[i])), t[i] = std::stod(std::to_string(t[i]));
  }
  write_file("f.csv", csv);
  for (int p : {9, 12}) {
    std::vector<double> rows(static_cast<std::size_t>(n) * p), rhs(n), xwx(static_cast<std::size_t>(p) * p, 0.0);
    std::string parms = "parms", model = "model y = b0";
    for (int k = 0; k < p; ++k) {
      parms += " b" + std::to_string(k) + "=0";
      if (k > 0)
        model += " + b" + std::to_string(k) + "*" + (k % 2 ? "cos(" : "sin(") + std::to_string((k + 1) / 2) + "*t)";
    }
    for (int i = 0; i < n; ++i) {
      rhs[i] = std::sqrt(w[i]) * y[i];
      for (int k = 0; k < p; ++k) rows[i * p + k] = std::sqrt(w[i]) * term(k, t[i]);
      for (int a = 0; a < p; ++a)
        for (int b = 0; b < p; ++b) xwx[a * p + b] += rows[i * p + a] * rows[i * p + b];
    }
    const std::vector<double> beta = lapack::min_norm_solution(rows, n, p, rhs, 1e-12);
    const std::vector<double> inverse = lapack::symmetric_inverse(xwx, p);
    ASSERT_EQ(beta.size(), static_cast<std::size_t>(p));
    double ss = 0;
    for (int i = 0; i < n; ++i) {
      double r = rhs[i];
      for (int k = 0; k < p; ++k) r -= rows[i * p + k] * beta[k];
      ss += r * r;
    }
    for (const char* weights : {"_weight_ = w;", "_weight_ = w; _wgtjpj_ = w;"}) {
      SCOPED_TRACE(std::to_string(p) + " " + weights);
      json_.str("");
      ASSERT_EQ(run("proc ruva data=f; " + parms + "; " + model + "; " + weights), 0) << log_text();
      const auto tables = this->tables("ParameterEstimates");
      ASSERT_EQ(tables.size(), 1u);
      const auto& est = tables[0]["rows"];
      ASSERT_EQ(est.size(), static_cast<std::size_t>(p));
      for (int k = 0; k < p; ++k) {
        EXPECT_NEAR(est[k][1].get<double>(), beta[k], 1e-9) << k;
        const double se = std::sqrt(ss / (n - p) * inverse[k * p + k]);
        EXPECT_NEAR(est[k][2].get<double>(), se, 1e-9 * se) << k;
      }
    }
  }
}

std::vector<double> g_pass_products, g_factor_products;

// A plain pass, then one that also hands its rows to a factor: the
// factor's R'R and the second pass's sums, both against the first pass's.
void rows_body() {
  RUVACOM* ctx = procedure_test::begin_step(2);
  if (xbynext(ctx->fiddata) <= 0) xexit(1012, 0);
  for (std::size_t i = 0; i < g_parms.size(); ++i) ctx->parm[i] = g_parms[i];
  ctx->do_der = 1;
  const int n = ctx->nparm;
  ruvass(ctx);
  g_pass_products.assign(ctx->xpx, ctx->xpx + zisub(n, n) + 1);
  RowFactor factor(n);
  ruvass_with_rows(ctx, &factor);
  EXPECT_EQ(std::vector<double>(ctx->xpx, ctx->xpx + zisub(n, n) + 1), g_pass_products);
  const std::vector<double> r = factor.triangle();
  g_factor_products.assign(static_cast<std::size_t>(n) * (n + 1) / 2, 0.0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j)
      for (int k = 0; k <= j; ++k) g_factor_products[zisub(i, j)] += r[k * n + i] * r[k * n + j];
  inspect_and_exit(ctx);
}

// The rows a pass hands on make the cross products it sums, for programs
// that carry values from one observation to the next, leave early, jump,
// keep arrays or weight their rows.
TEST_F(DataPassTest, TheRowsOfAPassMakeItsCrossProducts) {
  for (const char* statements :
       {"retain s 0; s = s + 1; w = 1 + 0*s;", "retain prev 1; w = prev; prev = x;", "control k 1; w = k;",
        "link m; return; m: w = 1/x; return;", "w = 1; goto l; w = 0; l: w = w + x;",
        "array t[2] t1-t2; t[1] = x; t[2] = 2; w = t[2];", "_wgtjpj_ = 1/x; w = 1;"}) {
    SCOPED_TRACE(statements);
    const std::string program =
        std::string("proc ruva data=d; parms a=1 b=1; ") + statements + " _weight_ = w; model y = a*exp(-b*x);";
    ASSERT_EQ(run_and_inspect(program, rows_body, [](RUVACOM*) {}), 0) << log_text();
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(g_factor_products[k], g_pass_products[k], 1e-13 * std::fabs(g_pass_products[k])) << k;
  }
}

}  // namespace
