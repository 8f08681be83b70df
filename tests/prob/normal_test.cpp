// erf, erfc, the normal cdf and quantile, the Mills ratio and the log tails
// against long-double references.
#include <gtest/gtest.h>

#include <cmath>

#include "host/missing.h"
#include "prob/normal.h"
#include "reference.h"

namespace {

using ref::Ld;

TEST(ErrorFunctions, AgreeWithTheReferenceOnEveryInterval) {
  ref::Worst erf_worst("erf relative error, |x| <= 6", 1e-15);
  ref::Worst erfc_central("erfc relative error, -6 <= x <= 9", 1e-14);
  // exp(-x^2) turns the rounding of x^2 into a relative error of about x^2 ulps.
  ref::Worst erfc_scaled("erfc relative error / (1 + 2x^2), x to 26.5", 5e-16);
  for (double x = -6; x <= 26.5; x += 0.000713) {
    if (x <= 6 && x != 0) erf_worst.add(ref::relative_error(zferf(x), ref::erf(x)), ref::at(x));
    const double e = ref::relative_error(zferfc(x), ref::erfc(x));
    if (x <= 9) erfc_central.add(e, ref::at(x));
    erfc_scaled.add(e / (1 + 2 * x * x), ref::at(x));
  }
  double r;
  calerf(27, &r, 1);  // exp(-y^2) would underflow
  EXPECT_EQ(r, 0.0);
  EXPECT_EQ(zferf(-30), -1.0);
  EXPECT_EQ(zferfc(1e300), 0.0);
  EXPECT_TRUE(is_missing(zferfc(missing_value())));
}

TEST(NormalCdf, AgreesWithTheReferenceAndKeepsMissingValues) {
  ref::Worst central("zprbnrm relative error, -8 <= x <= 8", 2e-14);
  ref::Worst scaled("zprbnrm relative error / (1 + x^2), x down to -37.5", 5e-16);
  for (double x = -37.5; x <= 8.5; x += 0.000617) {
    const double e = ref::relative_error(zprbnrm(x), ref::normal_cdf(x));
    if (x >= -8) central.add(e, ref::at(x));
    scaled.add(e / (1 + x * x), ref::at(x));
  }
  EXPECT_EQ(zprbnrm(0.0), 0.5);
  // exp(-y^2) underflows for y = 40/sqrt(2), so the erfc branch gives 0.
  EXPECT_EQ(zprbnrm(-40.0), 0.0);
  EXPECT_EQ(zprbnrm(40.0), 1.0);
  // A missing argument keeps the missing pattern, not a NaN with its sign cleared.
  EXPECT_TRUE(is_missing(zprbnrm(missing_value())));
  EXPECT_TRUE(is_missing(zprbnrm(letter_missing_value('C'))));
}

TEST(NormalQuantile, AgreesWithTheReferenceRelativeToItsCondition) {
  // The quantile's condition number q / (phi(z) |z|) is large next to 1/2;
  // the error is measured relative to it only where min(p, 1 - p) > 0.4.
  ref::Worst worst("zprobit relative error (/ max(1, condition) past 0.4), p from 1e-310", 4e-15);
  for (double q = 1e-310; q < 0.5; q *= 1.003) {
    for (double p : {q, 1 - q}) {
      if (p >= 1) continue;
      const Ld want = ref::normal_quantile(p);
      const double condition = q <= 0.4 ? 1 : static_cast<double>(
          std::fmin(p, 1 - Ld(p)) / (ref::normal_density(want) * std::fabs(want)));
      worst.add(ref::relative_error(zprobit(p), want) / std::fmax(1.0, condition), ref::at(p));
    }
  }
  EXPECT_NEAR(zprobit(0.975), 1.959964, 5e-7);
  EXPECT_LT(std::fabs(zprobit(0.5)), 1e-16);
  EXPECT_NEAR(zprobit(0.0), -37.64030867, 1e-8);
  EXPECT_EQ(zprobit(1.0), 7.941345326170997);
  EXPECT_TRUE(is_missing(zprobit(-0.1)));
  EXPECT_TRUE(is_missing(zprobit(1.5)));
  EXPECT_TRUE(is_missing(zprobit(missing_value())));
}

TEST(MillsRatio, AgreesWithTheReferenceOnBothPaths) {
  ref::Worst worst("zmillsr relative error, -10 <= x <= 40", 1e-15);
  for (double x = -10; x <= 40; x += 0.00371) {
    double ratio;
    ASSERT_EQ(zmillsr(x, &ratio), 0) << x;
    // (1 - Phi(x)) / phi(x) = sqrt(pi/2) exp(x^2/2) erfc(x/sqrt(2)).
    const Ld lx = x;
    const Ld want = std::sqrt(std::numbers::pi_v<Ld> / 2) * std::exp(lx * lx / 2) *
                    ref::erfc(lx / std::sqrt(2.0L));
    worst.add(ref::relative_error(ratio, want) / (1 + (x < 5 ? x * x : 0)), ref::at(x));
  }
  // Below -10 the ratio is taken as 1/phi(x): 1 - Phi(-11) is 1 in double.
  double ratio;
  EXPECT_EQ(zmillsr(-11.0, &ratio), 0);
  EXPECT_EQ(ratio, std::exp(0.9189385332046728 + 60.5));
  // Near 0 the fraction converges too slowly for its 100 convergents.
  EXPECT_EQ(zcnfmill(0.5, &ratio), 1);
  // A missing argument comes back missing.
  double lpl, lpr, ldens;
  EXPECT_EQ(zmillsr(missing_value(), &ratio), 0);
  EXPECT_TRUE(is_missing(ratio));
  EXPECT_EQ(zcnfmill(missing_value(), &ratio), 0);
  EXPECT_TRUE(is_missing(ratio));
  EXPECT_EQ(zlognrm(missing_value(), &lpl, &lpr, &ldens), 0);
  EXPECT_TRUE(is_missing(lpl) && is_missing(lpr) && is_missing(ldens));
}

// ln of the normal tail beyond |x|: through erfc in long double, and from
// |x| = 100 on, where erfc underflows even there, as ln phi(x) plus the log
// of the Mills ratio's asymptotic series 1/x (1 - 1/x^2 + 3/x^4 - ...).
Ld log_far_tail(Ld x) {
  x = std::fabs(x);
  if (x < 100) return std::log(ref::erfc(x / std::sqrt(2.0L)) / 2);
  Ld sum = 1, term = 1;
  for (int k = 1; k <= 10; ++k) sum += term *= -(2 * k - 1) / (x * x);
  return -x * x / 2 - 0.918938533204672741780L - std::log(x) + std::log(sum);
}

TEST(LogNormalTails, AgreeWithTheReference) {
  ref::Worst logs("zlognrm ln phi and ln of the far tail, relative error", 1e-14);
  // ln of the near tail is about minus the far tail, whose rounding grows
  // like x^2 ulps, as the normal cdf's does.
  ref::Worst near_tail("zlognrm ln of the near tail, relative error / (1 + x^2)", 5e-16);
  for (double x = -200; x <= 200; x += 0.0913) {
    double lpl, lpr, ldens;
    ASSERT_EQ(zlognrm(x, &lpl, &lpr, &ldens), 0);
    const Ld lx = x, far = log_far_tail(lx), near = std::log1p(-std::exp(far));
    logs.add(ref::relative_error(x <= 0 ? lpl : lpr, far), ref::at(x));
    logs.add(ref::relative_error(ldens, -lx * lx / 2 - 0.918938533204672741780L), ref::at(x));
    // Below the double range only an underflow to about 0 can be asked for.
    const double got = x <= 0 ? lpr : lpl;
    if (std::fabs(near) < 1e-300L) EXPECT_LT(std::fabs(got), 1e-300) << ref::at(x);
    else near_tail.add(ref::relative_error(got, near) / (1 + x * x), ref::at(x));
  }
}

}  // namespace
