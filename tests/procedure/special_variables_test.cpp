// The special variables: cells in the context with their initial values,
// and a data-set variable of the same name giving way (305/112) for the four
// the program and the procedure exchange, not for _N_ and _HALVE_.
#include <cstring>
#include <string>

#include "procedure_fixture.h"

namespace {

using procedure_test::ProcedureTest;
using procedure_test::setup_body;

TEST_F(ProcedureTest, SpecialVariablesAndDataSetVariablesOfTheirNames) {
  write_file("d.csv", "x,_OBS_,_N_,_HALVE_,y\n1,5,6,7,2\n");
  bool cells = false;
  int obs_dsvarno = -1, n_dsvarno = -1, halve_dsvarno = -1;
  auto look = [&](RUVACOM* c) {
    auto sym = [c](const char* name) { return cmpsyms(name, static_cast<int>(std::strlen(name)), &c->globcmp); };
    cells = cmp_cell(sym("_OBS_")) == &c->obs && cmp_cell(sym("_MODEL_")) == &c->model &&
            sym("_SSE_") == c->usse_sym && cmp_cell(c->usse_sym) == &c->usse;
    obs_dsvarno = sym("_OBS_")->dsvarno, n_dsvarno = sym("_N_")->dsvarno, halve_dsvarno = sym("_HALVE_")->dsvarno;
  };
  const std::string program = "proc ruva data=d maxsubit=12; parms a=1; model y = a*x; der.a = x;";
  ASSERT_EQ(run_and_inspect(program, setup_body, look), 4) << log_text();
  EXPECT_EQ(logged(112), 1);
  EXPECT_NE(log_text().find("variable _OBS_"), std::string::npos) << log_text();
  EXPECT_TRUE(cells);
  EXPECT_EQ(obs_dsvarno, 0);
  EXPECT_GT(n_dsvarno, 0);  // _N_ and _HALVE_ keep the data set's values
  EXPECT_GT(halve_dsvarno, 0);
  const RUVACOM* c = context();
  EXPECT_EQ(c->halve, 12.0);
  EXPECT_EQ(c->iter, -1.0);
  EXPECT_EQ(c->model, 0.0);
  EXPECT_EQ(c->rc, 4);
  EXPECT_EQ(c->rcby, 4);
}

}  // namespace
