// The observation-level diagnostics through whole steps: against the closed
// forms of a model linear in its parameters, a published local-influence
// direction (also under a rescaled parameter), frequency weights against
// replicated rows, the saved diagnostics of the OUTPUT data set when an
// observation in the middle cannot be used or their file fails, Misra1a
// against dense references formed here, and the listed table: the columns
// asked for, against its JSON, and nothing under NOPRINT.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/host.h"
#include "procedure/graph_control.h"
#include "procedure/step_memory.h"
#include "results/diagnostics_record.h"
#include "results/output_data_sets.h"
#include "results/fit_fixture.h"
#include "optim/lapack.h"
#include "support/nist_problem.h"

namespace {

using procedure_test::Row;

const char* const kSaved[] = {"re", "pr", "ps", "j", "lm"};
const std::string kOutput = "output out=o resexpec=re projres=pr projstudent=ps j=j lmax=lm;";

// Exponential decay: x = 1..6.
const double kDecayY[6] = {2.85, 1.09, -0.58, -0.02, 3.57, 0.34};

std::string decay_csv(double scale = 1) {
  std::ostringstream s;
  s.precision(17);
  s << "x,y,w\n";
  for (int i = 0; i < 6; ++i) s << i + 1 << ',' << kDecayY[i] * scale << ',' << i % 3 + 1 << '\n';
  return s.str();
}

void expect_near(double got, double want, double tol, const std::string& what) {
  if (std::isnan(want)) {
    EXPECT_TRUE(std::isnan(got)) << what << " = " << got << ", expected missing";
    return;
  }
  EXPECT_NEAR(got, want, tol * std::max(1.0, std::fabs(want))) << what;
}

class DiagnosticsTest : public results_test::FitTest {
 protected:
  std::vector<Row> fit_rows(const std::string& csv, const std::string& program) {
    EXPECT_EQ(fit(csv, program), 0) << log_text();
    return read_rows("o");
  }
};

// y = a + b x, weighted or not: with X = Σ w (1, x)(1, x)' the tangential
// and Jacobian leverages are the hat diagonal w d'X⁻¹d and sum to 2; the
// residuals are already orthogonal to the model, so the projected residual
// is the residual and its studentized form is the studentized residual; the
// residual expectation is 0.
TEST_F(DiagnosticsTest, LinearModelGivesTheHatMatrixAndTheClosedForms) {
  for (const bool weighted : {false, true}) {
    const std::vector<Row> rows =
        fit_rows(decay_csv(), std::string("proc ruva data=d; parms a=0 b=0; ") + (weighted ? "_weight_ = w; " : "") +
                                  "model y = a + b*x; " + kOutput);
    const results_test::Json t = tables("OutputStatistics").back();
    ASSERT_EQ(t["type"], "table") << "asked for by OUTPUT, the table is listed";
    double sw = 0, swx = 0, swxx = 0, swy = 0, swxy = 0;
    for (int i = 0; i < 6; ++i) {
      const double w = weighted ? i % 3 + 1 : 1, x = i + 1, y = kDecayY[i];
      sw += w, swx += w * x, swxx += w * x * x, swy += w * y, swxy += w * x * y;
    }
    const double det = sw * swxx - swx * swx;
    const double b = (sw * swxy - swx * swy) / det, a = (swy - b * swx) / sw;
    double sse = 0;
    for (int i = 0; i < 6; ++i) sse += (weighted ? i % 3 + 1 : 1) * std::pow(kDecayY[i] - a - b * (i + 1), 2);
    const double s2 = sse / 4;
    double leverage_sum = 0;
    for (int i = 0; i < 6; ++i) {
      const double w = weighted ? i % 3 + 1 : 1, x = i + 1, e = kDecayY[i] - a - b * x;
      const double h = w * (swxx - 2 * x * swx + x * x * sw) / det;
      const double student = std::sqrt(w) * e / std::sqrt(s2 * (1 - h));
      const std::string where = (weighted ? " weighted" : "") + std::string(" of observation ") + std::to_string(i + 1);
      leverage_sum += number(t, i, "TangentLeverage");
      expect_near(number(t, i, "TangentLeverage"), h, 1e-9, "tangential leverage" + where);
      expect_near(number(rows[i], "j"), h, 1e-9, "Jacobian leverage" + where);
      expect_near(number(t, i, "StudentizedResidual"), student, 1e-9, "studentized residual" + where);
      expect_near(number(rows[i], "pr"), e, 1e-9, "projected residual" + where);
      expect_near(number(rows[i], "ps"), student, 1e-9, "studentized projected residual" + where);
      expect_near(number(rows[i], "re"), 0, 1e-9, "residual expectation" + where);
    }
    EXPECT_NEAR(leverage_sum, 2, 1e-9);
  }
}

// y = a exp(-k x) has the local-influence direction below (up to sign)
// with eigenvalue 0.677 > 0.5; it does not depend on how k is scaled, nor
// on the unit of the response (1e-15: derivatives far below 1e-12).
TEST_F(DiagnosticsTest, LocalInfluenceIsThePublishedDirectionWhateverTheParameterScale) {
  const double kLmax[6] = {0.5706853632, 0.0949816363, -0.2039603303, -0.3798595677, -0.4715701498, -0.5069765195};
  const char* const models[] = {"parms a=2 k=0.2; model y = a*exp(-k*x);",
                                "parms a=2 kk=200; model y = a*exp(-kk/1000*x);",
                                "parms aa=2000 k=0.2; model y = aa/1000*exp(-k*x);",
                                "parms a=2e-15 k=0.2; model y = a*exp(-k*x);"};
  for (const char* model : models) {
    const double scale = std::string(model).find("e-15") != std::string::npos ? 1e-15 : 1;
    const std::vector<Row> rows =
        fit_rows(decay_csv(scale), std::string("proc ruva data=d converge=1e-8; ") + model + kOutput);
    ASSERT_EQ(rows.size(), 6u);
    const double sign = number(rows[0], "lm") > 0 ? 1 : -1;
    for (int i = 0; i < 6; ++i) expect_near(sign * number(rows[i], "lm"), kLmax[i], 1e-6, std::string(model) + " obs " + std::to_string(i + 1));
  }
}

// Puromycin with frequency weights 1, 2, 3 against the same rows repeated:
// residual expectations and projected residuals are those of each copy, the
// leverages the sums over the copies, and LMAX the root of the copies' sum
// of squares.
TEST_F(DiagnosticsTest, FrequencyWeightsMatchReplicatedRows) {
  std::string weighted = "conc,rate,w\n", replicated = "conc,rate,w\n";
  for (int i = 0; i < 12; ++i) {
    const std::string row = std::to_string(results_test::kConc[i]) + "," + std::to_string(results_test::kRate[i]);
    weighted += row + "," + std::to_string(i % 3 + 1) + "\n";
    for (int c = 0; c <= i % 3; ++c) replicated += row + ",1\n";
  }
  const std::string program = "proc ruva data=d converge=1e-8 sigsq=100; parms vm=200 k=0.05; _weight_ = w; "
                              "model rate = vm*conc/(k + conc); " + kOutput;
  const std::vector<Row> w = fit_rows(weighted, program), r = fit_rows(replicated, program);
  ASSERT_EQ(r.size(), 24u);
  std::size_t copy = 0;
  for (int i = 0; i < 12; ++i) {
    double j = 0, lm2 = 0;
    const std::size_t first = copy;
    for (int c = 0; c <= i % 3; ++c, ++copy) {
      j += number(r[copy], "j");
      lm2 += std::pow(number(r[copy], "lm"), 2);
    }
    const std::string where = " of observation " + std::to_string(i + 1);
    expect_near(number(w[i], "re"), number(r[first], "re"), 1e-6, "residual expectation" + where);
    expect_near(number(w[i], "pr"), number(r[first], "pr"), 1e-6, "projected residual" + where);
    expect_near(number(w[i], "j"), j, 1e-6, "Jacobian leverage" + where);
    expect_near(std::fabs(number(w[i], "lm")), std::sqrt(lm2), 1e-6, "LMAX" + where);
  }
}

// An observation in the middle whose model run fails (log of 0) gets
// missing saved diagnostics, LMAX included, and every other observation
// gets its own: those of the same fit without it.
TEST_F(DiagnosticsTest, SavedDiagnosticsLandOnTheirObservationsAroundAFailedOne) {
  const std::string program = "proc ruva data=d; parms a=2 k=0.2; model y = a*exp(-k*x) + 0*log(x); " + kOutput;
  std::string without = "x,y\n", with = "x,y\n";
  for (int i = 0; i < 6; ++i) {
    const std::string row = std::to_string(i + 1) + "," + std::to_string(kDecayY[i]) + "\n";
    without += row;
    with += row;
    if (i == 2) with += "0,1.5\n";
  }
  const std::vector<Row> ref = fit_rows(without, program), got = fit_rows(with, program);
  ASSERT_EQ(got.size(), 7u);
  for (int i = 0; i < 7; ++i)
    for (const char* name : kSaved) {
      const double want = i == 3 ? NAN : number(ref[i < 3 ? i : i - 1], name);
      expect_near(number(got[i], name), want, 1e-9, std::string(name) + " of observation " + std::to_string(i + 1));
    }
}

// An orthonormal basis of the span of the columns (row-major n by c), by
// modified Gram-Schmidt applied twice; a column left with less than 1e-9 of
// its norm adds nothing.
std::vector<std::vector<double>> orthonormal_basis(
    const std::vector<std::vector<double>>& columns) {
  std::vector<std::vector<double>> basis;
  for (std::vector<double> v : columns) {
    double norm0 = 0, norm = 0;
    for (double x : v) norm0 += x * x;
    for (int pass = 0; pass < 2; ++pass)
      for (const auto& q : basis) {
        double dot = 0;
        for (std::size_t i = 0; i < v.size(); ++i) dot += q[i] * v[i];
        for (std::size_t i = 0; i < v.size(); ++i) v[i] -= dot * q[i];
      }
    for (double x : v) norm += x * x;
    if (norm <= 1e-18 * norm0 || norm0 == 0) continue;
    for (double& x : v) x /= std::sqrt(norm);
    basis.push_back(v);
  }
  return basis;
}

// Misra1a, y = b1 (1 - exp(-b2 x)), at its certified estimates, with J the
// derivative matrix, H_i the second derivatives, C = (J'J)⁻¹ and σ² the mean
// square: tangential leverage d'Cd, Jacobian leverage d'(J'J - Σ e H)⁻¹d,
// residual expectation -σ²/2 ((I - JCJ') s)_i with s_i = tr(H_i C), the
// projected residual (I - P)e with P the projection onto the columns of
// (J, H) (rank 3: ∂²/∂b1² is 0 and ∂²/∂b1∂b2 is ∂/∂b2 over b1), studentized
// by σ²(1 - P_ii), and LMAX the leading eigenvector of
// the influence matrix J(J'J - Σ e H)⁻¹J'.
TEST_F(DiagnosticsTest, Misra1aMatchesDenseReferences) {
  const nist::Problem problem = nist::read_problem("Misra1a");
  std::string csv = "y,x\n";
  for (const auto& row : problem.rows) csv += row[0] + "," + row[1] + "\n";
  char parms[160];
  std::snprintf(parms, sizeof parms, "parms b1=%.17g b2=%.17g;", problem.certified[0],
                problem.certified[1]);
  const std::vector<Row> rows = fit_rows(csv, std::string("proc ruva data=d maxiter=0; ") + parms +
                                                  "model y = b1*(1-exp(-b2*x)); " + kOutput);
  const results_test::Json t = tables("OutputStatistics").back();
  const std::vector<double> x = nist::column(problem, "x"), y = nist::column(problem, "y");
  const int n = static_cast<int>(x.size());
  ASSERT_EQ(rows.size(), x.size());
  const double b1 = problem.certified[0], b2 = problem.certified[1];
  std::vector<double> e(n), d0(n), d1(n), h01(n), h11(n);
  double g[3] = {}, k[3] = {}, sse = 0;  // J'J and Σ e H, packed (00, 10, 11)
  for (int i = 0; i < n; ++i) {
    const double decay = std::exp(-b2 * x[i]);
    e[i] = y[i] - b1 * (1 - decay);
    d0[i] = 1 - decay, d1[i] = b1 * x[i] * decay, h01[i] = x[i] * decay,
    h11[i] = -b1 * x[i] * x[i] * decay;
    g[0] += d0[i] * d0[i], g[1] += d0[i] * d1[i], g[2] += d1[i] * d1[i];
    k[1] += e[i] * h01[i], k[2] += e[i] * h11[i];
    sse += e[i] * e[i];
  }
  const double s2 = sse / (n - 2);
  auto quad = [](const double* a, double u, double v) {  // (u, v) a⁻¹ (u, v)'
    return (a[2] * u * u - 2 * a[1] * u * v + a[0] * v * v) / (a[0] * a[2] - a[1] * a[1]);
  };
  const double det = g[0] * g[2] - g[1] * g[1], c[3] = {g[2] / det, -g[1] / det, g[0] / det};
  const double jk[3] = {g[0] - k[0], g[1] - k[1], g[2] - k[2]};
  std::vector<double> s(n);
  double js[2] = {};
  for (int i = 0; i < n; ++i) {
    s[i] = 2 * h01[i] * c[1] + h11[i] * c[2];
    js[0] += d0[i] * s[i], js[1] += d1[i] * s[i];
  }
  const auto basis = orthonormal_basis({d0, d1, std::vector<double>(n, 0.0), h01, h11});
  // The influence matrix J(J'J - Σ e H)⁻¹J', its leading eigenpair.
  std::vector<double> influence(n * n);
  const double det_jk = jk[0] * jk[2] - jk[1] * jk[1];
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      influence[i * n + j] = (jk[2] * d0[i] * d0[j] - jk[1] * (d0[i] * d1[j] + d1[i] * d0[j]) +
                              jk[0] * d1[i] * d1[j]) /
                             det_jk;
  std::vector<double> values(n), work(64 * n);
  int info = 0;
  const int lwork = 64 * n;
  dsyev_("V", "L", &n, influence.data(), &n, values.data(), work.data(), &lwork, &info, 1, 1);
  ASSERT_EQ(info, 0);
  const double* v = &influence[(n - 1) * n];
  // Its eigenvalue is 1/(1 - λ) for the reduced eigenvalue λ that must
  // exceed 0.5; Misra1a's is 1.003, so LMAX is missing throughout.
  const bool has_lmax = values[n - 1] > 2;
  const double lmax_sign = has_lmax && number(rows[0], "lm") * v[0] < 0 ? -1 : 1;
  for (int i = 0; i < n; ++i) {
    double pe = 0, pii = 0;
    for (const auto& q : basis) {
      double qe = 0;
      for (int j = 0; j < n; ++j) qe += q[j] * e[j];
      pe += q[i] * qe, pii += q[i] * q[i];
    }
    const double h = quad(g, d0[i], d1[i]), pr = e[i] - pe;
    const double re =
        -0.5 * s2 *
        (s[i] - d0[i] * (c[0] * js[0] + c[1] * js[1]) - d1[i] * (c[1] * js[0] + c[2] * js[1]));
    const std::string where = " of observation " + std::to_string(i + 1);
    expect_near(number(t, i, "TangentLeverage"), h, 1e-8, "tangential leverage" + where);
    expect_near(number(rows[i], "j"), quad(jk, d0[i], d1[i]), 1e-8, "Jacobian leverage" + where);
    expect_near(number(t, i, "StudentizedResidual"), e[i] / std::sqrt(s2 * (1 - h)), 1e-8,
                "studentized residual" + where);
    expect_near(number(rows[i], "re"), re, 1e-8, "residual expectation" + where);
    expect_near(number(rows[i], "pr"), pr, 1e-8, "projected residual" + where);
    expect_near(number(rows[i], "ps"), pr / std::sqrt(s2 * (1 - pii)), 1e-7,
                "studentized projected residual" + where);
    expect_near(number(rows[i], "lm"), has_lmax ? lmax_sign * v[i] : NAN, 1e-7, "LMAX" + where);
  }
}

// The table's tangential leverage and studentized residual are OUTPUT H=
// and STUDENT=: w d'Cd with C the fit's covariance over s². Under NEWTON C
// is the inverse of the full Hessian J'J - Σ e H (so the leverage is the
// Jacobian one); on the active bound K <= 0.06 K is fixed and the leverage
// is Vm's alone, d²/Σd², with s² on 11 degrees of freedom.
TEST_F(DiagnosticsTest, TheTablesLeverageAndStudentizedResidualAreTheFitsOwn) {
  const std::string output = "output out=o h=h student=st j=j resexpec=re;";
  for (const bool bounded : {false, true}) {
    SCOPED_TRACE(bounded ? "K <= 0.06" : "NEWTON");
    const std::vector<Row> rows = fit_rows(
        results_test::kPuromycin,
        std::string("proc ruva data=d") + (bounded ? "" : " method=newton") + "; parms Vm=200 K=0.05; " +
            (bounded ? "bounds K <= 0.06; " : "") + "model rate = Vm*conc/(K+conc); " + output);
    const results_test::Json t = tables("OutputStatistics").back();
    const results_test::Json pe = tables("ParameterEstimates").back();
    const double vm = number(pe, 0, "Estimate"), k = bounded ? 0.06 : number(pe, 1, "Estimate");
    double m[3] = {}, sse = 0;  // J'J - Σ e H over (Vm, K), packed (00, 10, 11)
    for (int i = 0; i < 12; ++i) {
      const double x = results_test::kConc[i], u = k + x, e = results_test::kRate[i] - vm * x / u;
      const double dv = x / u, dk = -vm * x / (u * u);
      m[0] += dv * dv, m[1] += dv * dk - e * (-x / (u * u)), m[2] += dk * dk - e * (2 * vm * x / (u * u * u));
      sse += e * e;
    }
    const double s2 = sse / (bounded ? 11 : 10), det = m[0] * m[2] - m[1] * m[1];
    for (int i = 0; i < 12; ++i) {
      const double x = results_test::kConc[i], u = k + x, e = results_test::kRate[i] - vm * x / u;
      const double dv = x / u, dk = -vm * x / (u * u);
      const double h = bounded ? dv * dv / m[0] : (m[2] * dv * dv - 2 * m[1] * dv * dk + m[0] * dk * dk) / det;
      const std::string where = " of observation " + std::to_string(i + 1);
      expect_near(number(t, i, "TangentLeverage"), h, 1e-7, "tangential leverage" + where);
      expect_near(number(rows[i], "h"), h, 1e-7, "H=" + where);
      expect_near(number(t, i, "StudentizedResidual"), e / std::sqrt(s2 * (1 - h)), 1e-7, "studentized" + where);
      expect_near(number(rows[i], "st"), e / std::sqrt(s2 * (1 - h)), 1e-7, "STUDENT=" + where);
    }
  }
}

// The step's phases with a fit plot requested after the set-up, as the
// graphs would (this build switches them off).
void fit_plot_body() {
  RUVACOM* ctx = procedure_test::begin_step(2);
  if (jovouti() != 0) xexit(1016, 0);
  ctx->graph_control = ruva_new_or_exit<RUVAGRAPH_CONTROL>();
  ctx->graph_control->ruvafit_plot = ruva_new_or_exit<RUVAFIT_PLOT>();
  while (xbynext(ctx->fiddata) > 0) {
    if (jovgrid(ctx) == 0) {
      jovopt(ctx);
      if (ctx->outptr) jovout(ctx);
    }
    reset_for_next_bygroup(ctx);
  }
  for (int k = 0; k < ctx->nout; ++k) xvputt(ctx->outsets[k].list);
  procedure_test::inspect_and_exit(ctx);
}

// A fit plot puts the model's one regressor in the table of each BY group,
// beside the ID variables, and keeps its range over the group for the graphs.
TEST_F(DiagnosticsTest, FitPlotGivesIdAndRegressorColumnsAndTheGroupRange) {
  std::string csv = "g,name,x,y\n";
  for (int g = 1; g <= 2; ++g)
    for (int i = 0; i < 6; ++i)
      csv += std::to_string(g) + ",n" + std::to_string(i) + "," + std::to_string(i + 2 * g) + "," +
             std::to_string(kDecayY[i]) + "\n";
  write_file("d.csv", csv);
  double range[2] = {};
  int regressors = 0;
  const int rc = run_and_inspect(
      "proc ruva data=d; by g; id name x; parms a=2 k=0.2; model y = a*exp(-k*x); " + kOutput, fit_plot_body,
      [&](RUVACOM* ctx) {
        const DiagRegressors* r = ctx->ruvadiag->regs_blck;
        regressors = r->num_regressors;
        if (regressors > 0) range[0] = r->xmins[0], range[1] = r->xmaxs[0];
        EXPECT_NE(ctx->outputstats_path, nullptr);
      });
  ASSERT_EQ(rc, 0) << log_text();
  EXPECT_EQ(regressors, 1);
  EXPECT_EQ(range[0], 4);
  EXPECT_EQ(range[1], 9);
  const std::vector<results_test::Json> groups = tables("OutputStatistics");
  ASSERT_EQ(groups.size(), 2u);
  for (int g = 1; g <= 2; ++g)
    for (int i = 0; i < 6; ++i) {
      const results_test::Json& t = groups[g - 1];
      EXPECT_EQ(cell(t, i, "id1"), "n" + std::to_string(i));
      EXPECT_EQ(number(t, i, "id2"), i + 2 * g);
      EXPECT_EQ(number(t, i, "x"), i + 2 * g);
    }
  // "Observed" carries the dependent variable's label, else its name.
  auto observed_label = [&] {
    const results_test::Json t = tables("OutputStatistics").back();
    for (const auto& c : t["columns"])
      if (c["name"] == "Observed") return c["label"].get<std::string>();
    return std::string("no column");
  };
  EXPECT_EQ(observed_label(), "y");
  write_file("d.meta.json", R"({"variables": [{"name": "y", "label": "Remaining mass"}]})");
  json_.str("");
  ASSERT_EQ(run("proc ruva data=d; by g; parms a=2 k=0.2; model y = a*exp(-k*x); " + kOutput, fit_plot_body), 0)
      << log_text();
  EXPECT_EQ(observed_label(), "Remaining mass");
  // A dependent variable the program computes has its own name.
  json_.str("");
  ASSERT_EQ(run("proc ruva data=d; by g; parms a=2 k=0.2; ly = log(y); model ly = log(a) - k*x; " + kOutput,
                fit_plot_body),
            0)
      << log_text();
  EXPECT_EQ(observed_label(), "ly");
}

// The file of saved diagnostics cannot be opened: the saved statistics
// stay missing, with a warning, and the predicted values are the fit's own.
// A write to it fails: the host's error, and the step writes no data set.
// A read fails: that observation's are missing.
int refuse_open(XC_FILE** file, const XC_OPEN*) {
  *file = nullptr;
  return kXcBadOpen;
}
int g_calls_before_failure = 0;
void* g_real_service = nullptr;
int failing_write(XC_FILE* file, const void* record, int length) {
  if (g_calls_before_failure-- == 0) return kXcIoFailed;
  return reinterpret_cast<decltype(&failing_write)>(g_real_service)(file, record, length);
}

int failing_read(XC_FILE* file, void* buffer, int length) {
  if (g_calls_before_failure-- == 0) return kXcIoFailed;
  return reinterpret_cast<decltype(&failing_read)>(g_real_service)(file, buffer, length);
}

TEST_F(DiagnosticsTest, WithoutTheFileOfSavedDiagnosticsTheyStayMissing) {
  const std::string program = "proc ruva data=d; parms a=2 k=0.2; model y = a*exp(-k*x); " + kOutput + " output out=q p=p;";
  ASSERT_EQ(fit(decay_csv(), program), 0) << log_text();
  const std::vector<Row> ref = read_rows("q"), ref_saved = read_rows("o");
  struct {
    int entry, rc;
    void* service;
    const char* message;
  } cases[] = {{7, 4, reinterpret_cast<void*>(&refuse_open), "WARNING: The file of saved diagnostics could not be opened"},
               {11, 8, reinterpret_cast<void*>(&failing_write),
                "ERROR: The utility file's temporary file could not be read or written."}};
  for (const auto& c : cases) {
    for (const char* file : {"o.csv", "q.csv"}) std::filesystem::remove(dir_ / file);
    g_calls_before_failure = 2;
    g_real_service = host_.replace_service(48, c.entry, c.service);
    EXPECT_EQ(fit(decay_csv(), program), c.rc) << log_text();
    host_.replace_service(48, c.entry, g_real_service);
    EXPECT_NE(log_text().find(c.message), std::string::npos) << log_text();
    if (c.rc == 8) {
      EXPECT_FALSE(std::filesystem::exists(dir_ / "o.csv"));
      continue;
    }
    const std::vector<Row> saved = read_rows("o"), predicted = read_rows("q");
    ASSERT_EQ(saved.size(), ref.size());
    ASSERT_EQ(predicted.size(), ref.size());
    for (std::size_t i = 0; i < ref.size(); ++i) {
      for (const char* name : kSaved) EXPECT_TRUE(std::isnan(number(saved[i], name))) << name << i;
      EXPECT_EQ(number(predicted[i], "p"), number(ref[i], "p"));
    }
  }
  // A failed read leaves that observation's saved statistics missing.
  g_calls_before_failure = 2;
  g_real_service = host_.replace_service(48, 9, reinterpret_cast<void*>(&failing_read));
  EXPECT_EQ(fit(decay_csv(), program), 0) << log_text();
  host_.replace_service(48, 9, g_real_service);
  const std::vector<Row> saved = read_rows("o");
  ASSERT_EQ(saved.size(), ref_saved.size());
  for (std::size_t i = 0; i < saved.size(); ++i)
    for (const char* name : kSaved) expect_near(number(saved[i], name), i == 2 ? NAN : number(ref_saved[i], name), 0, name);
}

// The rows of numbers of the listing's Output Statistics, each as its words.
std::vector<std::vector<std::string>> listed_rows(const std::string& listing) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(listing.substr(std::min(listing.find("Output Statistics"), listing.size())));
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    const bool numbers = !w.empty() && std::all_of(w.begin(), w.end(), [](const std::string& word) {
      char* end = nullptr;
      std::strtod(word.c_str(), &end);
      return word == "." || *end == '\0';
    });
    if (numbers) rows.push_back(w);
    else if (!rows.empty()) break;
  }
  return rows;
}

// The listing shows the weight, the residual, the studentized residual and
// the column of each OUTPUT diagnostic asked for, and nothing else: not the
// tangential leverage, the other projected residual, nor the accelerations
// that BIAS and RUVAMEASURES add to the table without a value (the JSON
// keeps them, missing). Under NOPRINT the table is made only as the data of
// a graph that reads it.
TEST_F(DiagnosticsTest, TheListingShowsTheDiagnosticsAskedFor) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"j=j", {"JacobianLeverage"}},
      {"projres=pr", {"ProjectedResidual"}},
      {"projstudent=ps", {"StudentizedProjectedResidual"}},
      {"resexpec=re lmax=lm", {"ResidualExpectation", "LMAX"}}};
  auto step = [](const std::string& options, const std::string& keywords) {
    return "proc ruva data=d bias ruvameasures" + options +
           "; parms a=2 k=0.2; model y = a*exp(-k*x); output out=o " + keywords + ";";
  };
  for (const auto& [keywords, asked] : cases) {
    SCOPED_TRACE(keywords);
    listing_.str("");
    ASSERT_EQ(fit(decay_csv(), step("", keywords)), 0) << log_text();
    const results_test::Json t = tables("OutputStatistics").back();
    std::vector<std::string> shown = {"Observation", "Weight", "Residual", "StudentizedResidual"};
    shown.insert(shown.end(), asked.begin(), asked.end());
    const auto rows = listed_rows(listing_.str());
    ASSERT_EQ(rows.size(), 6u) << listing_.str();
    for (std::size_t r = 0; r < rows.size(); ++r) {
      ASSERT_EQ(rows[r].size(), shown.size()) << listing_.str();
      for (std::size_t c = 0; c < shown.size(); ++c) {
        const results_test::Json v = cell(t, r, shown[c]);
        if (v.is_null()) EXPECT_EQ(rows[r][c], ".") << shown[c];
        else expect_near(std::stod(rows[r][c]), v.get<double>(), 1e-6, shown[c]);
      }
      EXPECT_TRUE(cell(t, r, "IntrinsicAcceleration").is_null());
    }
    EXPECT_EQ(listing_.str().find("cceleration"), std::string::npos);
  }
  listing_.str("");
  const std::size_t made = tables("OutputStatistics").size();
  ASSERT_EQ(fit(decay_csv(), step(" noprint", "j=j")), 0) << log_text();
  EXPECT_EQ(listing_.str(), "");
  EXPECT_EQ(tables("OutputStatistics").size(), made);
  ASSERT_EQ(fit(decay_csv(), step(" noprint plots=residuals", "j=j")), 0) << log_text();
  EXPECT_EQ(tables("OutputStatistics").back()["type"], "data");
}

// Graphics off: nothing but the listing could read the table, so under
// NOPRINT it is not made and the pass only saves the diagnostics. The OUTPUT
// data sets are those of the listed run, for a program that carries a value
// from one observation to the next and leaves early, over BY groups with
// weights.
class QuietDiagnosticsTest : public results_test::FitTest {
 protected:
  QuietDiagnosticsTest() : FitTest(false) {}
};

TEST_F(QuietDiagnosticsTest, NoprintListsNothingAndWritesTheSameDataSets) {
  std::string csv = "g,x,y,w\n";
  for (int g = 1; g <= 2; ++g)
    for (int i = 0; i < 6; ++i)
      csv += std::to_string(g) + "," + std::to_string(i + 1) + "," + std::to_string(kDecayY[i] + g) + "," +
             std::to_string(i % 3 + 1) + "\n";
  const std::string body = "; by g; parms a=2 k=0.2 c=1; retain prev 0; _weight_ = w; link m; model y = f; "
                           "return; m: f = a*exp(-k*x) + c + 0.01*prev; prev = x; return; " +
                           kOutput + " output out=q p=p h=h;";
  ASSERT_EQ(fit(csv, "proc ruva data=d" + body), 0) << log_text();
  ASSERT_EQ(listed_rows(listing_.str()).size(), 6u) << listing_.str();
  const std::vector<Row> listed = read_rows("o"), listed_q = read_rows("q");
  ASSERT_EQ(listed.size(), 12u);
  for (const char* name : {"re", "pr", "ps", "j"}) EXPECT_FALSE(std::isnan(number(listed[9], name))) << name;
  listing_.str("");
  ASSERT_EQ(fit(csv, "proc ruva data=d noprint" + body), 0) << log_text();
  EXPECT_EQ(listing_.str(), "");
  EXPECT_EQ(read_rows("o"), listed);
  EXPECT_EQ(read_rows("q"), listed_q);
}

// With 303 parameters the projection's cross products take m(m+1)/2
// doubles, m = 303 + 303·304/2, over 2^31 bytes: the shortfall is reported
// with its true size and the step ends with 1016.
TEST_F(DiagnosticsTest, BlocksBeyond32BitSizesEndTheStepWithTheMemoryMessage) {
  write_file("d.csv", decay_csv());
  const int rc = run("proc ruva data=d; parms a=2 k=0.2; model y = a*exp(-k*x); output out=o projres=pr;", [] {
    RUVACOM* ctx = procedure_test::begin_step(2);
    ctx->nparm = 303;
    platform::Host::current().task_pool().set_budget(std::size_t{1} << 30);
    int flags[kDiagBlocks] = {};
    set_reqd_blcks(ctx, flags);
    alloc_memory(ctx, flags);
    xexit(0, 0);
  });
  EXPECT_EQ(rc, 1016);
  const long long m = 303 + 303 * 304 / 2;
  EXPECT_NE(log_text().find(std::to_string(m * (m + 1) / 2 * 8) + " bytes"), std::string::npos) << log_text();
}

}  // namespace
