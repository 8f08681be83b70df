// The PLOTS option into the graph control record and its plot records, one
// table over the request forms: what exists, the statistics selections
// (shared or own), the residual and leverage types, the fit plot's switches.
#include <string>
#include <vector>

#include "procedure/graph_control.h"
#include "procedure_fixture.h"

namespace {

using procedure_test::options_body;
using procedure_test::ProcedureTest;

// "-" for none; flags all and default, then the nine statistics in order.
std::string stats(const RUVAPLOT_STATS* s) {
  if (!s) return "-";
  std::string t = std::string("a") + char('0' + s->all_flag) + "d" + char('0' + s->default_flag) + " ";
  for (const char* f = &s->nobs_flag; f <= &s->rmspecurv_flag; ++f) t += char('0' + *f);
  return t;
}

std::string plot_stats(const RUVAPLOT_STATS* s, const RUVAGRAPH_CONTROL* g) {
  return s && s == g->ruvaplot_stats ? "global" : stats(s);
}

std::string type(char flag, char letter) { return std::string(1, letter) + char('0' + flag); }

std::string diagnostics(const RUVAGRAPH_CONTROL* g) {
  const RUVADIAGNOSTICS_PANEL* p = g->ruvadiagnostics_panel;
  if (!p) return "-";
  return std::string("u") + char('0' + p->unpack_flag) + " r" + type(p->resdtype_flag, p->resdtype) + " l" +
         type(p->levtype_flag, p->levtype) + " o" + char('0' + p->labelobs_flag) + " " + plot_stats(p->plot_stats, g);
}

std::string residuals(const RUVAGRAPH_CONTROL* g) {
  const RUVARESD_PANEL* p = g->ruvaresd_panel;
  if (!p) return "-";
  return std::string("u") + char('0' + p->unpack_flag) + " s" + char('0' + p->loess_flag) + " r" +
         type(p->resdtype_flag, p->resdtype);
}

std::string fit(const RUVAGRAPH_CONTROL* g) {
  const RUVAFIT_PLOT* p = g->ruvafit_plot;
  if (!p) return "-";
  return std::string("m") + char('0' + p->noCLM_flag) + " i" + char('0' + p->noCLI_flag) + " c" +
         char('0' + p->contlegend_flag) + " o" + std::to_string(p->obs_flag) + " " + plot_stats(p->plot_stats, g);
}

struct Case {
  const char* plots;
  const char* control;  // default and all flags, unpack, residual type
  const char* global;
  const char* diagnostics;
  const char* residuals;
  const char* fit;
};

const std::vector<Case> kCases = {
    {"plots", "d1 a0 u0 B0", "a0d0 111110000", "u0 rB0 lB0 o0 global", "u0 s0 rB0", "m0 i0 c0 o1 global"},
    // An empty list asks for the default set, as PLOTS alone does.
    {"plots=()", "d1 a0 u0 B0", "a0d0 111110000", "u0 rB0 lB0 o0 global", "u0 s0 rB0", "m0 i0 c0 o1 global"},
    {"plots=none", "d0 a0 u0 B0", "a0d0 111110000", "-", "-", "-"},
    {"plots=all", "d0 a1 u0 B0", "a0d0 111110000", "u0 rB0 lB0 o0 global", "u0 s0 rB0", "m0 i0 c0 o1 global"},
    {"plots(stats=none)=fit", "d0 a0 u0 B0", "-", "-", "-", "m0 i0 c0 o1 -"},
    {"plots(stats=(nobs mse))=fit(stats=all)", "d0 a0 u0 B0", "a0d0 101000000", "-", "-",
     "m0 i0 c0 o1 a1d0 111111111"},
    {"plots(stats=(nobs default rmspecurv))", "d1 a0 u0 B0", "a0d1 111110001", "u0 rB0 lB0 o0 global",
     "u0 s0 rB0", "m0 i0 c0 o1 global"},
    {"plots(residualtype=raw)=diagnostics", "d0 a0 u0 R1", "a0d0 111110000", "u0 rR1 lB0 o0 global", "-", "-"},
    {"plots(unpack residualtype=proj)=(residuals(smooth) diagnostics(residualtype=both leveragetype=jac labelobs))",
     "d0 a0 u1 P1", "a0d0 111110000", "u1 rB1 lJ1 o1 global", "u1 s1 rP1", "-"},
    {"plots=fit(obs=outlinegradient contleg)", "d0 a0 u0 B0", "a0d0 111110000", "-", "-", "m0 i0 c1 o3 global"},
    {"plots=fit(obs=none nolimits nocli)", "d0 a0 u0 B0", "a0d0 111110000", "-", "-", "m1 i1 c0 o0 global"},
    {"plots=fit(stats=(default maxincurv))", "d0 a0 u0 B0", "a0d0 111110000", "-", "-",
     "m0 i0 c0 o1 a0d1 111111000"},
    {"plots=diagnostics(stats=default)", "d0 a0 u0 B0", "a0d0 111110000", "u0 rB0 lB0 o0 -", "-", "-"},
    {"plots=diagnostics(stats=none leveragetype=tangential)", "d0 a0 u0 B0", "a0d0 111110000",
     "u0 rB0 lT1 o0 -", "-", "-"},
};

class PlotRequestsTest : public ProcedureTest {
 protected:
  PlotRequestsTest() : ProcedureTest(/*graphics=*/true) {}
};

TEST_F(PlotRequestsTest, EveryRequestForm) {
  for (const Case& c : kCases) {
    ASSERT_EQ(run(std::string("proc ruva ") + c.plots + "; parms a=1; model y = a;", options_body), 0)
        << c.plots << "\n" << log_text();
    const RUVAGRAPH_CONTROL* g = context()->graph_control;
    ASSERT_NE(g, nullptr) << c.plots;
    EXPECT_EQ(g->yol_graphics_flag + g->show_flag, 2) << c.plots;
    const std::string control = std::string("d") + char('0' + g->default_flag) + " a" + char('0' + g->all_flag) +
                                " u" + char('0' + g->unpack_flag) + " " + type(g->resdtype_flag, g->resdtype);
    EXPECT_EQ(control, c.control) << c.plots;
    EXPECT_EQ(stats(g->ruvaplot_stats), c.global) << c.plots;
    EXPECT_EQ(diagnostics(g), c.diagnostics) << c.plots;
    EXPECT_EQ(residuals(g), c.residuals) << c.plots;
    EXPECT_EQ(fit(g), c.fit) << c.plots;
  }
}

TEST_F(ProcedureTest, PlotsWithGraphicsOffBuildNothing) {
  ASSERT_EQ(run("proc ruva plots=all; parms a=1; model y = a;", options_body), 0) << log_text();
  EXPECT_EQ(context()->graph_control, nullptr);
  EXPECT_EQ(context()->yol_graphics_flag, 0);
}

}  // namespace
