// The procedure statement's options as the context holds them: every
// default, the dependent defaults of METHOD=, the convergence modes, and the
// statement errors for values out of range.
#include <string>
#include <vector>

#include "host/missing.h"
#include "procedure_fixture.h"

namespace {

using procedure_test::options_body;
using procedure_test::ProcedureTest;

// What the options left in the context.
struct Options {
  char method = 0, smethod = 0, concrit = 0, stephalve = 0, g4 = 0;
  char list = 0, listcode = 0, listdep = 0, listder = 0, xref = 0, hougaard = 0;
  int maxiter = 0, nstep = 0, nrank = 0;
  double criterion = 0, criter2 = 0, epsilon = 0, bepsilon = 0, tau = 0, rho = 0, sigsq = 0, alpha = 0;
  double estdf = 0;
  int estdfspec = 0;
  bool graphs = false;
};

Options g_options;

void keep(RUVACOM* c) {
  g_options = Options{c->method,    c->smethod,  c->concrit,  c->stephalve, c->g4,      c->list,
                      c->listcode,  c->listdep,  c->listder,  c->xref,      c->hougaard_req,
                      c->maxiter,   c->nstep,    c->nrank,    c->criterion, c->criter2, c->epsilon,
                      c->bepsilon,  c->tau,      c->rho,      c->sigsq,     c->alpha,   c->estdf,
                      c->estdfspec, c->graph_control != nullptr};
}

class OptionsTest : public ProcedureTest {
 protected:
  const Options& options(const std::string& opts, int* rc = nullptr) {
    g_options = Options{};
    const int code = run_and_inspect("proc ruva " + opts + "; parms a=1; model y = a;", options_body, keep);
    if (rc) *rc = code;
    else EXPECT_EQ(code, 0) << log_text();
    return g_options;
  }
};

TEST_F(OptionsTest, DefaultsOfEveryOption) {
  const Options& o = options("");
  EXPECT_EQ(o.method, 'U');
  EXPECT_EQ(o.maxiter, 100);
  EXPECT_EQ(o.criterion, 1e-5);
  EXPECT_EQ(o.concrit, 'R');
  EXPECT_EQ(o.epsilon, 1.110223024625157e-12);
  EXPECT_EQ(o.tau, 1.0);
  EXPECT_EQ(o.rho, 0.1);
  EXPECT_EQ(o.sigsq, 1.0);
  EXPECT_EQ(o.nstep, 30);
  EXPECT_EQ(o.smethod, 'H');
  EXPECT_EQ(o.bepsilon, 1e-8);
  EXPECT_EQ(o.alpha, 0.05);
  EXPECT_EQ(o.nrank, -1);
  EXPECT_EQ(o.estdf, -1.0);
  EXPECT_EQ(o.estdfspec, 0);
  EXPECT_EQ(o.stephalve, 1);
  EXPECT_EQ(o.g4, 0);
  EXPECT_FALSE(o.graphs);
}

TEST_F(OptionsTest, MethodLettersAndTheirDependentDefaults) {
  struct Case {
    const char* method;
    char letter;
    double tau, rho;
  };
  for (const Case& c : std::vector<Case>{{"GAUSS", 'U', 1.0, 0.1},
                                         {"MARQUARDT", 'R', 0.01, 10.0},
                                         {"GRADIENT", 'A', 1.0, 0.1},
                                         {"NEWTON", 'W', 1.0, 0.1},
                                         {"DUD", 'U', 1.0, 0.1}}) {
    const Options& o = options(std::string("method=") + c.method);
    EXPECT_EQ(o.method, c.letter) << c.method;
    EXPECT_EQ(o.tau, c.tau) << c.method;
    EXPECT_EQ(o.rho, c.rho) << c.method;
    EXPECT_EQ(o.nstep, 30) << c.method;
    EXPECT_EQ(logged(85), std::string(c.method) == "DUD" ? 1 : 0) << c.method;
  }
}

TEST_F(OptionsTest, MarquardtSubIterationsAndOverrides) {
  EXPECT_EQ(options("method=marquardt maxsubit=0").nstep, 30);
  EXPECT_EQ(logged(134), 1);
  EXPECT_EQ(options("method=gauss maxsubit=0").nstep, 0);
  EXPECT_EQ(logged(134), 0);
  const Options& o = options("method=marquardt tau=0.5 rho=2 step=7");
  EXPECT_EQ(o.tau, 0.5);
  EXPECT_EQ(o.rho, 2.0);
  EXPECT_EQ(o.nstep, 7);
}

TEST_F(OptionsTest, ConvergenceModes) {
  Options o = options("convergeparm=1e-6");
  EXPECT_EQ(o.concrit, 'P');
  EXPECT_EQ(o.criterion, 1e-6);
  EXPECT_EQ(o.criter2, 1e-6);
  o = options("converge=1e-3 convergeobj=1e-4 convergeparm=1e-6");
  EXPECT_EQ(o.concrit, 'B');
  EXPECT_EQ(o.criterion, 1e-4);
  EXPECT_EQ(o.criter2, 1e-6);
  o = options("convergeobj=1e-4");
  EXPECT_EQ(o.concrit, 'S');
  EXPECT_EQ(o.criterion, 1e-4);
  o = options("converge=0");
  EXPECT_EQ(o.concrit, 'R');
  EXPECT_EQ(o.criterion, 0.0);  // only a missing value takes the default
}

TEST_F(OptionsTest, SwitchesAndTruncatedCounts) {
  Options o = options("listall best=2.7 df=0 maxiter=12.9 noHalve mp smethod=golden hougaard");
  EXPECT_EQ(o.list + o.listcode + o.listdep + o.listder, 4);
  EXPECT_EQ(o.xref, 0);
  EXPECT_EQ(o.nrank, 2);
  EXPECT_EQ(o.maxiter, 12);
  EXPECT_EQ(o.estdf, 0.0);
  EXPECT_EQ(o.estdfspec, 0);
  EXPECT_EQ(o.stephalve, 0);
  EXPECT_EQ(o.g4, 1);
  EXPECT_EQ(o.smethod, 'G');
  EXPECT_EQ(o.hougaard, 1);
  EXPECT_EQ(options("df=3 g4singular search=armgold").estdfspec, 1);
  EXPECT_EQ(g_options.g4, 1);
  EXPECT_EQ(g_options.smethod, 'A');
}

TEST_F(OptionsTest, ValuesOutOfRangeEndTheStepWith3000) {
  for (const char* opt :
       {"best=-1", "best=10001", "maxiter=32001", "iter=-2", "converge=2", "singular=1.5", "tau=1.01",
        "rho=10001", "sigsq=32001", "maxsubit=10001", "convergeobj=-1", "convergeparm=2", "epsilon=2",
        "alpha=1.5", "df=-1"}) {
    int rc = 0;
    options(opt, &rc);
    EXPECT_EQ(rc, 3000) << opt;
    EXPECT_EQ(logged(710), 1) << opt << "\n" << log_text();
  }
  // The grammar takes the bounds themselves; ALPHA= must lie strictly inside.
  for (const char* opt : {"alpha=0", "alpha=1"}) {
    int rc = 0;
    options(opt, &rc);
    EXPECT_EQ(rc, 3000) << opt;
    EXPECT_EQ(logged(14), 1) << opt;
  }
  EXPECT_EQ(options("alpha=0.01 tau=1 best=10000").alpha, 0.01);
}

}  // namespace
