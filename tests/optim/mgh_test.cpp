// The More-Garbow-Hillstrom problems as least squares, from their standard
// starting points, by Marquardt steps ('M') and by plain steps ('S') with
// each line search (halving, quadratic, cubic, golden section): each run
// must converge to the published minimum.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "mgh_problems.h"
#include "support/host_fixture.h"

namespace {

class MghTest : public HostTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(MghTest, EveryProblemConvergesToItsPublishedMinimum) {
  const char* method = GetParam();
  for (const mgh::Case& c : mgh::all()) {
    SCOPED_TRACE(c.problem.name);
    if ((method[0] == 'S' && c.halving_fails) || (method[1] == 'G' && c.golden_fails)) continue;
    lsq::Fit fit(&c.problem);
    // Zero-residual problems converge by the objective itself (aftl), the
    // others by the relative offset R (atol).
    lsq::Options o = lsq::method(method, 1e-6);
    o.aftl = c.minimum == 0 ? 1e-24 : 1e-30;
    ZOPTGLOBAL* g = lsq::make_run(step_pool(), &fit, o);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(lsq::run(g, c.start), 0);
    EXPECT_EQ(g->state.error, s_ok);
    if (c.minimum == 0) {
      EXPECT_LT(g->state.objective, 1e-24);
      for (std::size_t j = 0; j < c.minimiser.size(); ++j)
        EXPECT_NEAR(g->state.parms[j], c.minimiser[j], 1e-9 * (1 + std::fabs(c.minimiser[j])));
    } else {
      // The published minima carry six significant digits.
      EXPECT_NEAR(g->state.objective / c.minimum, 1.0, 1e-5);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, MghTest, ::testing::ValuesIn(lsq::kMethods),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
