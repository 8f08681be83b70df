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

TEST_F(ProbePassTest, AtTheEstimatesItIsTheFitsPassAndElsewhereJtWJ) {
  const char* programs[] = {
      "retain s 0; s = s + x; model y = a*exp(-b*x) + c*s;",
      "retain prev 0; xl = prev; prev = x; model y = a*exp(-b*x) + c*xl;",
      "array t[2] _temporary_; t[1] = exp(-b*x); t[2] = x; model y = a*t[1] + c*t[2];",
      "_weight_ = 1/(1 + x); model y = a*exp(-b*x) + c*x;",
  };
  for (const char* program : programs) {
    SCOPED_TRACE(program);
    std::vector<double> at_estimates, moved, estimates;
    double sse = 0;
    long iobs = 0;
    const double* fit_matrix = nullptr;
    ASSERT_EQ(run_and_inspect(std::string("proc ruva data=d; by g; parms a=3 b=0.5 c=0.1; ") + program,
                              second_group_body,
                              [&](RUVACOM* ctx) {
                                const int p = ctx->nparm;
                                at_estimates.assign(zisub(p + 1, 0), 0.0);
                                moved = at_estimates;
                                estimates.assign(ctx->parm, ctx->parm + p);
                                sse = ctx->sse, iobs = ctx->iobs, fit_matrix = ctx->xpx;
                                EXPECT_EQ(cross_products_at(ctx, ctx->parm, at_estimates.data()), 6);
                                for (long k = 0; k < zisub(p, 0); ++k)
                                  EXPECT_NEAR(at_estimates[k], ctx->inverted[k], 1e-12 * std::fabs(ctx->inverted[k]))
                                      << k;
                                const double point[3] = {estimates[0] + 0.5, estimates[1] * 1.2, estimates[2] - 0.1};
                                EXPECT_EQ(cross_products_at(ctx, point, moved.data()), 6);
                                EXPECT_EQ(std::vector<double>(ctx->parm, ctx->parm + p), estimates);
                                EXPECT_EQ(ctx->sse, sse);
                                EXPECT_EQ(ctx->iobs, iobs);
                                EXPECT_EQ(ctx->xpx, fit_matrix);
                              }),
              0)
        << log_text();
    // J'WJ at the moved point from the second group's data.
    const double a = estimates[0] + 0.5, b = estimates[1] * 1.2;
    std::vector<double> want(6, 0.0);
    double s = 0, prev = 0;
    for (int i = 0; i < 6; ++i) {
      const double x = kX[1][i], e = std::exp(-b * x);
      s += x;
      const std::string text = program;
      const double third = text.find("retain s") == 0 ? s : text.find("prev") != std::string::npos ? prev : x;
      const double w = text.find("_weight_") != std::string::npos ? 1 / (1 + x) : 1.0;
      const double j[3] = {e, -a * x * e, third};
      for (int r = 0; r < 3; ++r)
        for (int c = 0; c <= r; ++c) want[zisub(r, c)] += w * j[r] * j[c];
      prev = x;
    }
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(moved[k], want[k], 1e-10 * std::fabs(want[k])) << k;
  }
}

}  // namespace
