// Running the model program for the observations of a BY group: the
// predictions, run-error reports of the last pass (51 at most), unusable
// observations, and the model-run and optimiser recovery points.
#include <string>
#include <vector>

#include "host/missing.h"
#include "optim/optimiser.h"
#include "procedure/model_run.h"
#include "procedure/recovery.h"
#include "procedure_fixture.h"

namespace {

using procedure_test::inspect_and_exit;
using procedure_test::ProcedureTest;

// One pass over the first BY group as the data pass makes it.
struct Pass {
  std::vector<int> codes;
  std::vector<double> predicted;
  int nerrmsg = 0, nmissgen = 0;
  char lastpass = 0;
  bool armed_after = true;
};
Pass g_pass;

void data_pass_body() {
  RUVACOM* ctx = procedure_test::begin_step(2);
  xbynext(ctx->fiddata);
  ctx->parm[0] = 2.0;  // the grid search's work
  ctx->lastpass = 1;
  ctx->model = 1.0;
  nlexint();
  while (xybyget(&ctx->xoparm) == 0 && ctx->fiddata->current) {
    cmpexi(0, 0, 0, &ctx->globcmp);
    xyvget(ctx->dataptr, 0);
    g_pass.codes.push_back(nlexec());
    g_pass.predicted.push_back(*ctx->dephat);
    if (g_pass.codes.back() >= 3) break;
  }
  g_pass.nerrmsg = ctx->nerrmsg, g_pass.nmissgen = ctx->nmissgen;
  g_pass.lastpass = ctx->lastpass;
  g_pass.armed_after = ctx->exception_s.j_buf_cmp_set != 0;
  inspect_and_exit(ctx);
}

class ModelRunTest : public ProcedureTest {
 protected:
  int pass(const std::string& rows, const std::string& statements) {
    write_file("d.csv", "x,y\n" + rows);
    g_pass = Pass{};
    return run("proc ruva data=d; parms a=1; " + statements, data_pass_body);
  }
  int count(const std::string& text, const std::string& what) const {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
};

TEST_F(ModelRunTest, AnObservationThatSkipsTheModelHasNoPrediction) {
  ASSERT_EQ(pass("1,2\n-1,4\n3,6\n", "if x > 0 then model y = a*x; der.a = x;"), 0) << log_text();
  ASSERT_EQ(g_pass.predicted.size(), 3u);
  EXPECT_EQ(g_pass.predicted[0], 2.0);
  EXPECT_TRUE(is_special_missing(g_pass.predicted[1]));
  EXPECT_EQ(g_pass.predicted[2], 6.0);
  EXPECT_FALSE(g_pass.armed_after);  // the run's recovery point is not left armed
}

TEST_F(ModelRunTest, RunErrorsOfTheLastPassAreReportedFor51Observations) {
  std::string rows;
  for (int i = 0; i < 60; ++i) rows += "0,1\n";
  ASSERT_EQ(pass(rows, "model y = a/x; der.a = 1/x;"), 0) << log_text();
  EXPECT_EQ(g_pass.codes.size(), 60u);
  EXPECT_EQ(g_pass.nerrmsg, 51);
  EXPECT_EQ(g_pass.lastpass, 2);
  EXPECT_GE(g_pass.nmissgen, 60);
  const std::string out = listing_.str() + log_text();
  EXPECT_EQ(count(out, "Execution errors for observation "), 51) << out.substr(0, 2000);
  EXPECT_EQ(count(out, "Execution errors for observation 51:"), 1);
  EXPECT_EQ(count(out, "Execution errors for observation 52:"), 0);
  EXPECT_EQ(count(out, "are no longer shown"), 1);
}

// A character function's run error names the function and its place.
TEST_F(ModelRunTest, ACharacterFunctionsRunErrorShowsItsPlace) {
  const std::string statements = "length s $ 4; s = substr('abc', 2, k); model y = a*x; der.a = x;";
  ASSERT_EQ(pass("1,2\n", statements), 0) << log_text();
  const std::string column = std::to_string(std::string("proc ruva data=d; parms a=1; ").size() +
                                            statements.find("substr") + 1);
  EXPECT_NE(log_text().find("Invalid argument to function SUBSTR at line 1 column " + column),
            std::string::npos)
      << log_text();
}

// A stand-in for the compiler's run that faults inside the program. (A run
// that fails the pass is in data_pass_test.)
int faulting_run(int, int, int, int, int, int, int, int, int*, int*, CMPGLOBAL*) {
  my_fpe_handler(0);
  return 0;
}

TEST_F(ModelRunTest, AFaultInsideTheRunMakesTheObservationUnusable) {
  void* real = host_.replace_service(148, 12, reinterpret_cast<void*>(&faulting_run));
  const int rc = pass("1,2\n2,4\n", "model y = a*x; der.a = x;");
  host_.replace_service(148, 12, real);
  EXPECT_EQ(rc, 0) << log_text();
  EXPECT_EQ(g_pass.codes, (std::vector<int>{1, 1}));
  EXPECT_FALSE(g_pass.armed_after);
}

// The optimiser call under its recovery point.
struct Optimiser {
  int result = -1;
  int error = -1;
  bool armed_after = true;
};
Optimiser g_optimiser;

int faulting_objective(ZOPTGLOBAL*) {
  my_fpe_handler(0);
  return 0;
}
int no_gradient(ZOPTGLOBAL*) { return 0; }

void keep_optimiser_run(RUVACOM* c) {
  c->zoptg->funcs.usobj = &faulting_objective;
  c->zoptg->funcs.usgrd = &no_gradient;
  g_optimiser.result = zopt_under_recovery(c);
  g_optimiser.error = c->zoptg->state.error;
  g_optimiser.armed_after = c->exception_s.j_buf_zopt_set != 0;
}

TEST_F(ModelRunTest, AFaultInsideTheOptimiserEndsThatRunWithNoDelta) {
  write_file("d.csv", "x,y\n1,2\n");
  ASSERT_EQ(run_and_inspect("proc ruva data=d; parms a=2; model y = a*x; der.a = x;", procedure_test::setup_body,
                            keep_optimiser_run),
            0)
      << log_text();
  EXPECT_EQ(g_optimiser.result, 1);
  EXPECT_EQ(g_optimiser.error, s_nodelta);
  EXPECT_FALSE(g_optimiser.armed_after);
}

}  // namespace
