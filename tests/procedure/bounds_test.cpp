// BOUNDS statements into side pairs and into the optimiser's linear
// inequality constraints: chains, lists on either side, strict relations,
// several statements, and sides that are neither parameters nor constants.
// Fits from starts outside the bounds: the nearest point that satisfies
// them starts the iterations, bounds that no point satisfies stop them
// with the start shown, and data without a usable observation give no fit.
#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "estimation_fixture.h"
#include "optim/optimiser.h"
#include "procedure/bounds.h"
#include "procedure_fixture.h"
#include "support/isotonic_regression.h"

namespace {

using procedure_test::ProcedureTest;
using procedure_test::setup_body;

std::string name(const CMPSYM* s) { return std::string(s->name, static_cast<std::size_t>(s->nameleng)); }

std::vector<std::string> pairs(const CMPLIST& left, const CMPLIST& right) {
  std::vector<std::string> out;
  for (int k = 0; k < left.n; ++k) out.push_back(name(left.s[k]) + "," + name(right.s[k]));
  return out;
}

// One constraint: its name, label and each column's parameter and coefficient.
struct Constraint {
  std::string name, label, columns;
};

struct Bounds {
  std::vector<std::vector<std::string>> non_strict, strict;  // per record, newest first
  std::vector<Constraint> constraints;
  char method = 0;
  double beps = 0;
};
Bounds g_bounds;

void keep_bounds(RUVACOM* c) {
  for (const BOUNDSSTR* b = c->boundslist; b; b = b->next) {
    g_bounds.non_strict.push_back(pairs(b->eqbnds1, b->eqbnds2));
    g_bounds.strict.push_back(pairs(b->strtbnds1, b->strtbnds2));
  }
  const ZOPTGLOBAL* g = c->zoptg;
  for (int i = 0; i < g->state.marqu->ninequal; ++i) {
    const CONSTRAINT* con = g->state.conp_i[i];
    const auto* sym = static_cast<const CMPSYM*>(con->user);
    Constraint k{con->name, std::string(sym->info->label, static_cast<std::size_t>(sym->info->labeleng)), ""};
    for (int j = 0; j < con->n; ++j)
      k.columns += std::string(c->pname[con->cols[j]]) + ":" + std::to_string(*con->mat[j]) + " ";
    g_bounds.constraints.push_back(k);
  }
  g_bounds.method = g->opts.method;
  g_bounds.beps = c->bepsilon;
}

class BoundsTest : public ProcedureTest {
 protected:
  BoundsTest() { write_file("d.csv", "x,y\n1,2\n2,4\n"); }
  int run_bounds(const std::string& bounds, const std::string& opts = "") {
    g_bounds = Bounds{};
    return run_and_inspect("proc ruva data=d " + opts + "; parms a=1 b=2; " + bounds +
                               "; model y = a + b*x; der.a = 1; der.b = x;",
                           setup_body, keep_bounds);
  }
};

TEST_F(BoundsTest, ChainsAndListsBecomePairs) {
  ASSERT_EQ(run_bounds("bounds 0 <= a b <= 1"), 0) << log_text();
  ASSERT_EQ(g_bounds.non_strict.size(), 1u);
  EXPECT_EQ(g_bounds.non_strict[0], (std::vector<std::string>{"0,a", "0,b", "a,1", "b,1"}));
  EXPECT_TRUE(g_bounds.strict[0].empty());

  ASSERT_EQ(run_bounds("bounds 0 < a < b < 5"), 0) << log_text();
  EXPECT_EQ(g_bounds.strict[0], (std::vector<std::string>{"0,a", "a,b", "b,5"}));

  ASSERT_EQ(run_bounds("bounds a b > 1, -2.5 <= b"), 0) << log_text();
  EXPECT_EQ(g_bounds.strict[0], (std::vector<std::string>{"1,a", "1,b"}));
  EXPECT_EQ(g_bounds.non_strict[0], (std::vector<std::string>{"-2.5,b"}));

  ASSERT_EQ(run_bounds("bounds b >= a"), 0) << log_text();
  EXPECT_EQ(g_bounds.non_strict[0], (std::vector<std::string>{"a,b"}));
}

TEST_F(BoundsTest, ConstraintsWithCoefficientsLabelsAndNames) {
  ASSERT_EQ(run_bounds("bounds 0 <= a <= 7; bounds a < b"), 0) << log_text();
  const double s = 1 - g_bounds.beps;
  ASSERT_EQ(g_bounds.constraints.size(), 3u);
  // The later statement's constraints come first; the names run on.
  EXPECT_EQ(g_bounds.constraints[0].name, "Bound0");
  EXPECT_EQ(g_bounds.constraints[0].label, "a < b ");
  EXPECT_EQ(g_bounds.constraints[0].columns, "a:" + std::to_string(-s) + " b:" + std::to_string(s) + " ");
  EXPECT_EQ(g_bounds.constraints[1].name, "Bound1");
  EXPECT_EQ(g_bounds.constraints[1].label, "0 <= a");
  EXPECT_EQ(g_bounds.constraints[1].columns, "a:1.000000 ");
  EXPECT_EQ(g_bounds.constraints[2].name, "Bound2");
  EXPECT_EQ(g_bounds.constraints[2].label, "a <= 7");
  EXPECT_EQ(g_bounds.constraints[2].columns, "a:-1.000000 ");
  EXPECT_EQ(g_bounds.method, 'S');
}

// A constant is named by the shortest text that reads back to its double.
TEST_F(BoundsTest, ConstantsInLabelsAreTheirShortestExactText) {
  ASSERT_EQ(run_bounds("bounds a <= 210, 0.05 <= b, 1e-300 < a, b <= 0.30000000000000004"), 0) << log_text();
  std::vector<std::string> labels;
  for (const Constraint& k : g_bounds.constraints) labels.push_back(k.label);
  EXPECT_EQ(labels, (std::vector<std::string>{"a <= 210", "0.05 <= b", "b <= 0.30000000000000004", "1e-300 < a "}));
}

TEST_F(BoundsTest, NoBoundsNoConstraintAndTheMarquardtMethod) {
  ASSERT_EQ(run_bounds("", "method=marquardt"), 0) << log_text();
  EXPECT_TRUE(g_bounds.constraints.empty());
  EXPECT_EQ(g_bounds.method, 'M');
}

TEST_F(BoundsTest, ABoundOnANonParameterEndsTheStep) {
  EXPECT_EQ(run_bounds("bounds a > x"), 1012);
  EXPECT_EQ(logged(111), 1);
  EXPECT_NE(log_text().find("BOUNDS: x is neither"), std::string::npos) << log_text();
  EXPECT_EQ(run_bounds("bounds 0 < q"), 1012);
  EXPECT_EQ(logged(111), 1);
}

// A parameter the model does not use is dropped, and with it every bound
// that names it, alone or tied to a kept parameter, each with a note; the
// other bounds stay and the step goes on (code 4 for the dropping's warning).
TEST_F(BoundsTest, BoundsOnADroppedParameterGoWithIt) {
  g_bounds = Bounds{};
  ASSERT_EQ(run_and_inspect("proc ruva data=d; parms a=1 b=2 zz=1; bounds 0 < zz < a, b <= 7; bounds zz >= b;"
                            " model y = a + b*x; der.a = 1; der.b = x;",
                            setup_body, keep_bounds),
            4)
      << log_text();
  using Lists = std::vector<std::vector<std::string>>;
  EXPECT_EQ(g_bounds.non_strict, (Lists{{}, {"b,7"}}));
  EXPECT_EQ(g_bounds.strict, (Lists{{}, {}}));
  ASSERT_EQ(g_bounds.constraints.size(), 1u);
  EXPECT_EQ(g_bounds.constraints[0].label, "b <= 7");
  EXPECT_EQ(logged(111), 0);
  EXPECT_EQ(logged(1061), 3);
  for (const char* bound : {"0 < zz", "zz < a", "b <= zz"})
    EXPECT_NE(log_text().find(std::string("NOTE: The bound ") + bound + " is dropped with the parameter zz,"),
              std::string::npos)
        << log_text();
}

// The treated Puromycin data with a rate that depends on a + b + c + d
// only. The minimum, from R's nls fit of Vm conc / (K + conc): SSE
// 1195.448814439359 at Vm = 212.6837429, K = 0.06412128 (10 DF).
constexpr double kMinimumSse = 1195.448814439359, kVm = 212.6837429, kK = 0.06412128;
constexpr double kSlack = 1e-9;  // a bound holds within it at these scales

class BoundedStartTest : public procedure_test::EstimationTest {
 protected:
  BoundedStartTest() {
    write_file("p.csv", "conc,rate\n0.02,76\n0.02,47\n0.06,97\n0.06,107\n0.11,123\n0.11,139\n0.22,159\n"
                        "0.22,152\n0.56,191\n0.56,201\n1.10,207\n1.10,200\n");
  }
  int fit(const std::vector<double>& x, const std::string& bounds) {
    char parms[200];
    std::snprintf(parms, sizeof parms, "parms a=%.17g b=%.17g c=%.17g d=%.17g K=0.05;", x[0], x[1], x[2], x[3]);
    return run(std::string("proc ruva data=p outest=est; ") + parms + " bounds " + bounds +
               "; model rate = (a+b+c+d)*conc/(K+conc);");
  }
  std::vector<double> parameters(const procedure_test::Row& row) const {
    std::vector<double> x;
    for (const char* name : {"a", "b", "c", "d"}) x.push_back(number(row, name));
    return x;
  }
};

std::vector<double> negated(std::vector<double> x) {
  for (double& v : x) v = -v;
  return x;
}

// Random starts, most outside the bounds (the first the reported one): no
// consistent set is refused; each fit starts from the nearest point that
// satisfies the bounds (the isotonic regression of the start for a chain,
// the mean for a cycle), says so, and reaches R's minimum with the bounds
// holding.
TEST_F(BoundedStartTest, EveryStartOfConsistentBoundsReachesTheMinimum) {
  struct Set {
    const char* bounds;
    std::vector<double> (*nearest)(const std::vector<double>&);
    bool (*holds)(const std::vector<double>&);
  };
  const Set sets[] = {
      {"a <= b, b <= c, c <= d", pool_adjacent_violators,
       [](const std::vector<double>& x) { return x[0] <= x[1] + kSlack && x[1] <= x[2] + kSlack && x[2] <= x[3] + kSlack; }},
      {"a >= b >= c >= d", [](const std::vector<double>& x) { return negated(pool_adjacent_violators(negated(x))); },
       [](const std::vector<double>& x) { return x[0] >= x[1] - kSlack && x[1] >= x[2] - kSlack && x[2] >= x[3] - kSlack; }},
      {"a <= b, b <= c, c <= d, d <= a",
       [](const std::vector<double>& x) { return std::vector<double>(4, (x[0] + x[1] + x[2] + x[3]) / 4); },
       [](const std::vector<double>& x) { return *std::max_element(x.begin(), x.end()) - *std::min_element(x.begin(), x.end()) < kSlack; }},
      {"a <= b, d <= c, a >= 10, c <= 90", nullptr,
       [](const std::vector<double>& x) { return x[0] <= x[1] + kSlack && x[3] <= x[2] + kSlack && x[0] >= 10 - kSlack && x[2] <= 90 + kSlack; }},
  };
  std::mt19937 random(1208);
  std::uniform_real_distribution<double> start(0, 150);
  int refused = 0, fits = 0;
  for (const Set& set : sets) {
    for (int k = 0; k < 8; ++k) {
      std::vector<double> x{51.554, 124.268, 22.253, 69.637};
      if (k > 0)
        for (double& v : x) v = start(random);
      const int rc = fit(x, set.bounds);
      ++fits;
      if (logged(83) != 0) {
        ++refused;
        continue;
      }
      const auto iters = rows_of("est", "ITER");
      const auto finals = rows_of("est", "FINAL");
      ASSERT_FALSE(iters.empty() || finals.empty()) << set.bounds << log_text();
      const std::vector<double> first = parameters(iters[0]);
      const bool outside = first != x;
      EXPECT_EQ(rc, outside ? 4 : 0) << set.bounds << log_text();
      EXPECT_EQ(logged(81), outside ? 1 : 0) << log_text();
      EXPECT_EQ(logged(76), 0);
      if (set.nearest) {
        const std::vector<double> nearest = set.nearest(x);
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(first[j], nearest[j], 1e-9 * 150) << set.bounds << " " << k;
      }
      EXPECT_TRUE(set.holds(first)) << set.bounds << " " << k;
      const std::vector<double> end = parameters(finals[0]);
      EXPECT_TRUE(set.holds(end)) << set.bounds << " " << k;
      EXPECT_NEAR(number(finals[0], "_SSE_"), kMinimumSse, 1e-7 * kMinimumSse) << set.bounds << " " << k;
      EXPECT_NEAR(end[0] + end[1] + end[2] + end[3], kVm, 1e-5 * kVm);
      EXPECT_NEAR(number(finals[0], "K"), kK, 1e-5 * kK);
      EXPECT_EQ(logged(20), 1) << set.bounds << " " << k << log_text();
      // Converged: 2 with the warning of the move, else 0, or 1 when the
      // bounds holding at the end leave some of a, b, c, d undetermined.
      EXPECT_EQ(statuses().back().first == 2, outside);
      EXPECT_LE(statuses().back().first, 2);
    }
  }
  EXPECT_EQ(refused, 0) << "of " << fits;
}

// a <= b <= c <= d < a admits no point: the iterations stop before any
// objective, the note says the bounds contradict each other, and the start
// is shown with its own sum of squares, in the summary as in the ANOVA.
TEST_F(BoundedStartTest, BoundsThatContradictEachOtherShowTheStart) {
  const std::vector<double> x{51.554, 124.268, 22.253, 69.637};
  ASSERT_EQ(fit(x, "a <= b, b <= c, c <= d, d < a"), 4) << log_text();
  EXPECT_EQ(logged(83), 1) << log_text();
  EXPECT_NE(log_text().find("contradict each other"), std::string::npos) << log_text();
  EXPECT_EQ(logged(81), 0);
  EXPECT_EQ(statuses().back().first, 3);
  // The sum of squares at the start, directly from the data.
  const double conc[] = {0.02, 0.02, 0.06, 0.06, 0.11, 0.11, 0.22, 0.22, 0.56, 0.56, 1.10, 1.10};
  const double rate[] = {76, 47, 97, 107, 123, 139, 159, 152, 191, 201, 207, 200};
  double sse = 0;
  for (int i = 0; i < 12; ++i) sse += std::pow(rate[i] - (x[0] + x[1] + x[2] + x[3]) * conc[i] / (0.05 + conc[i]), 2);
  const nlohmann::json estimates = tables("ParameterEstimates").back()["rows"];
  for (int j = 0; j < 4; ++j) EXPECT_EQ(estimates[j][1].get<double>(), x[j]);
  EXPECT_EQ(estimates.size(), 5u);  // no bound is shown as active
  const nlohmann::json summary = tables("EstSummary").back(), anova = tables("ANOVA").back();
  double objective = NAN, error_ss = NAN;
  for (const auto& row : summary["rows"])
    if (row[0] == "Objective") objective = row[1].get<double>();
  for (const auto& row : anova["rows"])
    if (row[0] == "Error") error_ss = row[2].get<double>();
  EXPECT_NEAR(objective, sse, 1e-9 * sse);
  EXPECT_NEAR(error_ss, sse, 1e-9 * sse);
}

// With no response, a start outside b < 20.5 (or b <= 20.5) gets no fit:
// the point of the bounds nearest it gives no objective either, and the
// note says which observations could not be used and why.
TEST_F(BoundedStartTest, NoUsableObservationInsideTheBoundsGivesNoFit) {
  write_file("m.csv", "x,y\n1,.\n2,.\n3,.\n");
  for (const char* bound : {"b < 20.5", "b <= 20.5"}) {
    ASSERT_EQ(run(std::string("proc ruva data=m outest=est; parms b=21; bounds ") + bound + "; model y=b*x;"), 4)
        << log_text();
    EXPECT_EQ(logged(19), 1) << bound << log_text();
    EXPECT_EQ(logged(926), 1) << bound << log_text();
    EXPECT_EQ(logged(20), 0) << bound;
    EXPECT_EQ(logged(81), 0) << bound;
    EXPECT_TRUE(rows_of("est", "ITER").empty()) << bound;
    EXPECT_TRUE(statuses().empty()) << bound;
  }
}

}  // namespace
