// Iteration output: every printing switch on leaves the run's numbers as
// they were, the printed relative changes are bounded by their buffers
// whatever the parameter names, and the iteration label.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/missing.h"
#include "mgh_problems.h"
#include "optim/zopt_output.h"
#include "support/host_fixture.h"

namespace {

class IterationOutputTest : public HostTest {};

TEST_F(IterationOutputTest, PrintingDoesNotChangeTheRun) {
  const mgh::Case c = mgh::rosenbrock();
  std::vector<double> plain(2);
  int plain_iters = 0;
  for (int printing : {0, 1}) {
    for (char method : {'M', 'S'}) {
      lsq::Fit fit{&c.problem, {}, {}, 0};
      lsq::Options o;
      o.method = method;
      ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit, o);
      char names[3][12] = {"x1", "x2", "Residual"};
      char* pname[3] = {names[0], names[1], names[2]};
      g->opts.pname = pname;
      if (printing) {
        g->opts.itprint = 2;
        g->opts.details = g->opts.xpx = g->opts.i = 1;
        g->opts.debug = 1;
        g->funcs.usfout = znpit;
      }
      ASSERT_EQ(lsq::run(g, c.start), 0) << method;
      if (method == 'S') continue;
      if (!printing) {
        plain = {g->state.parms[0], g->state.parms[1]};
        plain_iters = g->state.iters;
      } else {
        EXPECT_EQ(g->state.iters, plain_iters);
        EXPECT_EQ(g->state.parms[0], plain[0]);
        EXPECT_EQ(g->state.parms[1], plain[1]);
      }
    }
  }
}

TEST_F(IterationOutputTest, RelativeChangesAreFormattedWithinTheirBuffers) {
  const mgh::Case c = mgh::rosenbrock();
  lsq::Fit fit{&c.problem, {}, {}, 0};
  ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit);
  std::string long_name(600, 'p');
  char other[] = "b";
  char* pname[3] = {long_name.data(), other, other};
  g->opts.pname = pname;
  g->opts.details = 1;
  char ppc[256], rpc[256];
  g->state.ppc_out = ppc;
  g->state.rpc_out = rpc;
  g->state.iters = 3;
  g->state.ppc = 1.5e300;
  g->state.worstp = 0;
  g->state.rpc = 0.25;
  g->state.worstr = 1;
  znpit(g);
  EXPECT_EQ(std::strlen(ppc), 255u);
  EXPECT_EQ(std::string(ppc, 9), "1.5e+300(");
  EXPECT_STREQ(rpc, "0.25(b)");

  // No previous change at the first iteration, nor a missing one.
  g->state.iters = 0;
  znpit(g);
  EXPECT_STREQ(rpc, "");
  g->state.iters = 4;
  g->state.rpc = missing_value();
  znpit(g);
  EXPECT_STREQ(rpc, "");
}

TEST_F(IterationOutputTest, IterationLabel) {
  char label[optim::kIterLabelBytes];
  char estype[8] = {'O', 'L', 'S', ' ', ' ', ' ', ' ', ' '};
  EXPECT_STREQ(znprnit(3, estype, label), "Iteration    3 OLS     ");
  EXPECT_STREQ(znprnit(missing_value(), estype, label), "Final step OLS     ");
}

}  // namespace
