// The procedure statement's options as the context holds them: the
// dependent defaults of METHOD=, the convergence modes, truncated counts and
// switches, and the statement errors for values out of range.
#include <string>
#include <vector>

#include "procedure_fixture.h"

namespace {

using procedure_test::options_body;
using procedure_test::ProcedureTest;

class OptionsTest : public ProcedureTest {
 protected:
  // The context the options `opts` leave; its fields outlive the step.
  const RUVACOM& options(const std::string& opts, int want_rc = 0) {
    EXPECT_EQ(run("proc ruva " + opts + "; parms a=1; model y = a;", options_body), want_rc)
        << opts << "\n" << log_text();
    return *context();
  }
};

TEST_F(OptionsTest, MethodLettersAndTheirDependentDefaults) {
  struct Case {
    const char* method;
    char letter;
    double tau, rho;
  };
  for (const Case& c : std::vector<Case>{{"", 'U', 1.0, 0.1},
                                         {"method=GAUSS", 'U', 1.0, 0.1},
                                         {"method=MARQUARDT", 'R', 0.01, 10.0},
                                         {"method=GRADIENT", 'A', 1.0, 0.1},
                                         {"method=NEWTON", 'W', 1.0, 0.1},
                                         {"method=DUD", 'U', 1.0, 0.1}}) {
    const RUVACOM& o = options(c.method);
    EXPECT_EQ(o.method, c.letter) << c.method;
    EXPECT_EQ(o.tau, c.tau) << c.method;
    EXPECT_EQ(o.rho, c.rho) << c.method;
    EXPECT_EQ(o.nstep, 30) << c.method;
    EXPECT_EQ(logged(85), std::string(c.method) == "method=DUD" ? 1 : 0) << c.method;
  }
  EXPECT_EQ(options("method=marquardt maxsubit=0").nstep, 30);
  EXPECT_EQ(logged(134), 1);
  EXPECT_EQ(options("method=gauss maxsubit=0").nstep, 0);
  EXPECT_EQ(logged(134), 0);
  const RUVACOM& o = options("method=marquardt tau=0.5 rho=2 step=7");
  EXPECT_EQ(o.tau, 0.5);
  EXPECT_EQ(o.rho, 2.0);
  EXPECT_EQ(o.nstep, 7);
}

TEST_F(OptionsTest, ConvergenceModes) {
  struct Case {
    const char* opts;
    char mode;
    double criterion, criter2;  // criter2 -1: not looked at
  };
  for (const Case& c : std::vector<Case>{{"", 'R', 1e-5, -1},
                                         {"convergeparm=1e-6", 'P', 1e-6, 1e-6},
                                         {"converge=1e-3 convergeobj=1e-4 convergeparm=1e-6", 'B', 1e-4, 1e-6},
                                         {"convergeobj=1e-4", 'S', 1e-4, -1},
                                         {"converge=0", 'R', 0.0, -1}}) {  // only a missing value takes the default
    const RUVACOM& o = options(c.opts);
    EXPECT_EQ(o.concrit, c.mode) << c.opts;
    EXPECT_EQ(o.criterion, c.criterion) << c.opts;
    if (c.criter2 >= 0) {
      EXPECT_EQ(o.criter2, c.criter2) << c.opts;
    }
  }
}

TEST_F(OptionsTest, SwitchesAndTruncatedCounts) {
  const RUVACOM& o = options("listall best=2.7 df=0 maxiter=12.9 noHalve mp smethod=golden hougaard");
  EXPECT_EQ(o.list + o.listcode + o.listdep + o.listder, 4);
  EXPECT_EQ(o.xref, 0);
  EXPECT_EQ(o.nrank, 2);
  EXPECT_EQ(o.maxiter, 12);
  EXPECT_EQ(o.estdf, 0.0);
  EXPECT_EQ(o.estdfspec, 0);
  EXPECT_EQ(o.stephalve, 0);
  EXPECT_EQ(o.g4, 1);
  EXPECT_EQ(o.smethod, 'G');
  EXPECT_EQ(o.hougaard_req, 1);
  const RUVACOM& p = options("df=3 g4singular search=armgold");
  EXPECT_EQ(p.estdfspec, 1);
  EXPECT_EQ(p.g4, 1);
  EXPECT_EQ(p.smethod, 'A');
}

TEST_F(OptionsTest, ValuesOutOfRangeEndTheStepWith3000) {
  for (const char* opt :
       {"best=-1", "best=10001", "maxiter=32001", "iter=-2", "converge=2", "singular=1.5", "tau=1.01",
        "rho=10001", "sigsq=32001", "maxsubit=10001", "convergeobj=-1", "convergeparm=2", "epsilon=2",
        "alpha=1.5", "df=-1"}) {
    options(opt, 3000);
    EXPECT_EQ(logged(710), 1) << opt << "\n" << log_text();
  }
  // The grammar takes the bounds themselves; ALPHA= must lie strictly inside.
  for (const char* opt : {"alpha=0", "alpha=1"}) {
    options(opt, 3000);
    EXPECT_EQ(logged(14), 1) << opt;
  }
  EXPECT_EQ(options("alpha=0.01 tau=1 best=10000").alpha, 0.01);
}

}  // namespace
