// Profiling and the jackknife through real programs: the PROFDATA= rows
// against closed forms for a model linear in its parameters, and profile
// intervals against published references.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "results/fit_fixture.h"
#include "support/nist_problem.h"

namespace {

using procedure_test::Row;
using results_test::Json;

// Two BY groups of a weighted straight line.
struct Obs {
  int g;
  double x, y, w;
};
const std::vector<Obs> kLine = {{1, 1, 2.1, 1},  {1, 2, 3.9, 2},   {1, 3, 6.2, 1},  {1, 4, 7.8, 0.5},
                                {1, 5, 10.4, 1}, {1, 6, 11.7, 2},  {1, 7, 14.5, 1}, {2, 1, -0.8, 1},
                                {2, 2, -3.1, 3}, {2, 2.5, NAN, 1}, {2, 3, -4.9, 1},  {2, 4, -7.2, 1}, {2, 5, -8.8, 0.5},
                                {2, 6, -11.3, 1}};

std::string line_csv(double scale = 1) {
  std::ostringstream out;
  out.precision(17);
  out << "g,x,y,w\n";
  for (const Obs& o : kLine) {
    out << o.g << ',' << o.x << ',';
    (std::isnan(o.y) ? out << '.' : out << o.y * scale) << ',' << o.w << '\n';
  }
  return out.str();
}

// Weighted least squares of y on (1, x) in closed form, with the
// deletion estimates b(-i) = b - (X'WX)^-1 x_i w_i e_i / (1 - h_i); an
// observation without a response is not used but keeps its number.
struct LineFit {
  double a = 0, b = 0, inv[2][2] = {};
  std::vector<std::pair<double, double>> deleted;
  std::vector<double> numbers;  // of the used observations within the group
};

LineFit closed_form(int group) {
  double s[2][2] = {}, r[2] = {};
  std::vector<Obs> obs;
  LineFit f;
  int number = 0;
  for (const Obs& o : kLine) {
    if (o.g != group) continue;
    ++number;
    if (std::isnan(o.y)) continue;
    f.numbers.push_back(number);
    obs.push_back(o);
  }
  for (const Obs& o : obs) {
    s[0][0] += o.w, s[0][1] += o.w * o.x, s[1][1] += o.w * o.x * o.x;
    r[0] += o.w * o.y, r[1] += o.w * o.x * o.y;
  }
  const double det = s[0][0] * s[1][1] - s[0][1] * s[0][1];
  f.inv[0][0] = s[1][1] / det, f.inv[1][1] = s[0][0] / det, f.inv[0][1] = f.inv[1][0] = -s[0][1] / det;
  f.a = f.inv[0][0] * r[0] + f.inv[0][1] * r[1];
  f.b = f.inv[1][0] * r[0] + f.inv[1][1] * r[1];
  for (const Obs& o : obs) {
    const double u0 = f.inv[0][0] + f.inv[0][1] * o.x, u1 = f.inv[1][0] + f.inv[1][1] * o.x;
    const double h = o.w * (u0 + u1 * o.x), e = o.y - f.a - f.b * o.x;
    f.deleted.emplace_back(f.a - u0 * o.w * e / (1 - h), f.b - u1 * o.w * e / (1 - h));
  }
  return f;
}

class ProfilingTest : public results_test::FitTest {
 protected:
  std::string profdata_text() const {
    std::ifstream in(dir_ / "pd.csv");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

// Linear in its parameters: each profile refit fixes one parameter and the
// other's least-squares value follows, so the likelihood-ratio pivot equals
// the Wald pivot; each BY group sees only its own observations; the output
// does not depend on the engine's threads.
TEST_F(ProfilingTest, LinearModelPivotsJackknifeAndThreads) {
  std::string by_threads[2];
  for (int k = 0; k < 2; ++k) {
    ASSERT_EQ(fit(line_csv(), std::string("proc ruva data=d nthreads=") + (k ? "8" : "1") +
                                  "; by g; parms a=0 b=1; _weight_ = w; model y = a + b*x;"
                                  " profile a b / all profdata=pd;"),
              0)
        << log_text();
    by_threads[k] = profdata_text();
  }
  EXPECT_EQ(by_threads[0], by_threads[1]);
  const std::vector<Row> rows = read_rows("pd");
  std::size_t at = 0;
  for (int group = 1; group <= 2; ++group) {
    SCOPED_TRACE(group);
    const LineFit f = closed_form(group);
    ASSERT_LT(at, rows.size());
    EXPECT_EQ(rows[at].at("_TYPE_"), "REF");
    EXPECT_NEAR(number(rows[at], "a"), f.a, 1e-7);
    EXPECT_NEAR(number(rows[at], "b"), f.b, 1e-7);
    ++at;
    for (const std::string parm : {"a", "b"}) {
      for (int i = 0; i <= 20; ++i, ++at) {
        ASSERT_LT(at, rows.size());
        const Row& r = rows[at];
        EXPECT_EQ(r.at("_TYPE_"), "PROF");
        EXPECT_EQ(r.at("_PROF_PARM_"), parm);
        EXPECT_NEAR(number(r, "_WSTAT_"), -2 + 0.2 * i, 1e-12);
        EXPECT_NEAR(number(r, "_LSTAT_"), number(r, "_WSTAT_"), 1e-8);
        EXPECT_TRUE(std::isnan(number(r, "_OBS_INF_MEAS_")));
      }
    }
    for (std::size_t i = 0; i < f.deleted.size(); ++i, ++at) {
      ASSERT_LT(at, rows.size());
      const Row& r = rows[at];
      EXPECT_EQ(r.at("_TYPE_"), "JACK");
      EXPECT_EQ(number(r, "_OBS_INF_MEAS_"), f.numbers[i]);
      EXPECT_TRUE(std::isnan(number(r, "_LSTAT_")));
      EXPECT_NEAR(number(r, "a"), f.deleted[i].first, 1e-7);
      EXPECT_NEAR(number(r, "b"), f.deleted[i].second, 1e-7);
    }
  }
  EXPECT_EQ(at, rows.size());
  // The last run's tables, per group: profiles of a and b, then their jackknife.
  const auto all = tables("ProfileJackknifeOutputStatistics");
  ASSERT_EQ(all.size(), 16u);
  // The percentage change is absolute, and its label (the jackknife plot's axis) says so.
  EXPECT_EQ(all[0]["columns"][7]["label"], "Absolute percentage change of the parameter");
  for (int group = 1; group <= 2; ++group) {
    const LineFit f = closed_form(group);
    for (int k = 0; k < 4; ++k) {
      const auto& t = all[8 + 4 * (group - 1) + k];
      SCOPED_TRACE(t["path"].dump());
      EXPECT_EQ(t["by"]["g"], group);
      const bool jack = k >= 2, is_a = k % 2 == 0;
      const double b = is_a ? f.a : f.b;
      ASSERT_EQ(t["rows"].size(), jack ? f.deleted.size() : 21u);
      for (std::size_t i = 0; i < t["rows"].size(); ++i) {
        const double value = number(t, i, "ParameterValue");
        EXPECT_EQ(number(t, i, "StatType"), jack ? 2 : 1);
        EXPECT_EQ(number(t, i, "Observation"), jack ? f.numbers[i] : -1.0);
        EXPECT_NEAR(number(t, i, "ReferenceParameterValue"), b, 1e-7);
        EXPECT_NEAR(number(t, i, "ParameterPercentageChange"), std::fabs((value - b) / b) * 100, 1e-7);
        if (jack) {
          EXPECT_NEAR(value, is_a ? f.deleted[i].first : f.deleted[i].second, 1e-7);
          EXPECT_TRUE(cell(t, i, "xValue").is_null());
          continue;
        }
        EXPECT_NEAR(number(t, i, "xValue"), std::fabs(number(t, i, "WaldPivotalStat")), 1e-8);
        EXPECT_NEAR(number(t, i, "UWaldValue"), b + std::fabs(value - b), 1e-7);
        EXPECT_NEAR(number(t, i, "LWaldValue"), b - std::fabs(value - b), 1e-7);
      }
    }
  }
}

// Two PROFILE statements naming one PROFDATA= data set write their refits
// to it, the profile of a and the jackknife of both (the closed-form
// deletion estimates); another option naming it is still refused.
TEST_F(ProfilingTest, StatementsNamingOneProfileDataSetShareIt) {
  ASSERT_EQ(fit(line_csv(), "proc ruva data=d; by g; parms a=0 b=1; _weight_ = w; model y = a + b*x;"
                            " profile a / range=-1 to 1 by 1 profdata=pd; profile / jackknife profdata=pd;"),
            0)
      << log_text();
  EXPECT_EQ(rows_of("pd", "REF").size(), 2u);
  EXPECT_EQ(rows_of("pd", "PROF").size(), 2u * 3);
  const std::vector<Row> jack = rows_of("pd", "JACK");
  std::size_t at = 0;
  for (int group = 1; group <= 2; ++group)
    for (const auto& [a, b] : closed_form(group).deleted) {
      ASSERT_LT(at, jack.size());
      EXPECT_NEAR(number(jack[at], "a"), a, 1e-7) << at;
      EXPECT_NEAR(number(jack[at++], "b"), b, 1e-7);
    }
  EXPECT_EQ(at, jack.size());
  EXPECT_EQ(fit(line_csv(), "proc ruva data=d outest=pd; parms a=0 b=1; model y = a + b*x; profile a / profdata=pd;"),
            3000);
}

// Responses on a scale of 1e-9 (sums of squares near 1e-18): every refit
// still iterates to its minimum, as the fit does, instead of taking its
// start for a zero objective; the jackknife equals the closed form, the
// bootstrap the unscaled one's, scaled, to the refits' convergence
// criterion. Nor is an error variance near 1e-19 taken for an exact fit:
// the likelihood pivots of the straight line equal the Wald ones, and the
// bootstrap correlations are those of the unscaled data.
TEST_F(ProfilingTest, RefitsOfResponsesOnATinyScale) {
  const std::string program =
      "proc ruva data=d; by g; parms a=0 b=1; _weight_ = w; model y = a + b*x;"
      " profile a / all profdata=pd; bootstrap / seed=11 bootdata=bd bootcorr;";
  ASSERT_EQ(fit(line_csv(), program), 0) << log_text();
  const std::vector<Row> unscaled = read_rows("bd");
  constexpr double kScale = 1e-9;
  ASSERT_EQ(fit(line_csv(kScale), program), 0) << log_text();
  for (int group = 1; group <= 2; ++group) {
    const LineFit f = closed_form(group);
    std::size_t i = 0;
    for (const Row& r : rows_of("pd", "JACK")) {
      if (r.at("g") != std::to_string(group)) continue;
      ASSERT_LT(i, f.deleted.size());
      EXPECT_NEAR(number(r, "a"), kScale * f.deleted[i].first, 1e-7 * kScale) << group << ' ' << i;
      EXPECT_NEAR(number(r, "b"), kScale * f.deleted[i].second, 1e-7 * kScale) << group << ' ' << i;
      ++i;
    }
    EXPECT_EQ(i, f.deleted.size());
  }
  const std::vector<Row> profile = rows_of("pd", "PROF");
  EXPECT_EQ(profile.size(), 2u * 21);
  for (const Row& r : profile) EXPECT_NEAR(number(r, "_LSTAT_"), number(r, "_WSTAT_"), 1e-6) << r.at("_WSTAT_");
  const auto correlations = tables("BootstrapCorr");  // of both runs, by group
  ASSERT_EQ(correlations.size(), 4u);
  for (int group = 0; group < 2; ++group)
    EXPECT_NEAR(number(correlations[2 + group], 0, "b"), number(correlations[group], 0, "b"), 1e-4) << group;
  const std::vector<Row> scaled = read_rows("bd");
  ASSERT_EQ(scaled.size(), unscaled.size());
  double worst = 0;  // relative to |a| + |b|
  for (std::size_t k = 0; k < scaled.size(); ++k) {
    const double size = std::fabs(number(unscaled[k], "a")) + std::fabs(number(unscaled[k], "b"));
    for (const std::string parm : {"a", "b"})
      worst = std::max(worst, std::fabs(number(scaled[k], parm) / kScale - number(unscaled[k], parm)) / size);
  }
  EXPECT_LT(worst, 2e-5);
}

// A parameter on an active bound has no standard error and is not profiled
// in that BY group: no rows and no table of it, none left from the group
// before, and a note that says so.
TEST_F(ProfilingTest, ParameterOnABoundIsNotProfiledInItsGroup) {
  ASSERT_EQ(fit(line_csv(), "proc ruva data=d; by g; parms a=0 b=1; bounds b >= -1.5; model y = a + b*x;"
                            " profile a b / profdata=pd;"),
            0)
      << log_text();
  EXPECT_EQ(logged(449), 1);
  EXPECT_NE(log_text().find("The parameter b is not profiled in the BY group g=2: its standard error is zero (the parameter is on an active bound"),
            std::string::npos)
      << log_text();
  std::map<std::string, int> rows;
  for (const Row& r : read_rows("pd"))
    if (r.at("_TYPE_") == "PROF") ++rows[r.at("g") + r.at("_PROF_PARM_")];
  EXPECT_EQ(rows, (std::map<std::string, int>{{"1a", 21}, {"1b", 21}, {"2a", 21}}));
  std::vector<int> groups;
  for (const auto& t : tables("ProfileJackknifeOutputStatistics")) groups.push_back(t["by"]["g"]);
  EXPECT_EQ(groups, (std::vector<int>{1, 1, 2}));
}

// An active bound holds exactly in every refit (the optimiser keeps it only
// to a tolerance), so the reference refit never moves the estimates off it.
TEST_F(ProfilingTest, RefitsKeepAnActiveBoundExactly) {
  ASSERT_EQ(fit(line_csv(),
                "proc ruva data=d; by g; parms a=0 b=1; bounds b <= 1.8; _weight_ = w;"
                " model y = a + b*x; profile a / all profdata=pd;"),
            0)
      << log_text();
  int rows = 0;
  for (const Row& r : read_rows("pd")) {
    if (r.at("g") != "1") continue;
    ++rows;
    EXPECT_LE(number(r, "b"), 1.8) << r.at("_TYPE_");
    if (r.at("_TYPE_") == "REF") {
      EXPECT_EQ(r.at("b"), "1.8");
    }
  }
  EXPECT_EQ(rows, 1 + 21 + 7);
}

// A BOUNDS relation between two parameters reaches every refit as
// b - a <= 0: where it is active, the reference refit and each jackknife
// refit are the fit of y = a (1 + x), the latter without its observation,
// to the refits' convergence criterion.
TEST_F(ProfilingTest, ABoundBetweenTwoParametersHoldsInEveryRefit) {
  ASSERT_EQ(fit(line_csv(), "proc ruva data=d; by g; parms a=1 b=1; bounds b <= a; _weight_ = w;"
                            " model y = a + b*x; profile a / all profdata=pd;"),
            0)
      << log_text();
  const auto tied = [](int left_out) {
    double num = 0, den = 0;
    int i = 0;
    for (const Obs& o : kLine)
      if (o.g == 1 && i++ != left_out) num += o.w * o.y * (1 + o.x), den += o.w * (1 + o.x) * (1 + o.x);
    return num / den;
  };
  int jack = 0;
  for (const Row& r : read_rows("pd")) {
    if (r.at("g") != "1") continue;
    EXPECT_LE(number(r, "b"), number(r, "a")) << r.at("_TYPE_");
    if (r.at("_TYPE_") == "REF") {
      EXPECT_NEAR(number(r, "a"), tied(-1), 1e-6);
    }
    if (r.at("_TYPE_") != "JACK") continue;
    EXPECT_NEAR(number(r, "a"), tied(jack), 1e-6);
    EXPECT_EQ(number(r, "b"), number(r, "a"));
    ++jack;
  }
  EXPECT_EQ(jack, 7);
}

// Tree 3 of R's Orange data: nls gives Asym = 158.829417422 with standard
// error 15.0851242610, so of the values -4 to 4 by 0.5 standard errors
// those from +3 on lie beyond Asym <= 200. They are not refitted and have
// no rows (a note, no warning); at +2.5 nls with Asym held at 196.542228074
// leaves a sum of squares of 253.637134118.
TEST_F(ProfilingTest, ProfileValuesBeyondABoundHaveNoRows) {
  const std::string tree3 = "age,circumference\n118,30\n484,51\n664,75\n1004,108\n1231,115\n1372,139\n1582,140\n";
  ASSERT_EQ(fit(tree3, "proc ruva data=d; parms Asym=170 xmid=700 scal=350; bounds 0 < Asym <= 200;"
                       " model circumference = Asym/(1 + exp((xmid - age)/scal));"
                       " profile Asym / range=-4 to 4 by 0.5 profdata=pd;"),
            0)
      << log_text();
  EXPECT_EQ(logged(1028), 1) << log_text();
  const std::vector<Row> rows = rows_of("pd", "PROF");
  ASSERT_EQ(rows.size(), 14u);
  EXPECT_EQ(rows.back().at("_WSTAT_"), "2.5");
  EXPECT_NEAR(number(rows.back(), "Asym"), 196.542228074, 1e-6 * 196.5);
  EXPECT_NEAR(number(rows.back(), "_SSE_"), 253.637134118, 1e-5 * 253.6);
}

// With SIGSQ= both pivots measure in its unit: for a straight line they agree.
TEST_F(ProfilingTest, SigsqIsTheMeanSquareOfBothPivots) {
  ASSERT_EQ(fit(line_csv(),
                "proc ruva data=d sigsq=4; by g; parms a=0 b=1; _weight_ = w; model y = a + b*x;"
                " profile a b / profdata=pd;"),
            0)
      << log_text();
  const std::vector<Row> rows = rows_of("pd", "PROF");
  EXPECT_EQ(rows.size(), 2u * 2 * 21);
  for (const Row& r : rows) EXPECT_NEAR(number(r, "_LSTAT_"), number(r, "_WSTAT_"), 1e-8);
}

// UNCORRECTEDDF with the slope held at its bound: the likelihood pivot
// divides by the fit's own error mean square (the ANOVA's, on n - p
// degrees of freedom), as every other statistic does.
TEST_F(ProfilingTest, TheLikelihoodPivotUsesTheFitsErrorMeanSquare) {
  std::istringstream lines(line_csv());
  std::string csv, line;
  while (std::getline(lines, line))
    if (line[0] != '2') csv += line + "\n";
  ASSERT_EQ(fit(csv, "proc ruva data=d uncorrecteddf; parms a=0 b=1; bounds b <= 1.5;"
                            " _weight_ = w; model y = a + b*x; profile a / profdata=pd;"),
            0)
      << log_text();
  const Json anova = table("ANOVA");
  ASSERT_EQ(number(anova, 1, "DF"), 5.0);
  const double mse = number(anova, 1, "MS"), sse_ref = number(rows_of("pd", "REF").at(0), "_SSE_");
  EXPECT_NEAR(sse_ref / 5, mse, 1e-12 * mse);
  for (const Row& r : rows_of("pd", "PROF")) {
    const double x = std::sqrt(std::max(number(r, "_SSE_") - sse_ref, 0.0) / mse);
    EXPECT_NEAR(std::fabs(number(r, "_LSTAT_")), x, 1e-9 * (1 + x)) << number(r, "_WSTAT_");
  }
}

// A grid has trunc((to - from) / by + 1.00001) points: the 0.00001 absorbs
// a quotient rounded just below a whole number and adds no point past TO.
TEST_F(ProfilingTest, GridPointCount) {
  ASSERT_EQ(
      fit(line_csv(),
          "proc ruva data=d; by g; parms a=0 b=1; model y = a + b*x;"
          " profile a / range=0 to 999.995 by 1 profdata=pd; profile b / range=-2 to 2 by 0.5;"),
      0)
      << log_text();
  std::map<std::string, int> points;
  double last_a = 0;
  for (const Row& r : rows_of("pd", "PROF")) {
    if (r.at("g") != "1") continue;
    ++points[r.at("_PROF_PARM_")];
    if (r.at("_PROF_PARM_") == "a") last_a = number(r, "_WSTAT_");
  }
  EXPECT_EQ(points, (std::map<std::string, int>{{"a", 1000}, {"b", 9}}));
  EXPECT_NEAR(last_a, 999, 1e-9);
}

// The profile interval: where the likelihood-ratio pivot crosses the t
// quantile, interpolated between the grid rows on either side.
std::pair<double, double> profile_interval(const std::vector<Row>& rows, const std::string& parm, double t) {
  std::vector<std::pair<double, double>> curve;  // (pivot, value)
  for (const Row& r : rows)
    if (r.at("_TYPE_") == "PROF" && r.at("_PROF_PARM_") == parm)
      curve.emplace_back(std::stod(r.at("_LSTAT_")), std::stod(r.at(parm)));
  auto cross = [&](double level) {
    for (std::size_t i = 1; i < curve.size(); ++i) {
      const auto [l0, v0] = curve[i - 1];
      const auto [l1, v1] = curve[i];
      if ((l0 - level) * (l1 - level) <= 0) return v0 + (level - l0) / (l1 - l0) * (v1 - v0);
    }
    return std::nan("");
  };
  return {cross(-t), cross(t)};
}

std::string csv_of(const nist::Problem& p) {
  std::string out;
  for (std::size_t i = 0; i < p.variables.size(); ++i) out += (i ? "," : "") + p.variables[i];
  out += '\n';
  for (const auto& row : p.rows) {
    for (std::size_t i = 0; i < row.size(); ++i) out += (i ? "," : "") + row[i];
    out += '\n';
  }
  return out;
}

// Puromycin's profile of k in closed form: vm given k is a least-squares
// slope, so S(k) is exact; the interval ends solve S(k) = S_ref (1 + t^2 / 10).
double puromycin_sse(double k) {
  double sxy = 0, sxx = 0, syy = 0;
  for (int i = 0; i < 12; ++i) {
    const double x = results_test::kConc[i] / (k + results_test::kConc[i]), y = results_test::kRate[i];
    sxy += x * y, sxx += x * x, syy += y * y;
  }
  return syy - sxy * sxy / sxx;
}

double bisect(const std::function<double(double)>& f, double a, double b) {
  for (int i = 0; i < 200; ++i) {
    const double m = (a + b) / 2;
    (f(a) * f(m) <= 0 ? b : a) = m;
  }
  return a;
}

std::pair<double, double> puromycin_k_interval() {
  const double k = bisect([](double v) { return (puromycin_sse(v + 1e-7) - puromycin_sse(v - 1e-7)); }, 0.01, 0.2);
  const double level = puromycin_sse(k) * (1 + results_test::kT10 * results_test::kT10 / 10);
  auto f = [&](double v) { return puromycin_sse(v) - level; };
  return {bisect(f, 0.01, k), bisect(f, k, 0.2)};
}

TEST_F(ProfilingTest, ProfileIntervalsMatchPublishedReferences) {
  const nist::Problem misra = nist::read_problem("Misra1a");
  struct Case {
    std::string csv, program, parm;
    double t, lower, upper;
  } cases[] = {
      {results_test::kPuromycin, "parms vm=200 k=0.05; model rate = vm*conc/(k+conc);", "vm",
       results_test::kT10, 197.3021, 229.2901},
      {results_test::kPuromycin, "parms vm=200 k=0.05; model rate = vm*conc/(k+conc);", "k",
       results_test::kT10, 0.04692517, 0.08615995},
      {csv_of(misra), "parms b1=250 b2=5e-4; model y = " + misra.model + ";", "b1", 2.178812829667228,
       233.1953, 245.0177},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.parm);
    ASSERT_EQ(fit(c.csv, "proc ruva data=d; " + c.program + " profile " + c.parm +
                             " / range=-4 to 4 by 0.01 profdata=pd;"),
              0)
        << log_text();
    const auto [lower, upper] = profile_interval(read_rows("pd"), c.parm, c.t);
    EXPECT_NEAR(lower, c.lower, 2e-4 * std::fabs(c.lower));
    EXPECT_NEAR(upper, c.upper, 2e-4 * std::fabs(c.upper));
    // Puromycin's published limits are rounded; its k has an exact profile.
    if (c.parm == "k") {
      const auto [exact_lower, exact_upper] = puromycin_k_interval();
      EXPECT_NEAR(lower, exact_lower, 1e-6 * exact_lower);
      EXPECT_NEAR(upper, exact_upper, 1e-6 * exact_upper);
    }
  }
}

}  // namespace
