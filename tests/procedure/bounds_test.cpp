// BOUNDS statements into side pairs and into the optimiser's linear
// inequality constraints: chains, lists on either side, strict relations,
// several statements, and sides that are neither parameters nor constants.
#include <string>
#include <vector>

#include "optim/optimiser.h"
#include "procedure/bounds.h"
#include "procedure_fixture.h"

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

}  // namespace
