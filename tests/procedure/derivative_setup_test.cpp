// The derivatives the set-up arranges: the cells the data pass reads for
// each kept parameter's first derivative and for the packed second
// derivatives, checked against the closed forms of an exponential model at
// one observation; supplied DER. variables, CHECKDER, and parameters the
// model does not use; the LISTDER and LISTDEP listings.
#include <cmath>
#include <string>
#include <vector>

#include "linalg/packed.h"
#include "procedure/model_run.h"
#include "procedure_fixture.h"

namespace {

using procedure_test::ProcedureTest;

struct Derivatives {
  int nparm = 0, needed = 0, supplied = 0;
  bool checkder = false, compared = false;
  std::vector<std::string> names;
  std::vector<double> first, second;
};
Derivatives g_der;

// One observation (x = 2) run for the model and its derivatives at b0 = 3, b1 = 0.5.
void one_observation_body() {
  RUVACOM* ctx = procedure_test::begin_step(2);
  g_der.nparm = ctx->nparm;
  g_der.needed = ctx->needer->n;
  g_der.supplied = ctx->dersym->n;
  g_der.checkder = ctx->derchck != 0;
  g_der.compared = ctx->dercmp && ctx->derchck && ctx->dercmp[0] != ctx->derloc[0];
  for (int i = 0; i < ctx->nparm; ++i) g_der.names.emplace_back(ctx->pname[i]);
  const double values[] = {3.0, 0.5, 7.0};
  for (int i = 0; i < ctx->nparm; ++i) ctx->parm[i] = values[i];
  xbynext(ctx->fiddata);
  nlexint();
  xybyget(&ctx->xoparm);
  cmpexi(0, 0, 0, &ctx->globcmp);
  xyvget(ctx->dataptr, 0);
  ctx->model = 0.0;  // derivatives too
  if (nlexec() != 0) xexit(1012, 0);
  for (int i = 0; i < ctx->nparm; ++i) g_der.first.push_back(*ctx->derloc[i]);
  if (ctx->hessptr)
    for (long k = 0; k < zisub(ctx->nparm - 1, ctx->nparm - 1) + 1; ++k) g_der.second.push_back(*ctx->hessptr[k]);
  xexit(ctx->rc, 0);
}

class DerivativeSetupTest : public ProcedureTest {
 protected:
  DerivativeSetupTest() { write_file("d.csv", "x,y\n2,1\n"); }
  int run_model(const std::string& statements, const std::string& opts = "") {
    g_der = Derivatives{};
    return run("proc ruva data=d " + opts + "; parms b0=1 b1=1; " + statements, one_observation_body);
  }
};

constexpr double kX = 2, kB0 = 3, kB1 = 0.5;

TEST_F(DerivativeSetupTest, GeneratedFirstAndSecondDerivativesMatchTheClosedForms) {
  ASSERT_EQ(run_model("model y = b0*exp(-b1*x);", "method=newton"), 0) << log_text();
  const double e = std::exp(-kB1 * kX);
  EXPECT_EQ(g_der.needed, 2);
  ASSERT_EQ(g_der.first.size(), 2u);
  EXPECT_NEAR(g_der.first[0], e, 1e-15);
  EXPECT_NEAR(g_der.first[1], -kB0 * kX * e, 1e-14);
  ASSERT_EQ(g_der.second.size(), 3u);  // packed: (b0,b0), (b1,b0), (b1,b1)
  EXPECT_EQ(g_der.second[0], 0.0);     // the literal 0 of a derivative that vanishes
  EXPECT_NEAR(g_der.second[1], -kX * e, 1e-15);
  EXPECT_NEAR(g_der.second[2], kB0 * kX * kX * e, 1e-14);
}

TEST_F(DerivativeSetupTest, SuppliedDerivativesAndCheckder) {
  const std::string model = "e = exp(-b1*x); model y = b0*e; der.b0 = e; der.b1 = -b0*x*e;";
  ASSERT_EQ(run_model(model), 0) << log_text();
  EXPECT_EQ(g_der.needed, 0);  // nothing for the compiler to generate
  EXPECT_EQ(g_der.supplied, 2);
  EXPECT_NEAR(g_der.first[1], -kB0 * kX * std::exp(-1.0), 1e-14);
  ASSERT_EQ(run_model(model, "checkder"), 0) << log_text();
  EXPECT_EQ(g_der.needed, 2);  // generated as well, to compare with the supplied ones
  EXPECT_TRUE(g_der.compared);
  ASSERT_EQ(run_model("model y = b0*exp(-b1*x); der.b0 = exp(-b1*x);", "checkder"), 0) << log_text();
  EXPECT_FALSE(g_der.checkder);  // one missing: no comparison
  EXPECT_EQ(logged(3), 1);
}

TEST_F(DerivativeSetupTest, ParametersTheModelDoesNotUse) {
  g_der = Derivatives{};
  ASSERT_EQ(run("proc ruva data=d; parms b0=1 b1=1 b2=1; model y = b0*exp(-b2*x);", one_observation_body), 4)
      << log_text();
  EXPECT_EQ(logged(65), 1);
  EXPECT_NE(log_text().find("parameter b1"), std::string::npos);
  EXPECT_EQ(g_der.nparm, 2);
  EXPECT_EQ(g_der.names, (std::vector<std::string>{"b0", "b2"}));
  // The kept parameters take the parameter cells in order: b2 reads parm[1].
  EXPECT_NEAR(g_der.first[1], -kB0 * kX * std::exp(-kB1 * kX), 1e-14);
  EXPECT_EQ(run("proc ruva data=d; parms b0=1; model y = x;", one_observation_body), 1012);
  EXPECT_EQ(logged(80), 1);
  EXPECT_EQ(run("proc ruva data=d; parms b0=1; b0 = 2; model y = b0*x;", one_observation_body), 4);
  EXPECT_EQ(logged(84), 1);
}

TEST_F(DerivativeSetupTest, AnUndefinedDependentVariable) {
  EXPECT_EQ(run("proc ruva data=d; parms b0=1; model z = b0*x;", one_observation_body), 1012);
  EXPECT_EQ(logged(13), 1);
}

// LISTDER lists each generated derivative with its chain rule through the
// program's own variables: d/db1 of b0/(1 + h), h = b1 x, is -y x/(1 + h).
// LISTDEP lists what each assigned variable depends on.
TEST_F(DerivativeSetupTest, ListderAndListdepListTheDerivativesAndDependencies) {
  write_file("d.csv", "x,y\n1,2\n2,1.4\n4,0.9\n");
  ASSERT_EQ(run("proc ruva data=d listder listdep noprint; parms b0=1 b1=1; h = b1*x; model y = b0/(1+h);"),
            0)
      << log_text();
  std::istringstream listing(listing_.str());
  std::vector<std::string> lines;
  for (std::string line; std::getline(listing, line);) {
    std::istringstream words(line);
    std::string word, joined;
    while (words >> word) joined += (joined.empty() ? "" : " ") + word;
    if (!joined.empty()) lines.push_back(joined);
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"Listing of Derivatives", "Objective With respect to Derivative",
                                             "MODEL.y b0 @MODEL.y/@b0", "@MODEL.y/@b0 = 1/(1 + h);",
                                             "MODEL.y b1 @MODEL.y/@b1", "@h/@b1 = x;",
                                             "@MODEL.y/@b1 = -(MODEL.y*@h/@b1)/(1 + h);",
                                             "Listing of Compiled Program Dependencies", "Variable Depends on",
                                             "h b1 x", "MODEL.y b0 b1 x"}));
}

}  // namespace
