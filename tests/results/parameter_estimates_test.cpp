// Standard errors and p-values of the estimates, and the ParameterEstimates
// table for singular parameters, a variance fixed by SIGSQ= without error
// degrees of freedom, too few observations, and a bound active at the
// solution with its Lagrange multiplier row.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "fitted_context.h"
#include "host/missing.h"
#include "linalg/packed.h"
#include "procedure/proc_options.h"
#include "results/parameter_estimates.h"
#include "support/output_fixture.h"

namespace {

using Json = nlohmann::json;
using results_test::FitOptions;
using results_test::Problem;

TEST(TProbability, MatchesTheClosedFormsOnOneAndTwoDegreesOfFreedom) {
  for (double t : {0.1, 0.7, 1.5, 4.0, 25.0, -3.0}) {
    EXPECT_NEAR(t_probability(t, 1, false), 1 - 2 / std::numbers::pi * std::atan(std::fabs(t)), 1e-14) << t;
    EXPECT_NEAR(t_probability(t, 2, false), 1 - std::fabs(t) / std::sqrt(2 + t * t), 1e-14) << t;
  }
}

// Without error degrees of freedom there is no t test; with the variance
// fixed by SIGSQ= the statistic is normal.
TEST(TProbability, WithoutErrorDegreesOfFreedom) {
  EXPECT_TRUE(is_special_missing(t_probability(2.5, 0, false)));
  EXPECT_TRUE(is_special_missing(t_probability(1e200, 0, false)));
  EXPECT_NEAR(t_probability(1.959963984540054, 0, true), 0.05, 1e-15);
  EXPECT_NEAR(t_probability(-1.959963984540054, 0, true), 0.05, 1e-15);
  EXPECT_TRUE(is_special_missing(t_probability(special_missing_value(), 5, false)));
  EXPECT_EQ(t_probability(2e154, 5, false), 0.0);
}

TEST(StandardErrors, FromTheDiagonalForEstimatedParametersOnly) {
  auto ctx = std::make_unique<RUVACOM>();
  std::vector<double> xpx(zisub(5, 5) + 1, 0.0);
  char status[] = "12011";
  ctx->nparm = 5;
  ctx->xpx = xpx.data();
  ctx->parmdf = status;
  ctx->mse = 4;
  const double diag[5] = {2.25, 0, 1, -1, 3e154};
  for (int i = 0; i < 5; ++i) xpx[zisub(i, i)] = diag[i];
  standard_errors(ctx.get());
  const double* se = xpx.data() + zisub(5, 0);
  EXPECT_EQ(se[0], 3.0);
  EXPECT_EQ(se[1], 0.0);                   // '2': reported
  EXPECT_TRUE(is_special_missing(se[2]));  // '0': singular
  EXPECT_TRUE(is_special_missing(se[3]));  // negative variance
  EXPECT_EQ(se[4], std::sqrt(1.3407807929943e154));  // capped before it overflows
  ctx->mse = special_missing_value();
  standard_errors(ctx.get());
  EXPECT_TRUE(is_special_missing(se[0]));
}

Problem g_problem;
FitOptions g_options;
double g_multiplier = 0;

void tabulate() {
  RUVACOM* ctx = results_test::fit_and_tabulate(g_problem, g_options);
  const ZOPTMARQU& mq = *ctx->zoptg->state.marqu;
  g_multiplier = mq.perm + mq.nact > 0 ? mq.lagrange[0] : 0;
}

class EstimatesTableTest : public OutputTest {
 protected:
  Json run(Problem p, FitOptions o = {}) {
    g_problem = std::move(p);
    g_options = std::move(o);
    EXPECT_EQ(run_as_step(tabulate), 0) << log_text();
    return json_named("ParameterEstimates");
  }
  static Json cell(const Json& t, std::size_t row, const std::string& column) {
    const Json& cols = t["columns"];
    for (std::size_t c = 0; c < cols.size(); ++c)
      if (cols[c]["name"] == column) return t["rows"][row][c];
    ADD_FAILURE() << "no column " << column;
    return nullptr;
  }
};

const std::vector<double> kX = {1, 2, 3, 4, 5, 6};
const std::vector<double> kY = {2.1, 3.9, 6.2, 7.8, 10.1, 12.2};

TEST_F(EstimatesTableTest, ASingularParameterKeepsItsEstimateButHasNoInference) {
  Problem p;
  p.names = {"a", "b", "c"};
  p.start = {0, 1, 1};
  p.y = kY;
  p.model = [](const double* b, int i, double* f, double* df) {  // b and c are one slope
    *f = b[0] + b[1] * kX[i] + b[2] * 2 * kX[i];
    df[0] = 1;
    df[1] = kX[i];
    df[2] = 2 * kX[i];
  };
  const Json t = run(p);
  ASSERT_TRUE(t.is_object());
  int singular = -1;
  for (int i = 0; i < 3; ++i)
    if (cell(t, i, "StdErr").is_null()) singular = i;
  ASSERT_GE(singular, 1);
  EXPECT_FALSE(cell(t, singular, "Estimate").is_null());
  for (const char* c : {"LowerCL", "UpperCL", "tValue", "Probt"}) EXPECT_TRUE(cell(t, singular, c).is_null()) << c;
  const Json a = json_named("ANOVA");
  EXPECT_EQ(a["rows"][1][1], 4);  // error df: 6 observations, 2 estimated parameters
  ASSERT_EQ(a["notes"].size(), 1u);
  EXPECT_NE(a["notes"][0].get<std::string>().find("linearly dependent"), std::string::npos);
  EXPECT_NE(log_text().find("NOTE: Some parameters are linearly dependent"), std::string::npos) << log_text();
}

// Two observations, two parameters, SIGSQ=2: standard errors from the fixed
// variance, no t limits, normal p-values.
TEST_F(EstimatesTableTest, AFixedVarianceWithoutErrorDegreesOfFreedomGivesNormalPValues) {
  Problem p;
  p.names = {"a", "b"};
  p.start = {0, 1};
  p.y = {3, 5};
  p.model = [](const double* b, int i, double* f, double* df) {
    *f = b[0] + b[1] * (i + 1);
    df[0] = 1;
    df[1] = i + 1;
  };
  FitOptions o;
  o.before = [](RUVACOM* ctx) {
    auto* proc = ruva_new<STMT>();
    proc->nfld = proc_opt::kSigsq + 1;
    proc->fld = ruva_new<STLIST>(proc->nfld);
    proc->fld[proc_opt::kSigsq].type = stfield::kNumber;
    proc->fld[proc_opt::kSigsq].v.fval = 2;
    ctx->prochead = proc;
    ctx->sigsq = 2;
  };
  const Json t = run(p, o);
  ASSERT_TRUE(t.is_object());
  // C = (J'J)^-1 with J = [1 1; 1 2]: C = [5 -3; -3 2].
  EXPECT_NEAR(cell(t, 0, "StdErr").get<double>(), std::sqrt(10.0), 1e-12);
  EXPECT_NEAR(cell(t, 1, "StdErr").get<double>(), 2.0, 1e-12);
  EXPECT_TRUE(cell(t, 0, "LowerCL").is_null());
  const double z = cell(t, 1, "tValue").get<double>();
  EXPECT_NEAR(z, 1.0, 1e-12);  // slope 2, standard error 2
  EXPECT_NEAR(cell(t, 1, "Probt").get<double>(), std::erfc(1 / std::sqrt(2.0)), 1e-14);
}

// Two-sided p of t on 10 degrees of freedom, in closed form (even df).
double t10_two_sided(double t) {
  const double th = std::atan(std::fabs(t) / std::sqrt(10.0)), c2 = std::cos(th) * std::cos(th);
  double term = 1, sum = 1;
  for (int k = 1; k <= 4; ++k) sum += term *= c2 * (2 * k - 1) / (2 * k);
  return 1 - std::sin(th) * sum;
}

// Puromycin with K <= 0.05, which binds: K is held there, the bound
// gets a row with its multiplier, whose variance is 1 / (J'J)^-1_KK times the
// fitted variance, and limits from the beta quantile behind t(e - 1)^2.
TEST_F(EstimatesTableTest, AnActiveBoundGetsARowWithItsMultiplier) {
  const std::vector<double> conc = {0.02, 0.02, 0.06, 0.06, 0.11, 0.11, 0.22, 0.22, 0.56, 0.56, 1.10, 1.10};
  Problem p;
  p.names = {"Vm", "K"};
  p.start = {200, 0.04};
  p.y = {76, 47, 97, 107, 123, 139, 159, 152, 191, 201, 207, 200};
  p.model = [conc](const double* b, int i, double* f, double* df) {
    const double x = conc[i], d = b[1] + x;
    *f = b[0] * x / d;
    df[0] = x / d;
    df[1] = -b[0] * x / (d * d);
  };
  FitOptions o;
  o.bounds = {{1, true, 0.05, "Bound1", "K <= 0.05"}};
  const Json t = run(p, o);
  ASSERT_TRUE(t.is_object());
  ASSERT_EQ(t["rows"].size(), 3u);
  EXPECT_NEAR(cell(t, 1, "Estimate").get<double>(), 0.05, 1e-12);
  EXPECT_EQ(cell(t, 1, "StdErr"), 0.0);  // held on the bound
  EXPECT_TRUE(cell(t, 1, "tValue").is_null());
  EXPECT_EQ(cell(t, 2, "Parameter"), "Bound1");
  EXPECT_EQ(cell(t, 2, "Label"), "K <= 0.05");
  EXPECT_EQ(cell(t, 0, "Label"), "");
  const double vm = cell(t, 0, "Estimate").get<double>(), k = 0.05;
  double hvv = 0, hvk = 0, hkk = 0, sse = 0;
  for (std::size_t i = 0; i < conc.size(); ++i) {
    const double d = k + conc[i], jv = conc[i] / d, jk = -vm * conc[i] / (d * d);
    hvv += jv * jv;
    hvk += jv * jk;
    hkk += jk * jk;
    sse += std::pow(p.y[i] - vm * jv, 2);
  }
  const long e = 11;
  const double mse = sse / e, ckk = hvv / (hvv * hkk - hvk * hvk);
  EXPECT_EQ(json_named("ANOVA")["rows"][1][1], 11);
  const double se = std::sqrt(mse / ckk), est = cell(t, 2, "Estimate").get<double>();
  EXPECT_EQ(est, g_multiplier);
  EXPECT_NEAR(cell(t, 2, "StdErr").get<double>(), se, 1e-9 * se);
  const double t10 = 2.228138851986273, bval = std::sqrt(e * t10 * t10 / (t10 * t10 + 10));
  EXPECT_NEAR(cell(t, 2, "LowerCL").get<double>(), est - bval * se, 1e-9 * se);
  EXPECT_NEAR(cell(t, 2, "UpperCL").get<double>(), est + bval * se, 1e-9 * se);
  const double tv = est / se, y = tv * tv / e;
  EXPECT_NEAR(cell(t, 2, "tValue").get<double>(), tv, 1e-9 * std::fabs(tv));
  EXPECT_NEAR(cell(t, 2, "Probt").get<double>(), t10_two_sided(std::sqrt(10 * y / (1 - y))), 1e-12);
}

}  // namespace
