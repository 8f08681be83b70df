// When a fit stops and what it reports: the iterations at which
// CONVERGEOBJ= and CONVERGEPARM= stop (recomputed from the ITER rows), the
// warning statuses of the ConvergenceStatus table, return codes
// across BY groups, a covariance that cannot be formed, the note of a run
// that stopped with too few observations, a covariance that is not positive
// semi-definite or could not be checked, and the modified Cholesky check
// against a factor formed here and as the stand-alone CheckEigVals.
#include <algorithm>
#include <functional>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "host/missing.h"
#include "platform/pool.h"
#include "procedure/convergence_status.h"
#include "procedure/estimation_parts.h"
#include "estimation_fixture.h"

namespace {

using procedure_test::EstimationTest;
using procedure_test::Row;

class ConvergenceTest : public EstimationTest {
 protected:
  ConvergenceTest() {
    write_file("d.csv", "x,y\n1,1.9\n2,1.1\n3,0.62\n4,0.41\n5,0.27\n6,0.13\n");
  }
  static constexpr const char* kModel = "; parms a=1 b=0.1; model y = a*exp(-b*x);";
};

// The first iteration k >= 1 at which `done(k)` holds.
int first_iteration(const std::vector<Row>& iters, const std::function<bool(std::size_t)>& done) {
  for (std::size_t k = 1; k < iters.size(); ++k)
    if (done(k)) return static_cast<int>(k);
  return -1;
}

// Relative in the objective's own unit: responses in millionths (sums of
// squares near 1e-13) stop at the same iteration and the same estimates.
TEST_F(ConvergenceTest, ConvergeobjStopsAtTheFirstSmallRelativeChangeOfTheObjective) {
  std::vector<double> estimates;
  for (const double scale : {1.0, 1e-6}) {
    std::ostringstream csv;
    csv.precision(17);
    csv << "x,y\n";
    for (const auto& [x, y] : {std::pair{1, 1.9}, {2, 1.1}, {3, 0.62}, {4, 0.41}, {5, 0.27}, {6, 0.13}})
      csv << x << ',' << y * scale << '\n';
    write_file("d.csv", csv.str());
    ASSERT_EQ(run("proc ruva data=d outest=est convergeobj=1e-9 maxiter=200; parms a=" + std::to_string(scale) +
                  " b=0.1; model y = a*exp(-b*x);"),
              0)
        << log_text();
    const auto iters = rows_of("est", "ITER");
    ASSERT_GT(iters.size(), 3u);
    const int k = first_iteration(iters, [&](std::size_t i) {
      const double f = number(iters[i], "_SSE_"), f0 = number(iters[i - 1], "_SSE_");
      return std::fabs(f - f0) / std::fabs(f0) < 1e-9;
    });
    EXPECT_EQ(k, static_cast<int>(iters.size()) - 1) << scale;
    EXPECT_EQ(rows_of("est", "FINAL").size(), 1u);
    estimates.push_back(number(rows_of("est", "FINAL")[0], "b"));
  }
  EXPECT_NEAR(estimates[1], estimates[0], 1e-9);
}

TEST_F(ConvergenceTest, ConvergeparmStopsAtTheFirstSmallRelativeChangeOfEveryParameter) {
  ASSERT_EQ(run(std::string("proc ruva data=d outest=est convergeparm=1e-3 maxiter=200") + kModel), 0) << log_text();
  const auto iters = rows_of("est", "ITER");
  ASSERT_GT(iters.size(), 3u);
  const int k = first_iteration(iters, [&](std::size_t i) {
    for (const char* p : {"a", "b"}) {
      const double v = number(iters[i], p), v0 = number(iters[i - 1], p);
      if (std::fabs((v - v0) / (v0 != 0 ? v0 : 1.0)) > 1e-3) return false;
    }
    return true;
  });
  EXPECT_EQ(k, static_cast<int>(iters.size()) - 1);
}

TEST_F(ConvergenceTest, AWarningInTheSetUpOrTheGroupGivesStatusTwo) {
  // A parameter named like a variable of the data set: a warning of the set-up.
  write_file("v.csv", "x,y,b\n1,1.9,0\n2,1.1,0\n3,0.62,0\n4,0.41,0\n");
  ASSERT_EQ(run(std::string("proc ruva data=v") + kModel), 4) << log_text();
  EXPECT_EQ(statuses().back(), std::make_pair(2, message(117)));
  // The same warning with BY groups: each group's status names the set-up.
  write_file("v.csv", "k,x,y,b\n1,1,1.9,0\n1,2,1.1,0\n1,3,0.62,0\n2,1,2,0\n2,2,1.2,0\n2,3,0.7,0\n");
  json_.str("");
  ASSERT_EQ(run(std::string("proc ruva data=v; by k") + kModel), 4) << log_text();
  EXPECT_EQ(statuses(), (std::vector<std::pair<int, std::string>>(2, {2, message(118)})));
  // A grid point outside the bounds: a warning of the BY group.
  write_file("g.csv", "k,x,y\n1,1,1.9\n1,2,1.1\n1,3,0.62\n");
  json_.str("");
  ASSERT_EQ(run("proc ruva data=g; by k; parms a = 1 9 b=0.5; bounds a < 5; model y = a*exp(-b*x);"), 4)
      << log_text();
  EXPECT_EQ(statuses().back(), std::make_pair(2, message(119)));
}

TEST_F(ConvergenceTest, ASingularParameterGivesAWarningStatus) {
  write_file("s.csv", "x,y,z\n1,1.9,0\n2,1.1,0\n3,0.62,0\n4,0.41,0\n");
  ASSERT_EQ(run("proc ruva data=s; parms a=1 b=0.1 c=1; model y = a*exp(-b*x) + c*z;"), 0) << log_text();
  EXPECT_EQ(statuses().back(), std::make_pair(1, message(109)));
}

// Puromycin (treated) with the rate and Vm scaled by 10^e: the same relative
// estimates from 10^-150 to 10^148 (K's derivative is Vm times a number near
// 1, so Vm and K differ in scale by up to 10^150), by Gauss-Newton and
// Marquardt steps. Below, the squared responses underflow: a warning and no
// fit, never convergence at the start.
TEST_F(ConvergenceTest, ScaledResponsesGiveTheSameRelativeEstimatesOrAWarning) {
  const double conc[] = {0.02, 0.02, 0.06, 0.06, 0.11, 0.11, 0.22, 0.22, 0.56, 0.56, 1.1, 1.1};
  const double rate[] = {76, 47, 97, 107, 123, 139, 159, 152, 191, 201, 207, 200};
  auto fit = [&](int e, const char* method) {
    const double s = std::pow(10.0, e);
    std::string csv = "conc,rate\n";
    char line[80];
    for (int i = 0; i < 12; ++i) {
      std::snprintf(line, sizeof line, "%.17g,%.17g\n", conc[i], rate[i] * s);
      csv += line;
    }
    write_file("p.csv", csv);
    std::snprintf(line, sizeof line, "%.17g", 200 * s);
    return run(std::string("proc ruva data=p outest=est method=") + method + "; parms Vm=" + line +
               " K=0.1; model rate = Vm*conc/(K+conc);");
  };
  for (const char* method : {"gauss", "marquardt"}) {
    ASSERT_EQ(fit(0, method), 0) << log_text();
    const Row ref = rows_of("est", "FINAL").at(0);
    for (int e : {148, 100, 60, -80, -140, -150}) {
      ASSERT_EQ(fit(e, method), 0) << e << log_text();
      const Row got = rows_of("est", "FINAL").at(0);
      EXPECT_NEAR(number(got, "Vm") / std::pow(10.0, e), number(ref, "Vm"), 1e-6) << method << e;
      EXPECT_NEAR(number(got, "K"), number(ref, "K"), 1e-9) << method << e;
    }
    for (int e : {-160, -170}) {
      EXPECT_EQ(fit(e, method), 4) << e << log_text();
      EXPECT_EQ(logged(980), 1) << e << log_text();
      EXPECT_NE(log_text().find("responses of the data sum to"), std::string::npos) << log_text();
      EXPECT_EQ(logged(20), 0) << e << log_text();
      EXPECT_TRUE(rows_of("est", "FINAL").empty()) << e;
    }
  }
}

// Each group starts from return code 0; the step ends with the largest.
// The second group has no usable observation and gets no fit.
TEST_F(ConvergenceTest, ReturnCodesAcrossByGroups) {
  write_file("g.csv", "k,x,y\n1,1,1.9\n1,2,1.1\n1,3,0.62\n2,1,.\n2,2,.\n3,1,2\n3,2,1.2\n3,3,0.7\n");
  ASSERT_EQ(run("proc ruva data=g outest=est; by k; parms a=1 b=0.1; model y = a*exp(-b*x);"), 4)
      << log_text();
  const auto s = statuses();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].first, 0);
  EXPECT_EQ(s[1].first, 0);
  EXPECT_EQ(logged(19), 1);
  EXPECT_NE(log_text().find("observation of the BY group k=2, so no fit"), std::string::npos) << log_text();
  const auto final = rows_of("est", "FINAL");
  ASSERT_EQ(final.size(), 2u);
  EXPECT_EQ(final[0].at("k"), "1");
  EXPECT_EQ(final[1].at("k"), "3");
  EXPECT_EQ(context()->rc, 4);
}

// Group 1 leaves b undetermined (z is 0 there); group 2, with K ten times
// as large, needs more than MAXITER=3 iterations from the same start.
// Every note and warning of a group's fit names that group, while the
// ConvergenceStatus table under the group's BY line gives the bare reason.
TEST_F(ConvergenceTest, TheMessagesOfAByGroupNameIt) {
  const double conc[12] = {0.02, 0.02, 0.06, 0.06, 0.11, 0.11, 0.22, 0.22, 0.56, 0.56, 1.10, 1.10};
  const int rate[12] = {76, 47, 97, 107, 123, 139, 159, 152, 191, 201, 207, 200};
  std::string csv = "g,conc,z,rate\n";
  for (int g = 1; g <= 2; ++g)
    for (int i = 0; i < 12; ++i)
      csv += std::to_string(g) + "," + std::to_string(conc[i] * (g == 1 ? 1 : 10)) + "," +
             std::to_string(g == 1 ? 0 : i % 3) + "," + std::to_string(rate[i]) + "\n";
  write_file("g.csv", csv);
  ASSERT_EQ(run("proc ruva data=g maxiter=3; by g; parms Vm=212 K=0.064 b=0; model rate = Vm*conc/(K+conc) + b*z;"),
            4)
      << log_text();
  const std::string log = log_text();
  for (const char* line : {"NOTE: Convergence criterion met in the BY group g=1.\n",
                           "NOTE: Some parameters are linearly dependent on others in the BY group g=1: ",
                           "NOTE: The iterations in the BY group g=2 reached the MAXITER= limit ",
                           "WARNING: The iterations did not converge in the BY group g=2.\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    const bool of_the_step = line.find("DER.") != std::string::npos || line.find("Return codes") != std::string::npos;
    if (!of_the_step) {
      EXPECT_NE(line.find(" the BY group g="), std::string::npos) << line;
    }
  }
  EXPECT_EQ(statuses().back(), std::make_pair(3, std::string("The iterations did not converge.")));
}

// The constrained covariance could not be formed: no standard error may be
// shown, and the fit says so.
TEST_F(ConvergenceTest, ACovarianceThatCannotBeFormedIsNotAvailable) {
  COV_CHECK_STATUS cs = COV_PSD;
  std::vector<double> xpx;
  int rc = 0;
  ASSERT_EQ(run_and_inspect(std::string("proc ruva data=d") + kModel, procedure_test::fit_first_group_body,
                            [&](RUVACOM* ctx) {
                              mark_covariance_unavailable(ctx);
                              cs = converge_tab(ctx, 1);
                              xpx.assign(ctx->xpx, ctx->xpx + 3);
                              rc = ctx->rcby;
                            }),
            4)
      << log_text();
  EXPECT_EQ(cs, COV_SING);
  for (double v : xpx) EXPECT_TRUE(wzmis(v));
  EXPECT_EQ(rc, 4);
  EXPECT_EQ(logged(820), 1);
}

// Two usable observations for three parameters: a run that stops says
// how many it had, in the listing and the log, unless NOPRINT.
TEST_F(ConvergenceTest, AStoppedRunWithTooFewObservationsSaysHowMany) {
  write_file("d.csv", "x,y\n1,1.9\n2,.\n3,0.62\n4,.\n");
  const std::string program = "; parms a=1 b=0.1 c=0; model y = a*exp(-b*x) + c;";
  ASSERT_EQ(run("proc ruva data=d maxiter=1" + program), 4) << log_text();
  const std::string note = "Only 2 observations could be used for 3 parameters.";
  EXPECT_NE(log_text().find("NOTE: " + note), std::string::npos) << log_text();
  EXPECT_NE(listing_.str().find(note), std::string::npos);
  listing_.str("");
  ASSERT_EQ(run("proc ruva data=d maxiter=1 noprint" + program), 4) << log_text();
  EXPECT_EQ(log_text().find(note), std::string::npos);
  EXPECT_EQ(listing_.str().find(note), std::string::npos);
}

// NEWTON with G4 inverts the full Hessian of the SSE as it is. At a start
// where that Hessian (in closed form here) is indefinite the covariance
// fails the check with a warning; where it is positive definite it passes.
// Without room for the check the covariance is not known to be usable.
TEST_F(ConvergenceTest, AnIndefiniteHessianGivesACovarianceThatIsNotPositiveSemiDefinite) {
  const double x[6] = {1, 2, 3, 4, 5, 6}, y[6] = {1.9, 1.1, 0.62, 0.41, 0.27, 0.13};
  auto determinant = [&](double a, double b) {
    double saa = 0, sab = 0, sbb = 0;
    for (int i = 0; i < 6; ++i) {
      const double e = std::exp(-b * x[i]), r = y[i] - a * e;
      saa += e * e, sab += r * x[i] * e - a * x[i] * e * e, sbb += a * a * x[i] * x[i] * e * e - r * a * x[i] * x[i] * e;
    }
    return saa * sbb - sab * sab;
  };
  const std::pair<const char*, bool> starts[] = {{"a=0.5 b=2", false}, {"a=3 b=0.5", true}};
  for (const auto& [start, definite] : starts) {
    ASSERT_EQ(determinant(std::atof(start + 2), std::atof(std::strchr(start, 'b') + 2)) > 0, definite);
    EXPECT_EQ(run(std::string("proc ruva data=d method=newton g4 maxiter=0; parms ") + start +
                  "; model y = a*exp(-b*x);"),
              4)
        << log_text();
    EXPECT_EQ(logged(133), definite ? 0 : 1) << start << log_text();
  }
  COV_CHECK_STATUS cs = COV_PSD;
  ASSERT_EQ(run_and_inspect(std::string("proc ruva data=d") + kModel, procedure_test::fit_first_group_body,
                            [&](RUVACOM* ctx) {
                              platform::Pool& pool = platform::Host::current().task_pool();
                              pool.set_budget(pool.bytes_held() + 1);
                              cs = converge_tab(ctx, 1);
                              pool.set_budget(0);
                              platform::take_memory_shortage();
                            }),
            0)
      << log_text();
  EXPECT_EQ(cs, COV_NOT_PSD);
}

// No point satisfies a < b and b < a: the iterations stop before any pass,
// so the note is the bounds', with no count of usable observations.
TEST_F(ConvergenceTest, BoundsThatNoStartSatisfiesStopTheIterations) {
  ASSERT_EQ(run("proc ruva data=d; parms a=1 b=0.1; bounds a < b, b < a; model y = a*exp(-b*x);"), 4) << log_text();
  EXPECT_EQ(logged(83), 1) << log_text();
  EXPECT_EQ(logged(67), 0) << log_text();
  EXPECT_EQ(statuses().back(), std::make_pair(3, std::string("The iterations did not converge.")));
}

// The stand-alone check of the covariance: the inverse of a fit passes, a
// matrix with a negative eigenvalue fails; neither is logged or raises the
// return code, and the matrix is left as it was.
TEST_F(ConvergenceTest, CheckEigValsTellsAnIndefiniteMatrix) {
  std::vector<int> checks;
  std::vector<double> before, after;
  int rc = -1;
  ASSERT_EQ(run_and_inspect(std::string("proc ruva data=d") + kModel, procedure_test::fit_first_group_body,
                            [&](RUVACOM* ctx) {
                              checks.push_back(CheckEigVals(ctx));
                              const double indefinite[3] = {1, 2, 1};  // eigenvalues 3 and -1
                              std::copy(indefinite, indefinite + 3, ctx->xpx);
                              before.assign(ctx->xpx, ctx->xpx + 3);
                              checks.push_back(CheckEigVals(ctx));
                              after.assign(ctx->xpx, ctx->xpx + 3);
                              rc = ctx->rcby;
                            }),
            0)
      << log_text();
  EXPECT_EQ(checks, (std::vector<int>{0, 1}));
  EXPECT_EQ(after, before);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(logged(133), 0);
}

// BOD (six observations of oxygen demand by time). Its least-squares
// minimum, from R's nls (tol = 1e-9, start a = 19, b = 0.5).
class BodTest : public EstimationTest {
 protected:
  BodTest() { write_file("bod.csv", "time,demand\n1,8.3\n2,10.3\n3,19\n4,16\n5,15.6\n7,19.8\n"); }
  static constexpr double kA = 19.142575309842, kB = 0.531091374558, kSse = 25.9902672819;
  static constexpr const char* kModel = " model demand = a*(1-exp(-b*time));";
  // A fact of the last Estimation Summary.
  nlohmann::json fact(const std::string& label) const {
    const auto summaries = tables("EstSummary");
    for (const auto& row : summaries.back()["rows"])
      if (row[0] == label) return row[1];
    return nullptr;
  }
};

// From a start below b >= 0.125 the first step runs along the bound to
// a = 39.35, whose multiplier (-174) says it should be released. The next
// step, below the objective's rounding, leaves the parameters where they
// are: no change between iterates, yet no convergence. Every criterion
// and method reaches the minimum, with the set-up's warning (status 2).
TEST_F(BodTest, AnIterationThatDidNotMoveIsNoConvergence) {
  for (const char* method : {"gauss", "newton", "marquardt"})
    for (const char* criterion : {"convergeparm=1e-6", "convergeobj=1e-8", ""}) {
      const std::string how = std::string(method) + " " + criterion;
      ASSERT_EQ(run("proc ruva data=bod outest=est method=" + how +
                    "; parms a=17.89 b=0.0646; bounds b >= 0.125;" + kModel),
                4)
          << log_text();
      EXPECT_EQ(statuses().back().first, 2) << how;
      const Row final = rows_of("est", "FINAL").at(0);
      EXPECT_NEAR(number(final, "a"), kA, 1e-4) << how;
      EXPECT_NEAR(number(final, "b"), kB, 1e-5) << how;
      EXPECT_NEAR(number(final, "_SSE_"), kSse, 1e-6) << how;
    }
}

// From starts above b <= c, c above the minimum's b, the start is moved
// onto the bound, which an iteration releases while it moves the
// parameters by no more than rounding: that change between iterates says
// nothing of the step along the freed direction, still to be taken.
TEST_F(BodTest, AnIterationThatReleasesABoundIsNoConvergence) {
  for (const char* fit : {"method=marquardt convergeobj=1e-8; parms a=35.76 b=0.8339; bounds b <= 0.5886;",
                          "method=marquardt convergeobj=1e-8; parms a=39.05 b=2.548; bounds b <= 1.092;",
                          "method=newton convergeparm=1e-6; parms a=22.75 b=1.526; bounds b <= 0.8925;"}) {
    run(std::string("proc ruva data=bod outest=est ") + fit + kModel);
    EXPECT_NEAR(number(rows_of("est", "FINAL").at(0), "_SSE_"), kSse, 1e-6) << fit;
  }
}

// At b of 25 and more exp(-b*time) vanishes on the data, and so does the
// gradient in b, while a reaches its best value for that b (SSE 107.21,
// not the minimum 25.99). GRADIENT's own measure is then below CONVERGE=;
// the relative offset there, sqrt(r'P r / r'r) with P the projection on
// the columns of J (0.6911957 by R's qr at a = 14.8333, b = 50, 40 or 25),
// is not: no convergence, as GAUSS reports, also where CONVERGEPARM=
// stopped the short steps. With a held at 10 by its
// bound, the offset along b alone: |r'J_b| / sqrt(J_b'J_b r'r) = 0.108085.
TEST_F(BodTest, GradientStoppedOnAPlateauHasNotConverged) {
  const std::pair<const char*, const char*> fits[] = {{"; parms a=20 b=50;", "0.691196"},
                                                      {"; parms a=5 b=40;", "0.691196"},
                                                      {"; parms a=16 b=25;", "0.691196"},
                                                      {" convergeparm=1e-6; parms a=20 b=50;", "0.691196"},
                                                      {"; parms a=9 b=50; bounds a <= 10;", "0.108085"}};
  for (const auto& [start, offset] : fits) {
    ASSERT_EQ(run(std::string("proc ruva data=bod method=gradient") + start + kModel), 4) << log_text();
    EXPECT_EQ(statuses().back().first, 3) << start;
    EXPECT_EQ(logged(1063), 1) << start;
    EXPECT_NE(log_text().find(std::string("R there is ") + offset + ","), std::string::npos) << log_text();
    EXPECT_GT(fact("Objective").get<double>(), kSse + 80) << start;
  }
}

// NEWTON stops on the same plateau with b left where it is: the Hessian
// curves down along b by the residuals' weight on its second derivatives,
// while b's derivatives (some 1e-21) all but vanish from J'WJ. J'WJ formed
// again as the Hessian plus those terms lost them to cancellation, and b
// passed for undetermined in a converged fit.
TEST_F(BodTest, NewtonStoppedOnAPlateauHasNotConverged) {
  ASSERT_EQ(run(std::string("proc ruva data=bod method=newton; parms a=20 b=50;") + kModel), 4) << log_text();
  EXPECT_EQ(statuses().back().first, 3);
  EXPECT_EQ(logged(1062), 1);
  EXPECT_GT(fact("Objective").get<double>(), kSse + 80);
}

// The iteration at which CONVERGEOBJ=, CONVERGEPARM= or both (recomputed
// from the ITER rows) stop the fit, and the relative change of the
// objective there in the Estimation Summary.
TEST_F(BodTest, CallersCriteriaStopWhereTheyHoldAndShowTheObjectsChange) {
  for (const char* criteria : {"convergeobj=0.1 convergeparm=0.1", "convergeobj=0.1", "convergeparm=0.1"}) {
    const std::string c = criteria;
    ASSERT_EQ(run("proc ruva data=bod outest=est " + c + "; parms a=10 b=3;" + kModel), 0) << log_text();
    const auto iters = rows_of("est", "ITER");
    auto change = [&](std::size_t i, const char* v) {
      return std::fabs(number(iters[i], v) / number(iters[i - 1], v) - 1);
    };
    const int k = first_iteration(iters, [&](std::size_t i) {
      const bool objective = c.find("obj") == std::string::npos || change(i, "_SSE_") < 0.1;
      const bool parms = c.find("parm") == std::string::npos || (change(i, "a") < 0.1 && change(i, "b") < 0.1);
      return objective && parms;
    });
    ASSERT_EQ(k, static_cast<int>(iters.size()) - 1) << c;
    EXPECT_NEAR(fact("Object").get<double>(), change(k, "_SSE_"), 1e-9) << c;
  }
}

// An iteration that finds no step (the plateau at b = 50) counts its
// retries: MAXSUBIT= of them, by step halving or by Marquardt's ridge.
TEST_F(BodTest, AnIterationWithoutAStepCountsMaxsubitRetries) {
  for (const char* method : {"marquardt", "gauss"})
    for (int k : {1, 2, 5}) {
      run(std::string("proc ruva data=bod method=") + method + " maxsubit=" + std::to_string(k) +
          "; parms a=20 b=50;" + kModel);
      EXPECT_EQ(fact("Subiterations"), k) << method << k;
    }
}

// Row by row the factor of a positive definite matrix, and the first
// clearly negative pivot of an indefinite one.
TEST(ModifiedCholesky, FactorsRowByRowAndStopsAtANegativePivot) {
  // A = L L' with L = [2 0 0; 1 3 0; -1 2 1].
  double a[6] = {4, 2, 10, -2, 5, 6};
  const double l[6] = {2, 1, 3, -1, 2, 1};
  for (int k = 0; k < 3; ++k) {
    const double pivot = ModChol(k, a, 1e-12);
    EXPECT_NEAR(pivot, l[k * (k + 1) / 2 + k] * l[k * (k + 1) / 2 + k], 1e-12);
  }
  for (int k = 0; k < 6; ++k) EXPECT_NEAR(a[k], l[k], 1e-12);
  double b[3] = {1, 2, 1};  // [1 2; 2 1]: eigenvalues 3 and -1
  EXPECT_EQ(ModChol(0, b, 1e-12), 1);
  EXPECT_NEAR(ModChol(1, b, 1e-12), -3, 1e-12);
  // A pivot within the tolerance counts as zero.
  double c[3] = {1, 1, 1 + 1e-14};
  ModChol(0, c, 1e-12);
  ModChol(1, c, 1e-12);
  EXPECT_EQ(c[2], 0);
}

}  // namespace
