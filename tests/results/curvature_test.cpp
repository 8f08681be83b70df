// The curvature measures of nonlinearity and Box bias through whole steps:
// Puromycin (treated) against published figures and against a brute-force
// search over directions done here, the intrinsic curvature unchanged by a
// reparameterisation, a linear model (all zero), frequency weights
// against replicated rows, and the search's gradient callback against
// differences of its objective.
#include <cmath>
#include <random>
#include <string>

#include "host/ext_newton_minimiser_qxznlo.h"
#include "results/fit_fixture.h"

namespace {

using results_test::Json;
using results_test::kConc;
using results_test::kRate;

// The least-squares estimates of Puromycin (treated); maxiter=0 keeps them.
constexpr double kVm = 212.6836297646785, kK = 0.06412110503779905;

const std::string kMichaelisMenten =
    "model rate = vm*conc/(k+conc); der.vm = conc/(k+conc); der.k = -vm*conc/(k+conc)**2; "
    "der.vm.vm = 0; der.vm.k = -conc/(k+conc)**2; der.k.k = 2*vm*conc/(k+conc)**3;";

struct Measures {
  double max_in, rms_in, max_pe, rms_pe, critical;
};

// The largest intrinsic and parameter-effects curvatures over directions
// h = (cos t/√G00, sin t/√G11) for the Michaelis-Menten model at (kVm, kK):
// with X the derivative matrix, G = X'X and q_i = h'H_i h, the curvature is
// ρ·|part of q|/h'Gh, the part normal to or in the column space of X. A
// grid over t, then golden sections around the best point.
void brute_force(double* max_in, double* max_pe) {
  double sse = 0, g[3] = {};
  for (int i = 0; i < 12; ++i) {
    const double c = kConc[i], u = c / (kK + c), v = -kVm * c / std::pow(kK + c, 2);
    sse += std::pow(kRate[i] - kVm * u, 2);
    g[0] += u * u, g[1] += u * v, g[2] += v * v;
  }
  const double rho = std::sqrt(2 * sse / 10), det = g[0] * g[2] - g[1] * g[1];
  auto curvature = [&](double t, bool intrinsic) {
    const double h0 = std::cos(t) / std::sqrt(g[0]), h1 = std::sin(t) / std::sqrt(g[2]);
    double xq0 = 0, xq1 = 0, qq = 0;
    for (int i = 0; i < 12; ++i) {
      const double c = kConc[i], u = c / (kK + c), v = -kVm * c / std::pow(kK + c, 2);
      const double hvk = -c / std::pow(kK + c, 2), hkk = 2 * kVm * c / std::pow(kK + c, 3);
      const double q = 2 * h0 * h1 * hvk + h1 * h1 * hkk;
      xq0 += u * q, xq1 += v * q, qq += q * q;
    }
    const double tangential = (g[2] * xq0 * xq0 - 2 * g[1] * xq0 * xq1 + g[0] * xq1 * xq1) / det;
    const double d = g[0] * h0 * h0 + 2 * g[1] * h0 * h1 + g[2] * h1 * h1;
    return rho * std::sqrt(intrinsic ? std::max(0.0, qq - tangential) : tangential) / d;
  };
  auto maximum = [&](bool intrinsic) {
    constexpr int kGrid = 2000;
    int best = 0;
    for (int k = 1; k < kGrid; ++k)
      if (curvature(M_PI * k / kGrid, intrinsic) > curvature(M_PI * best / kGrid, intrinsic))
        best = k;
    double a = M_PI * (best - 1) / kGrid, b = M_PI * (best + 1) / kGrid;
    for (int k = 0; k < 100; ++k) {
      const double m1 = a + (b - a) * 0.382, m2 = a + (b - a) * 0.618;
      if (curvature(m1, intrinsic) > curvature(m2, intrinsic))
        b = m2;
      else
        a = m1;
    }
    return curvature((a + b) / 2, intrinsic);
  };
  *max_in = maximum(true);
  *max_pe = maximum(false);
}

class CurvatureTest : public results_test::FitTest {
 protected:
  Measures measures() {
    const Json t = tables("NonlinearityMeasures").back();
    auto at = [&](int row) { return number(t, row, "Value"); };
    return {at(0), at(1), at(2), at(3), at(4)};
  }
  double estimates(int row, const char* column) {
    return number(tables("ParameterEstimates").back(), row, column);
  }
};

TEST_F(CurvatureTest, PuromycinMatchesPublishedFiguresAndABruteForceSearch) {
  char exact[160];
  std::snprintf(exact, sizeof exact, "parms vm=%.17g k=%.17g;", kVm, kK);
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d bias ruvameasures maxiter=0; " +
                                              std::string(exact) + kMichaelisMenten),
            0)
      << log_text();
  const Measures m = measures();
  EXPECT_NEAR(m.rms_pe, 0.1047131689, 1e-9);
  EXPECT_NEAR(m.rms_in, 0.04542251108, 1e-9);
  EXPECT_DOUBLE_EQ(m.critical, 0.49369498350353097);
  double max_in = 0, max_pe = 0;
  brute_force(&max_in, &max_pe);
  EXPECT_NEAR(m.max_pe, max_pe, 1e-9);
  EXPECT_NEAR(m.max_in, max_in, 1e-9);
  EXPECT_NEAR(m.max_pe, 0.17234, 1e-5);
  EXPECT_NEAR(m.max_in, 0.07417, 1e-5);
  EXPECT_NEAR(estimates(0, "Bias"), 0.1900009406, 1e-9);
  EXPECT_NEAR(estimates(1, "Bias"), 0.0004426147345, 1e-12);
  EXPECT_NEAR(estimates(0, "PerBias"), 0.08933500938, 1e-9);
  EXPECT_NEAR(estimates(1, "PerBias"), 0.6902793304, 1e-9);

  // K = exp(lk): the expectation surface, and with it the intrinsic
  // curvature, is the same; the parameter effects change.
  std::snprintf(exact, sizeof exact, "parms vm=%.17g lk=%.17g;", kVm, std::log(kK));
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d ruvameasures maxiter=0; " +
                                              std::string(exact) +
                                              "model rate = vm*conc/(exp(lk)+conc);"),
            0)
      << log_text();
  const Measures r = measures();
  EXPECT_NEAR(r.rms_in, m.rms_in, 1e-8);
  EXPECT_NEAR(r.max_in, m.max_in, 1e-8);
  EXPECT_GT(std::fabs(r.rms_pe - m.rms_pe), 1e-3);
}

// The measures do not depend on the unit of the response: in units of
// 1e-20 (a standard radius near 1e-18) they are Puromycin's, and Box's
// bias of vm scales with it.
TEST_F(CurvatureTest, MeasuresOfResponsesOnATinyScale) {
  std::string csv = "conc,rate\n";
  char row[64];
  for (int i = 0; i < 12; ++i) {
    std::snprintf(row, sizeof row, "%.17g,%.17g\n", kConc[i], kRate[i] * 1e-20);
    csv += row;
  }
  char exact[160];
  std::snprintf(exact, sizeof exact, "parms vm=%.17g k=%.17g;", kVm * 1e-20, kK);
  ASSERT_EQ(fit(csv, "proc ruva data=d bias ruvameasures maxiter=0; " + std::string(exact) + kMichaelisMenten), 0)
      << log_text();
  const Measures m = measures();
  EXPECT_NEAR(m.rms_pe, 0.1047131689, 1e-9);
  EXPECT_NEAR(m.rms_in, 0.04542251108, 1e-9);
  EXPECT_NEAR(m.max_pe, 0.17234, 1e-5);
  EXPECT_NEAR(estimates(0, "Bias"), 0.1900009406e-20, 1e-29);
  EXPECT_NEAR(estimates(1, "PerBias"), 0.6902793304, 1e-9);
}

// The maximum-curvature search's callbacks, checked before each search
// runs: at two directions away from the start one (where the objective
// varies on the scale of the small components of h), the gradient of the
// objective-and-gradient callback against central differences of the
// objective callback, and equal to the one the Hessian callback gives.
int (*g_real_run)(NLOSTR*) = nullptr;
std::vector<double> g_gradient_errors;

int run_after_checking_the_gradient(NLOSTR* nlo) {
  const int p = nlo->UserOptionsPtr->nvar;
  double* h = nlo->UserOptionsPtr->xest;
  const std::vector<double> start(h, h + p);
  auto objective = [&] {
    nlo->ExternalPtr->UserFunction(nlo);
    return nlo->ObjectivePtr->crit;
  };
  for (double shift : {0.3, -0.6}) {
    for (int j = 0; j < p; ++j) h[j] = start[j] + shift * (j + 1);
    nlo->ExternalPtr->UserHessianGradientAndFunction(nlo);
    const std::vector<double> full(nlo->ObjectivePtr->grad, nlo->ObjectivePtr->grad + p);
    nlo->ExternalPtr->UserGradientAndFunction(nlo);
    const std::vector<double> grad(nlo->ObjectivePtr->grad, nlo->ObjectivePtr->grad + p);
    EXPECT_EQ(grad, full);
    double error = 0, size = 0;
    for (int j = 0; j < p; ++j) {
      const double x = h[j], step = 1e-5 * (1 + std::fabs(x));
      h[j] = x + step;
      const double up = objective();
      h[j] = x - step;
      const double down = objective();
      h[j] = x;
      const double difference = (up - down) / (2 * step);
      error = std::max(error, std::fabs(grad[j] - difference));
      size = std::max(size, std::fabs(difference));
    }
    g_gradient_errors.push_back(error / size);
  }
  std::copy(start.begin(), start.end(), h);
  return g_real_run(nlo);
}

void search_with_checked_gradient() {
  RUVACOM* ctx = procedure_test::begin_step(2);
  load_req_qx_extensions(ctx);
  auto* ext = static_cast<NLOExtension*>(ctx->exts.qxznlo_ext_h);
  ASSERT_NE(ext, nullptr);
  auto* nlo = ext->CreateInstance(ext, 0);
  ctx->insts.qxznlo_inst_h = nlo;
  g_real_run = nlo->FactoryPtr->RunTheOptimization;
  nlo->FactoryPtr->RunTheOptimization = &run_after_checking_the_gradient;
  if (xbynext(ctx->fiddata) > 0 && jovgrid(ctx) == 0) jovopt(ctx);
  procedure_test::inspect_and_exit(ctx);
}

TEST_F(CurvatureTest, TheSearchsGradientIsTheDerivativeOfItsObjective) {
  write_file("d.csv", results_test::kPuromycin);
  g_gradient_errors.clear();
  ASSERT_EQ(run_and_inspect("proc ruva data=d ruvameasures; parms vm=200 k=0.05;" + kMichaelisMenten,
                            search_with_checked_gradient, [](RUVACOM*) {}),
            0)
      << log_text();
  ASSERT_EQ(g_gradient_errors.size(), 4u);  // two directions in each of the two searches
  for (double e : g_gradient_errors) EXPECT_LT(e, 1e-6);
  // The checks leave the search as it was.
  EXPECT_NEAR(measures().max_pe, 0.17234, 1e-5);
  EXPECT_NEAR(measures().max_in, 0.07417, 1e-5);
}

// The raw residual variance is the fit's SSE over its degrees of freedom,
// also when SIGSQ= fixes the variance of the other statistics.
TEST_F(CurvatureTest, RawResidualVarianceIsTheFitsWhateverSigsqSays) {
  char exact[160];
  std::snprintf(exact, sizeof exact, "parms vm=%.17g k=%.17g;", kVm, kK);
  double sse = 0;
  for (int i = 0; i < 12; ++i) sse += std::pow(kRate[i] - kVm * kConc[i] / (kK + kConc[i]), 2);
  for (const char* sigsq : {"", " sigsq=100"}) {
    ASSERT_EQ(fit(results_test::kPuromycin, std::string("proc ruva data=d ruvameasures maxiter=0") + sigsq + "; " +
                                                exact + kMichaelisMenten),
              0)
        << log_text();
    EXPECT_NEAR(number(tables("NonlinearityMeasures").back(), 5, "Value"), sse / 10, 1e-9 * sse) << sigsq;
  }
}

// Least squares for the Michaelis-Menten model by Gauss-Newton from theta;
// false when it does not converge.
bool refit(const double* y, double* theta) {
  for (int iteration = 0; iteration < 50; ++iteration) {
    double g00 = 0, g01 = 0, g11 = 0, b0 = 0, b1 = 0;
    for (int i = 0; i < 12; ++i) {
      const double c = kConc[i], u = c / (theta[1] + c), v = -theta[0] * c / std::pow(theta[1] + c, 2);
      const double e = y[i] - theta[0] * u;
      g00 += u * u, g01 += u * v, g11 += v * v, b0 += u * e, b1 += v * e;
    }
    const double det = g00 * g11 - g01 * g01;
    const double step[2] = {(g11 * b0 - g01 * b1) / det, (g00 * b1 - g01 * b0) / det};
    theta[0] += step[0], theta[1] += step[1];
    if (std::fabs(step[0]) < 1e-10 * std::fabs(theta[0]) && std::fabs(step[1]) < 1e-10 * std::fabs(theta[1]))
      return true;
  }
  return false;
}

// Box's bias is the mean of the estimates less the true values to second
// order: Puromycin responses simulated at the estimates with the fit's mean
// square, refitted. Antithetic pairs (e, -e) cancel the first-order term,
// which leaves a Monte Carlo standard error near 1.5% of the bias.
TEST_F(CurvatureTest, BoxBiasIsTheMeanBiasOfASimulation) {
  char exact[160];
  std::snprintf(exact, sizeof exact, "parms vm=%.17g k=%.17g;", kVm, kK);
  ASSERT_EQ(fit(results_test::kPuromycin, "proc ruva data=d bias maxiter=0; " + std::string(exact) +
                                              "model rate = vm*conc/(k+conc);"),
            0)
      << log_text();
  double sse = 0, f[12];
  for (int i = 0; i < 12; ++i) sse += std::pow(kRate[i] - (f[i] = kVm * kConc[i] / (kK + kConc[i])), 2);
  std::mt19937_64 generator(20261207);
  std::normal_distribution<double> error(0, std::sqrt(sse / 10));
  constexpr int kPairs = 20000;
  double sum[2] = {}, squares[2] = {};
  for (int r = 0; r < kPairs; ++r) {
    double plus[12], minus[12];
    for (int i = 0; i < 12; ++i) {
      const double e = error(generator);
      plus[i] = f[i] + e, minus[i] = f[i] - e;
    }
    double a[2] = {kVm, kK}, b[2] = {kVm, kK};
    ASSERT_TRUE(refit(plus, a) && refit(minus, b)) << "sample " << r;
    for (int j = 0; j < 2; ++j) {
      const double shift = (a[j] + b[j]) / 2 - (j == 0 ? kVm : kK);
      sum[j] += shift, squares[j] += shift * shift;
    }
  }
  for (int j = 0; j < 2; ++j) {
    const double mean = sum[j] / kPairs, se = std::sqrt((squares[j] / kPairs - mean * mean) / kPairs);
    EXPECT_NEAR(estimates(j, "Bias"), mean, 4 * se) << "parameter " << j;
  }
}

// A model linear in its parameters has no curvature and no bias.
TEST_F(CurvatureTest, LinearModelHasNoCurvatureAndNoBias) {
  ASSERT_EQ(fit("x,y\n1,2.85\n2,1.09\n3,-0.58\n4,-0.02\n5,3.57\n6,0.34\n",
                "proc ruva data=d bias ruvameasures; parms a=1 b=1; model y = a + b*x;"),
            0)
      << log_text();
  const Measures m = measures();
  for (double v : {m.max_in, m.rms_in, m.max_pe, m.rms_pe}) EXPECT_EQ(v, 0);
  // A zero curvature at the first direction is a converged search, also
  // where rounding would have held the search up there.
  EXPECT_EQ(logged(157), 0) << log_text();
  EXPECT_EQ(logged(158), 0) << log_text();
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(estimates(i, "Bias"), 0);
    EXPECT_EQ(estimates(i, "PerBias"), 0);
  }
  ASSERT_EQ(fit("x,y\n1,2\n2,4.1\n3,5.9\n4,8.2\n5,9.9\n",
                "proc ruva data=d ruvameasures; parms a=0 b=1; model y = a + b*x;"),
            0)
      << log_text();
  EXPECT_EQ(measures().max_in, 0);
  EXPECT_EQ(measures().max_pe, 0);
  EXPECT_EQ(logged(157) + logged(158), 0) << log_text();
}

// Without a standard radius (no error degrees of freedom) or with a
// parameter that depends on others there are no measures and no biases;
// the critical value 1/sqrt(F(0.95; r, n - r)) stays where it exists, r the
// rank: with c undetermined r = 1, and F(0.95; 1, 3) is the square of
// t(0.975; 3) = 3.182446305284263. A fit without error degrees of freedom
// has no skewness and no standard error of an additional estimate either.
TEST_F(CurvatureTest, NoMeasuresWithoutARadiusOrAFullRank) {
  ASSERT_EQ(fit("x,y\n1,1.9\n3,0.62\n", "proc ruva data=d ruvameasures bias hougaard; parms a=1 b=0.1; "
                "model y = a*exp(-b*x); estimate 'half' log(2)/b;"),
            0)
      << log_text();
  EXPECT_NE(log_text().find("Incorrect or missing standard radius"), std::string::npos) << log_text();
  const Json m = table("NonlinearityMeasures");
  for (int row = 0; row < 5; ++row) EXPECT_TRUE(cell(m, row, "Value").is_null()) << row;
  for (const char* column : {"Bias", "Skewness", "StdErr"})
    for (int row = 0; row < 2; ++row) EXPECT_TRUE(cell(table("ParameterEstimates"), row, column).is_null()) << column;
  EXPECT_NEAR(number(table("AdditionalEstimates"), 0, "Estimate"), std::log(2.0) / estimates(1, "Estimate"), 1e-12);
  EXPECT_TRUE(cell(table("AdditionalEstimates"), 0, "StandardError").is_null());

  json_.str("");
  ASSERT_EQ(fit("x,y,z\n1,1.9,0\n2,1.1,0\n3,0.62,0\n4,0.41,0\n",
                "proc ruva data=d ruvameasures; parms a=1 c=1; model y = a*exp(-0.5*x) + c*z;"),
            0)
      << log_text();
  EXPECT_NE(log_text().find("NOTE: The curvature measures and Box's bias are missing: some parameters depend "
                            "linearly on others"),
            std::string::npos)
      << log_text();
  const Json s = table("NonlinearityMeasures");
  for (int row = 0; row < 4; ++row) EXPECT_TRUE(cell(s, row, "Value").is_null()) << row;
  EXPECT_NEAR(number(s, 4, "Value"), 1 / 3.182446305284263, 1e-12);
}

// Frequency weights 1, 2, 3 give the curvatures and biases of the rows
// repeated (the variance fixed by SIGSQ=, since the degrees of freedom
// differ).
TEST_F(CurvatureTest, FrequencyWeightsMatchReplicatedRows) {
  std::string weighted = "conc,rate,w\n", replicated = "conc,rate,w\n";
  for (int i = 0; i < 12; ++i) {
    const std::string row = std::to_string(kConc[i]) + "," + std::to_string(kRate[i]);
    weighted += row + "," + std::to_string(i % 3 + 1) + "\n";
    for (int c = 0; c <= i % 3; ++c) replicated += row + ",1\n";
  }
  const std::string program =
      "proc ruva data=d bias ruvameasures converge=1e-8 sigsq=100; parms vm=200 k=0.05; "
      "_weight_ = w; model rate = vm*conc/(k + conc);";
  ASSERT_EQ(fit(weighted, program), 0) << log_text();
  const Measures w = measures();
  const double bias[2] = {estimates(0, "Bias"), estimates(1, "Bias")};
  ASSERT_EQ(fit(replicated, program), 0) << log_text();
  const Measures r = measures();
  EXPECT_NEAR(w.max_in, r.max_in, 1e-7);
  EXPECT_NEAR(w.rms_in, r.rms_in, 1e-7);
  EXPECT_NEAR(w.max_pe, r.max_pe, 1e-7);
  EXPECT_NEAR(w.rms_pe, r.rms_pe, 1e-7);
  EXPECT_NEAR(bias[0], estimates(0, "Bias"), 1e-7);
  EXPECT_NEAR(bias[1], estimates(1, "Bias"), 1e-9);
}

}  // namespace
