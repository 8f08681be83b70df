// The grid search (its point order is checked in estimation_test): the best
// point starts the estimation (the earlier point on a tie), BEST= prints the
// best points in ascending SSE, points that violate the bounds are not
// evaluated, a grid without any usable point skips the group's fit, a grid
// whose table cannot be held ends the step.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "estimation_fixture.h"

namespace {

using procedure_test::EstimationTest;

class GridSearchTest : public EstimationTest {
 protected:
  GridSearchTest() { write_file("d.csv", "x,y\n1,2.1\n2,3.9\n3,6.2\n4,7.8\n"); }

  // The rows of the (first) grid table: the point's number, the parameter
  // values and SSE.
  std::vector<std::vector<double>> grid_rows() const {
    std::vector<std::vector<double>> out;
    for (const auto& t : tables("IterHistory")) {
      if (t["label"] != message(53)) continue;
      for (const auto& row : t["rows"]) {
        std::vector<double> values;
        for (const auto& v : row) values.push_back(v.is_null() ? std::nan("") : v.get<double>());
        out.push_back(values);
      }
      break;
    }
    return out;
  }
  long grid_tables() const {
    const auto all = tables("IterHistory");
    return std::count_if(all.begin(), all.end(), [&](const auto& t) { return t["label"] == message(53); });
  }
};

// a*a fits the same from a = -1 and a = 1: the first point listed wins and
// the fit ends at the negative root.
TEST_F(GridSearchTest, OfTwoEqualPointsTheEarlierStartsTheFit) {
  ASSERT_EQ(run("proc ruva data=d outest=est; parms a = -1 1; model y = a*a*x;"), 0) << log_text();
  const auto iters = rows_of("est", "ITER");
  ASSERT_FALSE(iters.empty());
  EXPECT_EQ(number(iters[0], "a"), -1);
  EXPECT_LT(number(rows_of("est", "FINAL")[0], "a"), 0);
}

// BEST=3 of 12 points: the three lowest, ascending, ties in point order,
// each with its number in the grid (a fastest). a*a gives a = -1 and a = 1
// the same SSE; b = 15, then b = 20 fit best.
TEST_F(GridSearchTest, BestPrintsTheBestPointsInAscendingOrder) {
  ASSERT_EQ(run("proc ruva data=d best=3; parms a = -1 1 3 b = 10 15 20 25; model y = a*a + b*x/10;"), 0)
      << log_text();
  const auto rows = grid_rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<double>{4, -1, 15, rows[0][3]}));
  EXPECT_EQ(rows[1], (std::vector<double>{5, 1, 15, rows[0][3]}));
  EXPECT_EQ(rows[2], (std::vector<double>{7, -1, 20, rows[2][3]}));
  EXPECT_LT(rows[1][3], rows[2][3]);
}

TEST_F(GridSearchTest, BestZeroPrintsNoGridButStartsFromTheBestPoint) {
  ASSERT_EQ(run("proc ruva data=d best=0 outest=est; parms a = 5 0 b = 10 20; model y = a + b*x/10;"), 0)
      << log_text();
  EXPECT_TRUE(grid_rows().empty());
  const auto iters = rows_of("est", "ITER");
  EXPECT_EQ(number(iters[0], "a"), 0);
  EXPECT_EQ(number(iters[0], "b"), 20);
}

TEST_F(GridSearchTest, PointsOutsideTheBoundsAreNotEvaluatedNorChosen) {
  ASSERT_EQ(run("proc ruva data=d outest=est; parms b = 19 20 21; bounds b < 20.5; model y = b*x/10;"), 4)
      << log_text();
  const auto grid = rows_of("est", "GRID");
  ASSERT_EQ(grid.size(), 3u);
  EXPECT_EQ(grid[2].at("_SSE_"), "");
  EXPECT_EQ(number(rows_of("est", "ITER")[0], "b"), 20);
  EXPECT_EQ(logged(15), 1);
}

TEST_F(GridSearchTest, WhenEveryPointViolatesTheBoundsTheFitStartsFromTheLast) {
  ASSERT_EQ(run("proc ruva data=d outest=est; parms b = 30 40; bounds b < 25; model y = b*x/10;"), 4)
      << log_text();
  EXPECT_EQ(logged(76), 1);
  for (const auto& row : rows_of("est", "GRID")) EXPECT_EQ(row.at("_SSE_"), "");
  EXPECT_LE(number(rows_of("est", "ITER")[0], "b"), 25);
}

// No observation is usable at any point: the group gets no fit.
TEST_F(GridSearchTest, AGridWithoutAnyUsablePointSkipsTheFit) {
  write_file("d.csv", "x,y\n1,.\n2,.\n");
  ASSERT_EQ(run("proc ruva data=d outest=est; parms b = 1 2; model y = b*x;"), 4) << log_text();
  EXPECT_EQ(logged(19), 1);
  EXPECT_NE(log_text().find("observation of the data, so no fit is made."), std::string::npos) << log_text();
  EXPECT_TRUE(rows_of("est", "ITER").empty());
  EXPECT_EQ(rows_of("est", "GRID").size(), 2u);
  EXPECT_TRUE(statuses().empty());
}

// With no dependent value in the data no point gives an objective: bounds
// that contradict each other leave no fit to try, and a grid whose other
// points violate the bounds is printed once, its infeasible points named.
TEST_F(GridSearchTest, DataWithoutAResponseGetNoFitWhateverTheBounds) {
  write_file("d.csv", "x,y\n1,\n2,\n3,\n4,\n");
  ASSERT_EQ(run("proc ruva data=d outest=est; parms a=1 b=21; bounds a < b, b < a; model y=a*x+b;"), 4)
      << log_text();
  EXPECT_EQ(logged(19), 1);
  EXPECT_EQ(logged(926), 1);  // y is missing in every observation
  EXPECT_TRUE(rows_of("est", "ITER").empty());
  EXPECT_TRUE(tables("ParameterEstimates").empty());

  ASSERT_EQ(run("proc ruva data=d; parms b=19 20 21 22; bounds b < 20.5; model y=b*x;"), 4) << log_text();
  EXPECT_EQ(grid_tables(), 1);
  EXPECT_EQ(grid_rows().size(), 4u);
  EXPECT_EQ(logged(15), 1);
  EXPECT_EQ(logged(19), 1);
}

// Without BEST= the table of 10^9 points (hundreds of gigabytes) cannot be
// held: the step ends at once, naming the points and BEST=, before any pass.
TEST_F(GridSearchTest, AGridWhoseTableCannotBeHeldIsRefused) {
  const std::string grid = "parms a = 1 to 1000 b = 1 to 1000 c = 1 to 1000; model y = a + b*x + c*x*x;";
  ASSERT_EQ(run("proc ruva data=d outest=est; " + grid), 1012) << log_text();
  EXPECT_EQ(logged(981), 1);
  EXPECT_NE(log_text().find("has 1000000000 points"), std::string::npos) << log_text();
  EXPECT_NE(log_text().find("BEST="), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "est.csv"));
  EXPECT_TRUE(grid_rows().empty());
}

// 2000^3 points pass the largest count a grid may have, BEST= or not.
TEST_F(GridSearchTest, AGridOfMoreThanTheLargestCountIsRefused) {
  const std::string grid = "parms a = 1 to 2000 b = 1 to 2000 c = 1 to 2000; model y = a + b*x + c*x*x;";
  ASSERT_EQ(run("proc ruva data=d best=1; " + grid), 1012) << log_text();
  EXPECT_NE(log_text().find("ERROR: The grid of starting values has more than 2147483647 points."), std::string::npos)
      << log_text();
}

TEST_F(GridSearchTest, StimerLogsTheTimeOfTheSearch) {
  host_.options().set("STIMER");
  ASSERT_EQ(run("proc ruva data=d; parms b = 1 2; model y = b*x;"), 0) << log_text();
  EXPECT_EQ(logged(7), 1);
}

}  // namespace
