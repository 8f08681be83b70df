// The log-scale beta engine: log tails far below the smallest double,
// quantiles on either tail, the integration path, and request checks.
#include <gtest/gtest.h>

#include <cmath>

#include "host/missing.h"
#include "prob/beta_engine.h"
#include "prob/beta_engine_detail.h"
#include "reference.h"

namespace {

using ref::Ld;

// ln of both tails in long double: the smaller directly, the larger as
// log1p of minus the smaller.
void reference_tails(double a, double b, double x, Ld* lpl, Ld* lpr) {
  const Ld pl = ref::ibeta(a, b, x), pr = ref::ibetac(a, b, x);
  *lpl = pl < pr ? std::log(pl) : std::log1p(-pr);
  *lpr = pl < pr ? std::log1p(-pl) : std::log(pr);
}

// The log density's terms grow with the shapes, and their rounding with
// them: errors are measured against 1 + (a + b) eps-sized terms.
double shape_scale(double a, double b) { return 1 + (a + b) / 100; }

// A request of the given objective; p goes to Prob (4) or targetSDF (8).
ARGBET request(int objective, double a, double b, double x_or_p) {
  ARGBET q{};
  q.Objective = objective;
  q.a = a, q.b = b;
  (objective == 4 ? q.Prob : objective == 8 ? q.targetSDF : q.x) = x_or_p;
  return q;
}

const double kShapes[] = {0.05, 0.5, 2, 30, 1e3, 1e5};

TEST(BetaEngine, LogTailsAgreeWithTheReferenceBeyondTheDoubleRange) {
  ref::Worst worst("zlogbet log tails, error / max(|log|, 1) / (1 + (a + b)/100)", 1e-13);
  for (double a : kShapes) {
    for (double b : kShapes) {
      for (double x : {1e-200, 1e-10, 0.01, 0.3, 0.5, 0.7, 0.99, 1 - 1e-10}) {
        ARGBET q = request(1, a, b, x);
        ASSERT_EQ(zlogbet(&q), 0) << ref::at(x, a, b);
        Ld lpl, lpr;
        reference_tails(a, b, x, &lpl, &lpr);
        if (std::isinf(lpl) || std::isinf(lpr)) continue;  // beyond even long double
        worst.add(ref::log_error(q.lpl, lpl) / shape_scale(a, b), ref::at(x, a, b));
        worst.add(ref::log_error(q.lpr, lpr) / shape_scale(a, b), ref::at(x, a, b));
      }
    }
  }
  // The density where the tail is about e^-3234, far below the smallest double.
  ARGBET q = request(3, 1000, 1000, 0.01);
  ASSERT_EQ(zlogbet(&q), 0);
  EXPECT_NEAR(q.ldens, std::log(ref::beta_density(1000, 1000, 0.01L)), 1e-9);
}

TEST(BetaEngine, QuantilesOnEitherTailReturnTheirProbability) {
  // Backward error: the tail at x against its target, allowing for an ulp
  // of x (or of 1 - x, whichever the answer holds) times the density.
  ref::Worst worst("zlogbet quantile |tail(x) - p| / (1e-12 p + 4 ulp d)", 1.0);
  for (double a : kShapes) {
    for (double b : kShapes) {
      for (double p : {1e-200, 1e-10, 0.01, 0.3, 0.5, 0.7, 0.99}) {
        for (int objective : {4, 8}) {
          ARGBET q = request(objective, a, b, p);
          const int rc = zlogbet(&q);
          if (rc == 2 || rc == 3) continue;  // beyond [2.2e-293, 1 - 1.1e-13]
          ASSERT_EQ(rc, 0) << ref::at(p, a, b) << " objective " << objective;
          // From 1 - x where the answer holds it (x above 1/2).
          const bool by_complement = q.x > 0.5;
          const Ld lower = by_complement ? ref::ibetac(b, a, q.onemx) : ref::ibeta(a, b, q.x);
          const Ld upper = by_complement ? ref::ibeta(b, a, q.onemx) : ref::ibetac(a, b, q.x);
          const double small = std::fmin(q.x, q.onemx);
          const Ld ulp = std::nextafter(small, 2.0) - small;
          const Ld density = by_complement ? ref::beta_density(b, a, q.onemx)
                                           : ref::beta_density(a, b, q.x);
          const Ld allowed = 1e-12L * p * shape_scale(a, b) + 4 * ulp * density;
          worst.add(static_cast<double>(std::fabs((objective == 4 ? lower : upper) - p) / allowed),
                    ref::at(p, a, b));
        }
      }
    }
  }
}

TEST(BetaEngine, BoundsEndsAndInvalidRequests) {
  ARGBET q = request(4, 0.05, 0.05, 1e-200);  // the quantile lies far below 2.2e-293
  EXPECT_EQ(zlogbet(&q), 2);
  q = request(8, 0.05, 0.05, 1e-10);  // 1 - x lies far below 1.1e-13
  EXPECT_EQ(zlogbet(&q), 3);
  q = request(4, 2, 3, 1.0);
  ASSERT_EQ(zlogbet(&q), 0);
  EXPECT_EQ(q.x, 1.0);
  q = request(8, 2, 3, 1.0);
  ASSERT_EQ(zlogbet(&q), 0);
  EXPECT_EQ(q.x, 0.0);
  q = request(0, 2, 3, 0.25);  // Objective 0 is taken as 1
  ASSERT_EQ(zlogbet(&q), 0);
  EXPECT_NEAR(q.lpl, std::log(ref::ibeta(2, 3, 0.25L)), 1e-15);
  for (ARGBET bad : {request(1, 0, 3, 0.5), request(1, 2, -1, 0.5), request(1, 2, 3, 1.5),
                     request(1, 2, 3, NAN), request(4, 2, 3, -0.5), request(1, 1e17, 3, 0.5)})
    EXPECT_EQ(zlogbet(&bad), 1);
}

TEST(BetaEngine, IntegrationAgreesWithTheReference) {
  // Near the mean of large shapes the fraction needs more than 399
  // iterations and the integration takes over.
  ref::Worst worst("BetaIntegration log tail, error / max(|log|, 1) / (1 + (a + b)/100)", 1e-13);
  for (double a : {2.0, 30.0, 1e3, 1e6}) {
    for (double b : {2.0, 30.0, 1e3, 1e6}) {
      const double mean = a / (a + b), sd = std::sqrt(a * b / ((a + b) * (a + b) * (a + b + 1)));
      for (double z : {-8.0, -1.0, -0.1, 0.0, 0.5, 3.0}) {
        const double x = mean + z * sd;
        if (!(x > 0 && x < 1)) continue;
        Ld lpl, lpr;
        reference_tails(a, b, x, &lpl, &lpr);
        const bool upper = lpr < lpl;
        ARGBET q = request(1, a, b, x);
        double log_tail;
        ASSERT_EQ(BetaIntegration(&q, x, 1 - x, upper, &log_tail), 0) << ref::at(x, a, b);
        const double error = ref::log_error(log_tail, upper ? lpr : lpl);
        worst.add(error / shape_scale(a, b), ref::at(x, a, b));
      }
    }
  }
  ARGBET q = request(1, 1e6, 1e6, 0.5);
  ASSERT_EQ(zlogbet(&q), 0);
  EXPECT_EQ(q.Method, 2);
  EXPECT_NEAR(q.lpl, std::log(0.5), 1e-9);
}

}  // namespace
