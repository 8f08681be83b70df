// The special variables: cells in the context with their initial values,
// and a data-set variable of the same name giving way (305/112) for the four
// the program and the procedure exchange, not for _N_ and _HALVE_.
#include <cstring>
#include <string>

#include "procedure_fixture.h"

namespace {

using procedure_test::ProcedureTest;
using procedure_test::setup_body;

struct Specials {
  bool obs_is_cell = false, model_is_cell = false, sse_is_sse_sym = false;
  int obs_dsvarno = -1, n_dsvarno = -1, halve_dsvarno = -1;
  double halve = 0, iter = 0, model = 1;
  int rc = 0, rcby = 0;
};
Specials g_specials;

void keep_specials(RUVACOM* c) {
  auto sym = [c](const char* name) { return cmpsyms(name, static_cast<int>(std::strlen(name)), &c->globcmp); };
  g_specials.obs_is_cell = cmp_cell(sym("_OBS_")) == &c->obs;
  g_specials.model_is_cell = cmp_cell(sym("_MODEL_")) == &c->model;
  g_specials.sse_is_sse_sym = sym("_SSE_") == c->usse_sym && cmp_cell(c->usse_sym) == &c->usse;
  g_specials.obs_dsvarno = sym("_OBS_")->dsvarno;
  g_specials.n_dsvarno = sym("_N_")->dsvarno;
  g_specials.halve_dsvarno = sym("_HALVE_")->dsvarno;
  g_specials.halve = c->halve, g_specials.iter = c->iter, g_specials.model = c->model;
  g_specials.rc = c->rc, g_specials.rcby = c->rcby;
}

TEST_F(ProcedureTest, SpecialVariablesAndDataSetVariablesOfTheirNames) {
  write_file("d.csv", "x,_OBS_,_N_,_HALVE_,y\n1,5,6,7,2\n");
  const std::string program = "proc ruva data=d maxsubit=12; parms a=1; model y = a*x; der.a = x;";
  ASSERT_EQ(run_and_inspect(program, setup_body, keep_specials), 4) << log_text();
  EXPECT_EQ(logged(112), 1);
  EXPECT_NE(log_text().find("variable _OBS_"), std::string::npos) << log_text();
  EXPECT_TRUE(g_specials.obs_is_cell);
  EXPECT_EQ(g_specials.obs_dsvarno, 0);
  EXPECT_GT(g_specials.n_dsvarno, 0);  // _N_ and _HALVE_ keep the data set's values
  EXPECT_GT(g_specials.halve_dsvarno, 0);
  EXPECT_TRUE(g_specials.model_is_cell);
  EXPECT_TRUE(g_specials.sse_is_sse_sym);
  EXPECT_EQ(g_specials.halve, 12.0);
  EXPECT_EQ(g_specials.iter, -1.0);
  EXPECT_EQ(g_specials.model, 0.0);
  EXPECT_EQ(g_specials.rc, 4);
  EXPECT_EQ(g_specials.rcby, 4);
}

TEST_F(ProcedureTest, AParameterNamedLikeAnInputVariable) {
  write_file("d.csv", "x,a,y\n1,5,2\n");
  ASSERT_EQ(run("proc ruva data=d; parms a=1; model y = a*x; der.a = x;", setup_body), 4) << log_text();
  EXPECT_EQ(logged(50), 1);
}

}  // namespace
