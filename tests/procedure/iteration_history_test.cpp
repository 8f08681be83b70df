// The iteration-history tables as the JSON stream shows them: titles,
// labels and columns of the grid and of the estimation for each objective,
// and the rows matching the OUTEST= rows.
#include <string>
#include <vector>

#include "estimation_fixture.h"

namespace {

using procedure_test::EstimationTest;

class HistoryTest : public EstimationTest {
 protected:
  HistoryTest() { write_file("d.csv", "x,y\n1,2.1\n2,3.9\n3,6.2\n4,7.8\n"); }

  std::vector<std::string> column_names(const nlohmann::json& t) const {
    std::vector<std::string> names;
    for (const auto& c : t["columns"]) names.push_back(c["name"]);
    return names;
  }
};

TEST_F(HistoryTest, MarquardtWithWeightsTitlesAndColumns) {
  ASSERT_EQ(run("proc ruva data=d method=marquardt outest=est; parms a = 0 1 b=2; _weight_ = 1/x;"
                " model y = a + b*x;"),
            0)
      << log_text();
  const auto t = tables("IterHistory");
  ASSERT_EQ(t.size(), 2u);
  const auto& grid = t[0];
  EXPECT_EQ(grid["label"], message(53));
  EXPECT_EQ(column_names(grid), (std::vector<std::string>{"Point", "a", "b", "SSE"}));
  EXPECT_EQ(grid["titles"][1], "Dependent Variable y");
  EXPECT_EQ(grid["titles"].size(), 2u);
  const auto& est = t[1];
  EXPECT_EQ(est["label"], message(52));
  EXPECT_EQ(est["titles"][2], message(58));
  EXPECT_EQ(column_names(est), (std::vector<std::string>{"Iter", "a", "b", "SSE"}));
  EXPECT_EQ(est["columns"][3]["label"], message(30));
  // One row per ITER row of OUTEST=, with the same values.
  const auto iters = rows_of("est", "ITER");
  ASSERT_EQ(est["rows"].size(), iters.size());
  for (std::size_t k = 0; k < iters.size(); ++k) {
    EXPECT_EQ(est["rows"][k][1].get<double>(), number(iters[k], "a"));
    EXPECT_EQ(est["rows"][k][3].get<double>(), number(iters[k], "_SSE_"));
  }
}

TEST_F(HistoryTest, TheObjectiveLabelFollowsWeightsAndLoss) {
  struct Case {
    const char* statements;
    int label;
  } cases[] = {{"", 32}, {"_weight_ = 1;", 30}, {"_loss_ = (y - a - b*x)**2;", 34},
               {"_weight_ = 1; _loss_ = (y - a - b*x)**2;", 46}};
  for (const Case& c : cases) {
    json_.str("");
    ASSERT_EQ(run(std::string("proc ruva data=d; parms a=0 b=2; ") + c.statements + " model y = a + b*x;"), 0)
        << log_text();
    const auto t = tables("IterHistory");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0]["columns"].back()["label"], message(c.label)) << c.statements;
  }
}

// A start that fits exactly, with a parameter the model does not depend
// on, gives no step to take: the table still shows it as iteration 0.
TEST_F(HistoryTest, AStartThatIsTheAnswerIsShownAsIterationZero) {
  write_file("e.csv", "x,y\n1,3\n2,5\n3,7\n4,9\n");
  ASSERT_EQ(run("proc ruva data=e; parms c=1; model y = c*x - c*x + 2*x + 1;"), 0) << log_text();
  const auto t = tables("IterHistory");
  ASSERT_EQ(t.size(), 1u);
  ASSERT_EQ(t[0]["rows"].size(), 1u);
  EXPECT_EQ(t[0]["rows"][0], nlohmann::json::parse("[0, 1, 0]"));
}

// A failing output request leaves the table as far as it was built, with
// the host's message (an error: return code 8), and nothing is released
// that was never opened. The grid search gives up the group when a row
// cannot be added; the estimation goes on otherwise.
TEST_F(HistoryTest, AFailingRequestLeavesTheTableWithTheHostsMessage) {
  struct Case {
    int selector;
    const char* statements;
    std::size_t histories;  // IterHistory tables shown
    bool estimated;
  } cases[] = {
      {338, "parms a=0 b=2;", 0, true},                    // the Iter column
      {338, "parms a=0 1 b=2;", 0, false},                 // a grid column, then its rows
      {329, "parms a=0 1 b=2;", 1, false},                 // a grid row
      {299, "parms a=5 6 b=2; bounds a < 3;", 2, true},  // closing the grid of infeasible points
  };
  for (const Case& c : cases) {
    json_.str("");
    procedure_test::failing_selector() = c.selector;
    EXPECT_EQ(run(std::string("proc ruva data=d; ") + c.statements + " model y = a + b*x;", &procedure_test::failing_request_body),
              8)
        << c.statements << log_text();
    EXPECT_NE(log_text().find("ERROR: An output request came when its object could not take it."), std::string::npos)
        << c.statements << log_text();
    EXPECT_EQ(log_text().find("carried a parameter"), std::string::npos) << c.statements << log_text();
    EXPECT_EQ(tables("IterHistory").size(), c.histories) << c.statements;
    EXPECT_EQ(tables("ParameterEstimates").size(), c.estimated ? 1u : 0u) << c.statements;
  }
}

}  // namespace
