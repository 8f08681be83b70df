// The shapes of the result tables under their options, on fits of a
// straight line whose figures are worked by hand: TOTALSS rows, the loss
// row, weighted labels, the COVB rows of the OUTEST= data set under
// NOPRINT, the estimation summary's labels and GENERIC zeros, and the
// correlation matrix's missing rows.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fit_fixture.h"
#include "host/missing.h"
#include "linalg/packed.h"
#include "optim/optimiser.h"
#include "procedure/outest_data_set.h"
#include "results/correlations.h"
#include "results/result_tables.h"

namespace {

using results_test::Json;

const char* kLine = "x,y,w\n1,2.1,1\n2,3.9,2\n3,6.2,1\n4,7.8,2\n5,10.1,1\n6,12.2,2\n";
const std::vector<double> kX = {1, 2, 3, 4, 5, 6}, kY = {2.1, 3.9, 6.2, 7.8, 10.1, 12.2};
const double kMeanX = 3.5, kSxx = 17.5;

std::string line_program(const std::string& options, const std::string& statements = "",
                         const std::string& a = "a") {
  return "proc ruva data=d " + options + "; parms " + a + "=0 b=1; model y = " + a + " + b*x; " + statements;
}

std::vector<std::string> sources(const Json& anova) {
  std::vector<std::string> out;
  for (const auto& row : anova["rows"]) out.push_back(row[0]);
  return out;
}

class TablesTest : public results_test::FitTest {
 protected:
  // Fits the line and hands the context to `look` before the step ends.
  int inspect(const std::string& program, std::function<void(RUVACOM*)> look) {
    write_file("d.csv", kLine);
    return run_and_inspect(program, procedure_test::fit_first_group_body, std::move(look));
  }
};

TEST_F(TablesTest, TotalssAddsABlankRowAndTheOtherTotal) {
  ASSERT_EQ(fit(kLine, line_program("totalss")), 0) << log_text();
  const Json a = table("ANOVA");
  EXPECT_EQ(sources(a), (std::vector<std::string>{"Model", "Error", "Corrected Total", "", "Uncorrected Total"}));
  for (std::size_t c = 1; c < a["rows"][3].size(); ++c) EXPECT_TRUE(a["rows"][3][c].is_null());
  double mean = 0, sumy2 = 0, corrected = 0;
  for (double y : kY) mean += y / 6, sumy2 += y * y;
  for (double y : kY) corrected += (y - mean) * (y - mean);
  EXPECT_EQ(a["rows"][2][1], 5);
  EXPECT_NEAR(a["rows"][2][2].get<double>(), corrected, 1e-12);
  EXPECT_EQ(a["rows"][4][1], 6);
  EXPECT_NEAR(a["rows"][4][2].get<double>(), sumy2, 1e-12);
}

// The loss row shows the objective the fit minimised: the sum of the losses
// at the estimates, not the error sum of squares. A weight names itself in
// the labels.
TEST_F(TablesTest, ALossFunctionAddsItsObjectiveAsTheLastRowAndWeightsTheirLabels) {
  ASSERT_EQ(fit(kLine, line_program("", "_weight_ = 1; _loss_ = 0.5*(y - a - b*x)**2;")), 0) << log_text();
  const Json a = table("ANOVA"), est = table("ParameterEstimates");
  EXPECT_EQ(sources(a), (std::vector<std::string>{"Model", "Error", "Corrected Total", "Loss"}));
  const double a0 = number(est, 0, "Estimate"), b = number(est, 1, "Estimate");
  double loss = 0;
  for (std::size_t i = 0; i < kX.size(); ++i) loss += 0.5 * std::pow(kY[i] - a0 - b * kX[i], 2);
  EXPECT_NEAR(a["rows"][3][2].get<double>(), loss, 1e-10 * loss);
  EXPECT_TRUE(a["rows"][3][1].is_null());
  EXPECT_TRUE(a["rows"][3][3].is_null());
  EXPECT_EQ(a["columns"][2]["label"], "Weighted SS");
  EXPECT_EQ(a["columns"][3]["label"], "Weighted Mean Square");
}

// COVB rows hold C times the fitted variance, with the least-squares line
// worked by hand; the estimates are back in the parameters afterwards;
// NOPRINT still writes the rows and settles the variance.
TEST_F(TablesTest, CovbRowsAreWrittenAlsoUnderNoprint) {
  ASSERT_EQ(fit(kLine, line_program("outest=est noprint")), 0) << log_text();
  EXPECT_TRUE(table("ANOVA").is_null());
  EXPECT_TRUE(table("ParameterEstimates").is_null());
  double sxy = 0, mean = 0, sse = 0;
  for (std::size_t i = 0; i < kX.size(); ++i) sxy += (kX[i] - kMeanX) * kY[i], mean += kY[i] / 6;
  const double b = sxy / kSxx, a0 = mean - b * kMeanX;
  for (std::size_t i = 0; i < kX.size(); ++i) sse += std::pow(kY[i] - a0 - b * kX[i], 2);
  const double mse = sse / 4;
  EXPECT_NEAR(context()->parm[0], a0, 1e-12);
  EXPECT_NEAR(context()->parm[1], b, 1e-12);
  EXPECT_NEAR(context()->mse, mse, 1e-14);
  const auto covb = rows_of("est", "COVB");
  ASSERT_EQ(covb.size(), 2u);
  EXPECT_EQ(covb[0].at("_NAME_"), "a");
  EXPECT_EQ(covb[1].at("_NAME_"), "b");
  EXPECT_NEAR(number(covb[1], "b"), mse / kSxx, 1e-12);
  EXPECT_NEAR(number(covb[0], "b"), -kMeanX * mse / kSxx, 1e-12);
  EXPECT_NEAR(number(covb[0], "a"), mse * (1.0 / 6 + kMeanX * kMeanX / kSxx), 1e-12);
}

// The fit's own step leaves the data set to the driver; here it is made
// after the fit, so that it holds only the rows of the altered inverse.
TEST_F(TablesTest, ANegativeVarianceEmptiesItsCovbRowAndMarksTheParameter) {
  std::string parmdf;
  ASSERT_EQ(inspect(line_program("outest=est noprint"),
                    [&](RUVACOM* ctx) {
                      ASSERT_EQ(jovesti(), 0);
                      ctx->xpx[zisub(0, 0)] = -1;
                      write_covb_rows(ctx);
                      xvputt(ctx->outestxv);
                      parmdf.assign(ctx->parmdf, 2);
                    }),
            0)
      << log_text();
  const auto covb = rows_of("est", "COVB");
  ASSERT_EQ(covb.size(), 2u);
  EXPECT_EQ(covb[0].at("a") + covb[0].at("b"), "");
  EXPECT_EQ(covb[1].at("a"), "");
  EXPECT_GT(number(covb[1], "b"), 0);
  EXPECT_EQ(parmdf, "01");
}

// PPC is named after its parameter; a name of 15 characters or more is
// too long to show; under GENERIC a measure below 1e-8 shows as 0.
TEST_F(TablesTest, SummaryNamesTheParameterOfTheLargestChangeAndZeroesUnderGeneric) {
  std::string error;
  ASSERT_TRUE(host_.options().set("GENERIC", &error)) << error;
  ASSERT_EQ(inspect(line_program("noprint method=gauss", "", "a_name_of_fifteen"),
                    [](RUVACOM* ctx) {
                      ZOPTSTATE& st = ctx->zoptg->state;
                      st.ppc = 0.02;
                      st.worstp = 1;
                      st.rpc = 0.5;
                      st.worstr = 0;
                      st.r = 3e-9;
                      ctx->exerror = 0;
                      print_summary(ctx);
                    }),
            0)
      << log_text();
  const Json s = table("EstSummary");
  EXPECT_EQ(s["label"], "Estimation Summary (Not Converged)");
  std::map<std::string, Json> facts;
  for (const auto& row : s["rows"]) facts[row[0].get<std::string>()] = row[1];
  EXPECT_EQ(facts["Method"], "Gauss-Newton");
  EXPECT_EQ(facts["PPC(b)"], 0.02);
  EXPECT_EQ(facts["RPC"], 0.5);
  EXPECT_EQ(facts["R"], 0.0);
}

// --- The correlation matrix from a hand-made inverse.
// A pair that C puts beyond 1 has no correlation, with G4 or without; the
// two keep their diagonals and their other correlations.
TEST(CorrelationMatrix, MissingRowsForNoVarianceAndMissingPairsBeyondOne) {
  auto ctx = std::make_unique<RUVACOM>();
  std::vector<double> xpx(zisub(3, 3) + 1, 0.0), corr(6), scale(3);
  char status[] = "111";
  ctx->nparm = 3;
  ctx->xpx = xpx.data();
  ctx->parmdf = status;
  ctx->mse = 2;
  xpx[zisub(0, 0)] = 4;
  xpx[zisub(1, 1)] = 1;
  xpx[zisub(1, 0)] = 3;  // correlation 1.5: C is not positive semi-definite
  xpx[zisub(2, 2)] = 0;
  for (int g4 : {0, 1}) {
    ctx->g4 = g4;
    correlation_matrix(ctx.get(), corr.data(), scale.data());
    EXPECT_EQ(corr[zisub(0, 0)], 1.0);
    EXPECT_EQ(corr[zisub(1, 1)], 1.0);
    EXPECT_TRUE(is_special_missing(corr[zisub(1, 0)]));
    EXPECT_TRUE(is_special_missing(corr[zisub(2, 2)]));
    EXPECT_TRUE(is_special_missing(corr[zisub(2, 0)]));
  }
  // Beyond 1 by rounding only (parameters tied together) is 1, under G4
  // too; a singular parameter has no correlations, as no COVB row.
  xpx[zisub(1, 0)] = 2 * (1 + 1e-13);
  correlation_matrix(ctx.get(), corr.data(), scale.data());
  EXPECT_EQ(corr[zisub(1, 0)], 1.0);
  status[1] = '0';
  correlation_matrix(ctx.get(), corr.data(), scale.data());
  EXPECT_TRUE(is_special_missing(corr[zisub(1, 0)]));
  ctx->mse = special_missing_value();
  correlation_matrix(ctx.get(), corr.data(), scale.data());
  EXPECT_TRUE(is_special_missing(corr[zisub(0, 0)]));
}

}  // namespace

namespace {

// A failing request of the result tables is reported; the estimation
// summary alone is given up, while any other table ends the step: with 120
// when there are BY variables, else 1020.
TEST_F(TablesTest, AFailingResultRequestIsReportedAndEndsTheStep) {
  struct Case {
    int selector;  // 164 a fact, 388 a matrix
    const char* by;
    int rc;
    bool summary;  // the summary's facts are shown
  } cases[] = {{164, "", 8, false}, {388, "", 1020, true}, {388, "by g;", 120, true}};
  std::string csv = results_test::kPuromycin;
  csv.replace(0, csv.find('\n'), "conc,rate,g");
  for (std::size_t at = csv.find('\n', csv.find('\n') + 1); at != std::string::npos; at = csv.find('\n', at + 3))
    csv.insert(at, ",1");
  for (const Case& c : cases) {
    procedure_test::failing_selector() = c.selector;
    json_.str("");
    write_file("d.csv", csv);
    EXPECT_EQ(run(std::string("proc ruva data=d noitprint; ") + c.by + " parms Vm=200 K=0.05;"
                  " model rate = Vm*conc/(K+conc);",
                  &procedure_test::failing_request_body),
              c.rc)
        << c.selector << log_text();
    EXPECT_NE(log_text().find("ERROR: An output request came when its object could not take it."), std::string::npos);
    ASSERT_EQ(tables("EstSummary").size(), 1u);
    EXPECT_EQ(tables("EstSummary")[0]["rows"].empty(), !c.summary) << c.selector;  // abandoned: no facts
  }
}

}  // namespace
