// The data pass at a point off the fit, which the check of what the data
// determine makes: at the estimates it is the fit's own pass, for programs
// that carry values from one observation to the next (RETAIN, a lagged
// value), arrays and weights, in a second BY group; at another point it is
// J'WJ worked here; and the context is left as it was.
#include <cmath>
#include <string>
#include <vector>

#include "estimation_fixture.h"
#include "linalg/packed.h"
#include "procedure/data_pass.h"
#include "procedure/step_phases.h"

namespace {

using procedure_test::EstimationTest;

const double kX[2][6] = {{1, 2, 3, 4, 5, 6}, {0.5, 1.5, 2.5, 3.5, 4.5, 5.5}};
const double kY[2][6] = {{3.9, 2.8, 2.4, 2.1, 2.3, 2.6}, {4.6, 3.3, 2.7, 2.4, 2.3, 2.5}};

// Both BY groups fitted as the driver fits them; the inspection follows the second.
void second_group_body() {
  RUVACOM* ctx = procedure_test::begin_step(2);
  for (int group = 0; group < 2 && xbynext(ctx->fiddata) > 0; ++group) {
    if (jovgrid(ctx) == 0) jovopt(ctx);
    if (group == 0) reset_for_next_bygroup(ctx);
  }
  procedure_test::inspect_and_exit(ctx);
}

class ProbePassTest : public EstimationTest {
 protected:
  void SetUp() override {
    std::string csv = "g,x,y\n";
    for (int g = 0; g < 2; ++g)
      for (int i = 0; i < 6; ++i)
        csv += std::to_string(g + 1) + "," + std::to_string(kX[g][i]) + "," + std::to_string(kY[g][i]) + "\n";
    write_file("d.csv", csv);
  }
};

// The third derivative column of each program: the running sum of x, the
// previous x (0 first) or x itself; the weight 1/(1 + x) or 1.
TEST_F(ProbePassTest, AtTheEstimatesItIsTheFitsPassAndElsewhereJtWJ) {
  enum Third { kRunningSum, kPrevious, kItself };
  const struct Case {
    const char* program;
    Third third;
    bool weighted;
  } cases[] = {
      {"retain s 0; s = s + x; model y = a*exp(-b*x) + c*s;", kRunningSum, false},
      {"retain prev 0; xl = prev; prev = x; model y = a*exp(-b*x) + c*xl;", kPrevious, false},
      {"array t[2] _temporary_; t[1] = exp(-b*x); t[2] = x; model y = a*t[1] + c*t[2];", kItself, false},
      {"_weight_ = 1/(1 + x); model y = a*exp(-b*x) + c*x;", kItself, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program);
    std::vector<double> moved(10, 0.0), estimates;
    ASSERT_EQ(run_and_inspect(std::string("proc ruva data=d; by g; parms a=3 b=0.5 c=0.1; ") + c.program,
                              second_group_body,
                              [&](RUVACOM* ctx) {
                                estimates.assign(ctx->parm, ctx->parm + 3);
                                const double sse = ctx->sse;
                                const double* fit_matrix = ctx->xpx;
                                std::vector<double> at_estimates(10);
                                EXPECT_EQ(cross_products_at(ctx, ctx->parm, at_estimates.data()), 6);
                                for (int k = 0; k < 6; ++k)
                                  EXPECT_NEAR(at_estimates[k], ctx->inverted[k], 1e-12 * std::fabs(ctx->inverted[k]));
                                const double point[3] = {estimates[0] + 0.5, estimates[1] * 1.2, estimates[2] - 0.1};
                                EXPECT_EQ(cross_products_at(ctx, point, moved.data()), 6);
                                EXPECT_EQ(std::vector<double>(ctx->parm, ctx->parm + 3), estimates);
                                EXPECT_TRUE(ctx->sse == sse && ctx->iobs == 6 && ctx->xpx == fit_matrix);
                              }),
              0)
        << log_text();
    const double a = estimates[0] + 0.5, b = estimates[1] * 1.2;
    std::vector<double> want(6, 0.0);
    double sum = 0, previous = 0;
    for (int i = 0; i < 6; ++i) {
      const double x = kX[1][i], e = std::exp(-b * x), w = c.weighted ? 1 / (1 + x) : 1.0;
      sum += x;
      const double j[3] = {e, -a * x * e, c.third == kRunningSum ? sum : c.third == kPrevious ? previous : x};
      for (int r = 0; r < 3; ++r)
        for (int s = 0; s <= r; ++s) want[zisub(r, s)] += w * j[r] * j[s];
      previous = x;
    }
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(moved[k], want[k], 1e-10 * std::fabs(want[k])) << k;
  }
}

}  // namespace
