// The shapes of the result tables under their options: TOTALSS rows, the
// loss row, weighted labels, NOPRINT, the COVB rows of the parameter-
// estimates data set, the correlation matrix's missing rows, and the
// estimation summary's labels and GENERIC zeros.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "fitted_context.h"
#include "host/missing.h"
#include "linalg/packed.h"
#include "platform/host.h"
#include "results/correlations.h"
#include "support/output_fixture.h"

namespace {

using Json = nlohmann::json;
using results_test::FitOptions;
using results_test::Problem;

const std::vector<double> kX = {1, 2, 3, 4, 5, 6};
const std::vector<double> kY = {2.1, 3.9, 6.2, 7.8, 10.1, 12.2};

Problem straight_line() {
  Problem p;
  p.names = {"a", "b"};
  p.start = {0, 1};
  p.y = kY;
  p.model = [](const double* b, int i, double* f, double* df) {
    *f = b[0] + b[1] * kX[i];
    df[0] = 1;
    df[1] = kX[i];
  };
  return p;
}

Problem g_problem;
FitOptions g_options;
struct After {
  double mse = 0;
  std::vector<double> parm, before;
  std::string parmdf;
} g_after;

// The OUTEST= data set as the procedure defines it: _TYPE_, _NAME_, _ITER_
// and one variable per parameter, bound to the context.
void define_outest(RUVACOM* ctx) {
  XO_FILE* out = platform::Host::current().datasets().open_output("est");
  ctx->outestptr = out;
  xvputi(out, 3 + ctx->nparm, 32, &ctx->outestxv);
  auto define = [&](const char* name, short type, int length, const void* cell, int bytes) {
    NAMESTR d;
    xvnamei(&d);
    d.type = type;
    d.length = length;
    d.name = name;
    d.namelen = static_cast<int>(std::strlen(name));
    xvputd(ctx->outestxv, &d, 0, cell, bytes, 0, nullptr);
  };
  define("_TYPE_", kCharacter, 8, ctx->type, 8);
  define("_NAME_", kCharacter, 32, ctx->name_, ctx->maxnamelen);
  define("_ITER_", kNumeric, 8, &ctx->iter, 0);
  for (int i = 0; i < ctx->nparm; ++i) define(ctx->pname[i], kNumeric, 8, &ctx->parm[i], 0);
  xvpute(ctx->outestxv);
}

void tabulate() {
  RUVACOM* ctx = results_test::fit_and_tabulate(g_problem, g_options);
  g_after.mse = ctx->mse;
  g_after.parm.assign(ctx->parm, ctx->parm + ctx->nparm);
  g_after.parmdf.assign(ctx->parmdf, ctx->parmdf + ctx->nparm);
  if (ctx->outestxv) xvputt(ctx->outestxv);
}

class TablesTest : public OutputTest {
 protected:
  TablesTest() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ruva-results-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    host().libraries().set_work(dir_);
  }
  ~TablesTest() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  void run(Problem p, FitOptions o = {}) {
    g_problem = std::move(p);
    g_options = std::move(o);
    g_after = {};
    ASSERT_EQ(run_as_step(tabulate), 0) << log_text();
  }
  std::string read(const std::string& name) const {
    std::ifstream in(dir_ / name);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::filesystem::path dir_;
};

std::vector<std::string> sources(const Json& anova) {
  std::vector<std::string> out;
  for (const auto& row : anova["rows"]) out.push_back(row[0]);
  return out;
}

TEST_F(TablesTest, TotalssAddsABlankRowAndTheOtherTotal) {
  FitOptions o;
  o.totalss = 1;
  run(straight_line(), o);
  const Json a = json_named("ANOVA");
  EXPECT_EQ(sources(a), (std::vector<std::string>{"Model", "Error", "Corrected Total", "", "Uncorrected Total"}));
  for (std::size_t c = 1; c < a["rows"][3].size(); ++c) EXPECT_TRUE(a["rows"][3][c].is_null());
  double sumy2 = 0;
  for (double y : kY) sumy2 += y * y;
  EXPECT_EQ(a["rows"][4][1], 6);
  EXPECT_NEAR(a["rows"][4][2].get<double>(), sumy2, 1e-12);
}

TEST_F(TablesTest, ALossFunctionAddsItsObjectiveAsTheLastRow) {
  FitOptions o;
  o.lossflag = 1;
  o.before = [](RUVACOM* ctx) { ctx->sse = 123.5; };
  run(straight_line(), o);
  const Json a = json_named("ANOVA");
  EXPECT_EQ(sources(a), (std::vector<std::string>{"Model", "Error", "Corrected Total", "Loss"}));
  EXPECT_EQ(a["rows"][3][2], 123.5);
  EXPECT_TRUE(a["rows"][3][1].is_null());
  EXPECT_TRUE(a["rows"][3][3].is_null());
}

TEST_F(TablesTest, WeightsAreNamedInTheLabels) {
  Problem p = straight_line();
  p.w = {1, 2, 1, 2, 1, 2};
  run(p);
  const Json a = json_named("ANOVA");
  EXPECT_EQ(a["columns"][2]["label"], "Weighted SS");
  EXPECT_EQ(a["columns"][3]["label"], "Weighted Mean Square");
}

// COVB rows hold C times the fitted variance; the estimates are back in the
// parameters afterwards; NOPRINT still writes them and settles the variance.
TEST_F(TablesTest, CovbRowsAreWrittenAlsoUnderNoprint) {
  FitOptions o;
  o.noprint = 1;
  o.before = [](RUVACOM* ctx) {
    define_outest(ctx);
    g_after.before.assign(ctx->parm, ctx->parm + ctx->nparm);
  };
  run(straight_line(), o);
  EXPECT_TRUE(json_named("ANOVA").is_null());
  EXPECT_TRUE(json_named("ParameterEstimates").is_null());
  EXPECT_EQ(g_after.parm, g_after.before);
  // The line through the data by hand: Sxx = 17.5, SSE on 4 df.
  const double b = g_after.before[1], a0 = g_after.before[0];
  double sse = 0;
  for (std::size_t i = 0; i < kX.size(); ++i) sse += std::pow(kY[i] - a0 - b * kX[i], 2);
  const double mse = sse / 4, sxx = 17.5;
  EXPECT_NEAR(g_after.mse, mse, 1e-14);
  std::istringstream csv(read("est.csv"));
  std::string header, row_a, row_b;
  std::getline(csv, header);
  std::getline(csv, row_a);
  std::getline(csv, row_b);
  EXPECT_EQ(header, "_TYPE_,_NAME_,_ITER_,a,b");
  auto values = [](const std::string& row) {
    std::vector<std::string> f;
    std::stringstream s(row);
    for (std::string x; std::getline(s, x, ',');) f.push_back(x);
    return f;
  };
  const auto ra = values(row_a), rb = values(row_b);
  ASSERT_EQ(ra.size(), 5u);
  EXPECT_EQ(ra[0], "COVB");
  EXPECT_EQ(ra[1], "a");
  EXPECT_EQ(rb[1], "b");
  EXPECT_NEAR(std::stod(rb[4]), mse / sxx, 1e-12);
  EXPECT_NEAR(std::stod(ra[4]), -3.5 * mse / sxx, 1e-12);  // -mean(x) var(b)
  EXPECT_NEAR(std::stod(ra[3]), mse * (1.0 / 6 + 3.5 * 3.5 / sxx), 1e-12);
}

TEST_F(TablesTest, ANegativeVarianceEmptiesItsCovbRowAndMarksTheParameter) {
  FitOptions o;
  o.noprint = 1;
  o.before = [](RUVACOM* ctx) {
    define_outest(ctx);
    ctx->xpx[zisub(0, 0)] = -1;
  };
  run(straight_line(), o);
  const std::string csv = read("est.csv");
  EXPECT_NE(csv.find("COVB,a,.,.,.\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find("COVB,b,.,.,"), std::string::npos) << csv;
  EXPECT_EQ(g_after.parmdf, "01");
}

TEST_F(TablesTest, SummaryNamesTheParameterOfTheLargestChangeAndZeroesUnderGeneric) {
  std::string error;
  ASSERT_TRUE(host().options().set("GENERIC", &error)) << error;
  FitOptions o;
  o.method = 'U';
  o.converged = false;
  o.before = [](RUVACOM* ctx) {
    ZOPTSTATE& st = ctx->zoptg->state;
    st.ppc = 0.02;
    st.worstp = 1;
    st.rpc = 0.5;
    st.worstr = 0;
    st.r = 3e-9;
  };
  Problem p = straight_line();
  p.names = {"a_name_of_fifteen", "b"};
  run(p, o);
  const Json s = json_named("EstSummary");
  EXPECT_EQ(s["label"], "Estimation Summary (Not Converged)");
  std::map<std::string, Json> facts;
  for (const auto& row : s["rows"]) facts[row[0].get<std::string>()] = row[1];
  EXPECT_EQ(facts["Method"], "Gauss-Newton");
  EXPECT_EQ(facts["PPC(b)"], 0.02);
  EXPECT_EQ(facts["RPC"], 0.5);  // the name is too long to show
  EXPECT_EQ(facts["R"], 0.0);
}

// --- The correlation matrix from a hand-made inverse.
TEST(CorrelationMatrix, MissingRowsForNoVarianceAndUnderG4ForCorrelationsBeyondOne) {
  auto ctx = std::make_unique<RUVACOM>();
  std::vector<double> xpx(zisub(3, 3) + 1, 0.0), corr(6), scale(3);
  ctx->nparm = 3;
  ctx->xpx = xpx.data();
  ctx->mse = 2;
  xpx[zisub(0, 0)] = 4;
  xpx[zisub(1, 1)] = 1;
  xpx[zisub(1, 0)] = 3;  // correlation 1.5: impossible, as from a generalised inverse
  xpx[zisub(2, 2)] = 0;
  correlation_matrix(ctx.get(), corr.data(), scale.data());
  EXPECT_EQ(corr[zisub(0, 0)], 1.0);
  EXPECT_EQ(corr[zisub(1, 0)], 1.5);
  EXPECT_TRUE(is_special_missing(corr[zisub(2, 2)]));
  EXPECT_TRUE(is_special_missing(corr[zisub(2, 0)]));
  ctx->g4 = 1;
  correlation_matrix(ctx.get(), corr.data(), scale.data());
  EXPECT_EQ(corr[zisub(0, 0)], 1.0);
  EXPECT_TRUE(is_special_missing(corr[zisub(1, 0)]));
  EXPECT_TRUE(is_special_missing(corr[zisub(1, 1)]));
  ctx->mse = special_missing_value();
  correlation_matrix(ctx.get(), corr.data(), scale.data());
  EXPECT_TRUE(is_special_missing(corr[zisub(0, 0)]));
}

}  // namespace
