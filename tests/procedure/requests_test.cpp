// ESTIMATE, CONTRAST, PROFILE and BOOTSTRAP statements into the context's
// request records, and the statement lookups behind them.
#include <cmath>
#include <string>
#include <vector>

#include "host/missing.h"
#include "procedure/setup.h"
#include "procedure/statement_lookup.h"
#include "procedure_fixture.h"

namespace {

using procedure_test::ProcedureTest;
using procedure_test::setup_body;
using Names = std::vector<std::string>;

std::string name(const CMPSYM* s) { return std::string(s->name, static_cast<std::size_t>(s->nameleng)); }

class RequestsTest : public ProcedureTest {
 protected:
  explicit RequestsTest(bool graphics = false) : ProcedureTest(graphics) {
    write_file("d.csv", "x,y\n1,2\n2,4\n3,5\n");
  }
  // A two-parameter model with both derivatives given, and `extra` statements.
  std::string program(const std::string& extra, const std::string& opts = "") {
    return "proc ruva data=d " + opts + "; parms a=1 b=2; model y = a + b*x; der.a = 1; der.b = x; " + extra;
  }
};

TEST_F(RequestsTest, EstimateAndContrastRecordsAndTheirDerivatives) {
  Names labels, estisym, contsym;
  std::vector<int> contn;
  int estimate_derivatives = -1, contrast_derivatives = -1;
  ASSERT_EQ(run_and_inspect(program("estimate 'ab' a*b; estimate 'twelve chars' 2*a / df=3; "
                                    "contrast 'c1' b, a - b; contrast 'second' a + b;",
                                    "ecov"),
                            setup_body,
                            [&](RUVACOM* c) {
                              for (int i = 0; i < c->nesti; ++i) {
                                labels.emplace_back(c->estilab[i], static_cast<std::size_t>(c->estilen[i]));
                                estisym.push_back(name(c->estisym->s[i]));
                              }
                              contn.assign(c->contn, c->contn + c->ncont);
                              for (int i = 0; i < c->contnt; ++i) contsym.push_back(name(c->contsym->s[i]));
                              estimate_derivatives = c->gradestr ? c->gradestr->der.n : -1;
                              contrast_derivatives = c->gradcstr ? c->gradcstr->der.n : -1;
                            }),
            0)
      << log_text();
  const RUVACOM* c = context();
  EXPECT_EQ(c->nesti, 2);
  EXPECT_EQ(c->maxename, 12);
  EXPECT_EQ(labels, (Names{"ab", "twelve chars"}));
  EXPECT_EQ(estisym, (Names{"ESTIMATE.1", "ESTIMATE.2"}));
  EXPECT_NE(c->ecovmat, nullptr);
  EXPECT_EQ(c->ncont, 2);
  EXPECT_EQ(contn, (std::vector<int>{2, 1}));
  EXPECT_EQ(c->maxcontn, 2);
  EXPECT_EQ(c->maxcname, 6);
  EXPECT_EQ(contsym, (Names{"CONTRAST.1", "CONTRAST.2", "CONTRAST.3"}));
  EXPECT_EQ(estimate_derivatives, 3);  // d(ab)/da, d(ab)/db, d(2a)/da
  EXPECT_EQ(contrast_derivatives, 5);  // d(b)/db, d(a-b)/da, d(a-b)/db, d(a+b)/da, d(a+b)/db
}

TEST_F(RequestsTest, EstimateStatementFaults) {
  EXPECT_EQ(run(program("estimate 'two' a, b;"), setup_body), 1012);
  EXPECT_EQ(logged(602), 1);
  // An expression of the observations ends the step in the set-up.
  EXPECT_EQ(run(program("estimate 'ax' a*x;"), setup_body), 3000);
  EXPECT_EQ(logged(601), 1);
  EXPECT_EQ(run(program("contrast 'cx' b - x;"), setup_body), 3000);
  EXPECT_EQ(logged(621), 1);
  EXPECT_EQ(run(program("estimate 'q' a*q;"), setup_body), 3000);
  EXPECT_EQ(logged(613), 1) << log_text();  // q is read by the expression itself
}

// A variable of the program is fixed for the step when every input it
// depends on is a parameter or has a value of its own: a constant, a RETAIN
// or array initial value. One without a value is named with the variable;
// a variable of the input data set behind it is named itself.
TEST_F(RequestsTest, ProgramVariablesOfTheExpressions) {
  const struct {
    const char* statements;
    int rc;
    const char* error;  // null: accepted
  } cases[] = {
      {"h = 2*a; estimate 'h' h; d = b - 210; contrast 'd' d;", 0, nullptr},
      {"retain q 5; array w[2] (1 2); u = a*q + w[2]; estimate 'u' u; contrast 'u' u;", 0, nullptr},
      {"u = a*q; estimate 'u' u;", 3000,
       "ERROR: Line 1, column 85: The ESTIMATE 'u' expression uses u, which depends on q, read by the program but never given a value."},
      {"retain r; u = 2*a*r; contrast 'u' u;", 3000,
       "The CONTRAST 'u' expression uses u, which depends on r, read by the program but never given a value."},
      {"u = a*x; estimate 'u' u;", 3000, "The ESTIMATE 'u' expression depends on x, which comes from the input data set."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(program(c.statements), setup_body), c.rc) << c.statements << log_text();
    if (c.error) {
      EXPECT_NE(log_text().find(c.error), std::string::npos) << log_text();
    }
  }
}

// A value that can change from one observation to the next (a RETAIN,
// CONTROL or array value the program assigns, a _TEMPORARY_ array, _OBS_,
// _N_) gives the expression a different value at each observation: refused,
// named like a data-set variable (an array's element by the one its
// assignment writes), with the statement's label. Such values kept aside,
// and RETAIN or array initial values never reassigned, leave the
// expression fixed.
TEST_F(RequestsTest, ValuesCarriedBetweenObservations) {
  const struct {
    const char* statements;
    const char* named;  // null: accepted
    int message;
  } cases[] = {
      {"retain r 0; r = r + 1; h = a*r; estimate 'h' h;", "r", 1010},
      {"retain r 0; r = r + 1; h = a*r; contrast 'h' h;", "r", 1011},
      {"retain r 0; r = r + 1; estimate 'h' a*r;", "r", 1010},
      {"retain prev 0; h = a*prev; prev = 2; estimate 'h' h;", "prev", 1010},
      {"control c 1; c = c + 1; h = a*c; contrast 'h' h;", "c", 1011},
      {"array w[2] (1 2); w[1] = w[1] + 1; h = a*w[1]; estimate 'h' h;", "w1", 1010},
      {"array w[2] (1 2); w[2] = w[2] + 1; h = a*w[2]; estimate 'h' h;", "w2", 1010},
      {"array w[2,2] (1 2 3 4); w[2,1] = w[2,1] + 1; estimate 'h' a*w[2,1];", "w3", 1010},
      {"array t[2] _temporary_; t[1] = sum(t[1], 1); h = b*t[1]; contrast 'h' h;", "t[1]", 1011},
      {"array tt[1] _temporary_ (5); tt[1] = tt[1] + 1; estimate 'h' a*tt[1];", "tt[1]", 1010},
      {"array t[2,3] _temporary_; t[2,3] = 1; contrast 'h' b, a*t[2,3];", "t[2,3]", 1011},
      {"array t[2] _temporary_; i = 2; t[i] = 1; estimate 'h' a*t[1];", "the _TEMPORARY_ array t", 1010},
      {"h = a*_obs_; estimate 'h' h;", "_obs_", 1010},
      {"contrast 'h' b*_n_;", "_n_", 1011},
      {"retain n 0; n = n + 1; array t[1] _temporary_; t[1] = n; retain s 3; array w[1] (4); "
       "h = a*s + w[1]; estimate 'h' h; contrast 'h' h;",
       nullptr, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statements);
    EXPECT_EQ(run(program(c.statements), setup_body), c.named ? 3000 : 0) << log_text();
    if (!c.named) continue;
    EXPECT_EQ(logged(c.message), 1) << log_text();
    const std::string which = c.message == 1010 ? "ESTIMATE" : "CONTRAST";
    EXPECT_NE(log_text().find(": The " + which + " 'h' expression depends on " + c.named + ", whose value can change"),
              std::string::npos)
        << log_text();
  }
}

// The error names the statement it refuses: its label, and the line and
// column where it starts.
TEST_F(RequestsTest, TheRefusedStatementIsNamedWithItsLine) {
  const std::string head = "proc ruva data=d;\n parms a=1 b=2;\n model y = a + b*x;\n";
  EXPECT_EQ(run(head + " array tt[1] _temporary_ (5);\n tt[1] = tt[1] + 1;\n estimate 'first' a;\n"
                       "  contrast 'c' b,\n    a*tt[1];\n",
                setup_body),
            3000);
  EXPECT_NE(log_text().find("ERROR: Line 7, column 3: The CONTRAST 'c' expression depends on tt[1], whose value"),
            std::string::npos)
      << log_text();
  EXPECT_EQ(run(head + " u = a*x;\n estimate 'fixed' 2*a;\n   estimate 'u' u;\n", setup_body), 3000);
  EXPECT_NE(log_text().find("ERROR: Line 6, column 4: The ESTIMATE 'u' expression depends on x, which comes from the "
                            "input data set."),
            std::string::npos)
      << log_text();
}

struct Profile {
  bool made = false, off = false;
  Names parms;
  std::vector<double> from, to, by;
  std::string t, c, j;  // per parameter of parmsym
  int u_t = 0, u_c = 0, u_j = 0;
};
Profile g_profile;

void keep_profile(RUVACOM* c) {
  g_profile = Profile{};
  g_profile.off = c->no_prof_flag != 0;
  const RUVAPROFILE_CONTROL* p = c->ruvaprofile_control;
  if (!(g_profile.made = p != nullptr)) return;
  for (int k = 0; k < p->comp.prof_parms.n; ++k) {
    g_profile.parms.push_back(name(p->comp.prof_parms.s[k]));
    if (!p->comp.from) continue;
    g_profile.from.push_back(p->comp.from[k]);
    g_profile.to.push_back(p->comp.to[k]);
    g_profile.by.push_back(p->comp.by[k]);
  }
  for (int i = 0; i < c->nparm; ++i) {
    g_profile.t += char('0' + p->graph.tplot_flag[i]);
    g_profile.c += char('0' + p->graph.confcurv_flag[i]);
    g_profile.j += char('0' + p->graph.jackknife_flag[i]);
  }
  g_profile.u_t = p->graph.u_tplot_flag, g_profile.u_c = p->graph.u_confcurv_flag,
  g_profile.u_j = p->graph.u_jackknife_flag;
}

class ProfileTest : public RequestsTest {
 protected:
  ProfileTest() : RequestsTest(/*graphics=*/true) {}
  int profile(const std::string& statements) { return run_and_inspect(program(statements), setup_body, keep_profile); }
};

TEST_F(ProfileTest, RangesOfSeveralStatementsMerge) {
  ASSERT_EQ(profile("profile a / range=-1 to 1 by 0.5; profile b a / range=-3 to 2 by 0.25 confcurv;"), 0)
      << log_text();
  EXPECT_EQ(g_profile.parms, (Names{"a", "b"}));
  EXPECT_EQ(g_profile.from, (std::vector<double>{-3, -3}));
  EXPECT_EQ(g_profile.to, (std::vector<double>{2, 2}));
  EXPECT_EQ(g_profile.by, (std::vector<double>{0.25, 0.25}));
  EXPECT_EQ(g_profile.t, "10");  // only the first statement asks for t-plots
  EXPECT_EQ(g_profile.c, "11");
  EXPECT_FALSE(g_profile.off);
}

TEST_F(ProfileTest, DefaultsListsAndJackknife) {
  // No names: every parameter, t-plot and confidence curve over -2 to 2 by 0.2.
  ASSERT_EQ(profile("profile;"), 0) << log_text();
  EXPECT_EQ(g_profile.parms, (Names{"a", "b"}));
  EXPECT_EQ(g_profile.from, (std::vector<double>{-2, -2}));
  EXPECT_EQ(g_profile.by, (std::vector<double>{0.2, 0.2}));
  EXPECT_EQ(g_profile.j, "00");
  // Only options after the slash: still every parameter.
  ASSERT_EQ(profile("profile / jackknife;"), 0) << log_text();
  EXPECT_EQ(g_profile.parms, (Names{"a", "b"}));
  EXPECT_EQ(g_profile.u_j, 1);
  EXPECT_EQ(g_profile.u_t + g_profile.u_c, 0);
  EXPECT_TRUE(g_profile.from.empty());  // no ranges without a plot
  // Jackknife of a alone besides a plotted b: a's range stays missing.
  ASSERT_EQ(profile("profile a / jackknife; profile b / tplot;"), 0) << log_text();
  ASSERT_EQ(g_profile.from.size(), 2u);
  EXPECT_TRUE(is_missing(g_profile.from[0]));
  EXPECT_EQ(g_profile.from[1], -2.0);
  EXPECT_EQ(g_profile.t, "01");
  EXPECT_EQ(g_profile.j, "10");
}

TEST_F(ProfileTest, NamesThatAreNotParametersAndIncompleteRanges) {
  ASSERT_EQ(profile("profile x a zz;"), 4) << log_text();
  EXPECT_EQ(logged(434), 2);
  EXPECT_EQ(g_profile.parms, (Names{"a"}));
  EXPECT_EQ(profile("profile a / range=-1 to 1;"), 3000);
  EXPECT_EQ(logged(437), 1);
  EXPECT_EQ(profile("profile a / range=1 to -1 by 0.1;"), 3000);
  EXPECT_EQ(logged(803), 1);
  // A step tiny against the span would ask for millions of refits.
  EXPECT_EQ(profile("profile a / range=-2 to 2 by 1e-6;"), 3000);
  EXPECT_EQ(logged(950), 1);
  ASSERT_EQ(profile("profile a / range=-2 to 2 by 0.0005;"), 0) << log_text();
}

TEST_F(RequestsTest, ProfilingIsOffWithoutGraphicsOrAProfileDataSet) {
  ASSERT_EQ(run_and_inspect(program("profile a;"), setup_body, keep_profile), 0);
  EXPECT_TRUE(g_profile.made);
  EXPECT_TRUE(g_profile.off);
  ASSERT_EQ(run_and_inspect(program("profile a / profdata=pr;"), setup_body, keep_profile), 0);
  EXPECT_FALSE(g_profile.off);
  ASSERT_EQ(run_and_inspect(program(""), setup_body, keep_profile), 0);
  EXPECT_FALSE(g_profile.made);
  EXPECT_TRUE(g_profile.off);
}

struct Boot {
  bool made = false;
  int n = 0, max_n = 0;
  long seed = -1;
  double user_seed = -1;
  int type = 0, scaling = 0;
  std::string plots, ci, cov;
};
Boot g_boot;

void keep_boot(RUVACOM* c) {
  g_boot = Boot{};
  const RUVA_BOOTSTRAP_CONTROL* b = c->ruvabootstrap_control;
  if (!(g_boot.made = b != nullptr)) return;
  g_boot.n = b->n_samples, g_boot.max_n = b->max_user_n_samples, g_boot.seed = b->user_input_seed;
  g_boot.user_seed = b->comp.mr.UserSeed, g_boot.type = b->dgp.type, g_boot.scaling = b->dgp.scaling;
  g_boot.plots = {char('0' + b->plots.hist_box), char('0' + b->plots.scatter)};
  g_boot.ci = {char('0' + b->ci.bc), char('0' + b->ci.perc), char('0' + b->ci.normal)};
  g_boot.cov = {char('0' + b->cov.do_cov), char('0' + b->cov.both_cov_corr_on), char('0' + b->cov.scale_to_corr)};
}

class BootstrapTest : public RequestsTest {
 protected:
  explicit BootstrapTest(bool graphics = false) : RequestsTest(graphics) {}
  // `rc` 4: the statements draw a warning.
  const Boot& boot(const std::string& statements, const std::string& weight = "", int rc = 0) {
    EXPECT_EQ(run_and_inspect(program(weight + statements), setup_body, keep_boot), rc) << log_text();
    return g_boot;
  }
};

// A weighted model draws wild bootstrap samples, an unweighted one residual
// samples, whatever DGP= asks for, with a note when it asked otherwise.
TEST_F(BootstrapTest, TheDataGenerationFollowsTheWeights) {
  const Boot& b = boot("bootstrap;");
  ASSERT_TRUE(b.made);
  EXPECT_EQ(b.type, kDgpResidual);
  EXPECT_EQ(b.scaling, kScaleAdjsse);
  EXPECT_EQ(b.plots, "00");  // graphics are off
  EXPECT_EQ(boot("boot / dgp=residual;", "_weight_ = 1/x; ").type, kDgpWild);
  EXPECT_EQ(logged(502), 1);
  EXPECT_EQ(boot("bootstrap;", "_weight_ = 1/x; ").type, kDgpWild);
  EXPECT_EQ(boot("bootstrap / dgp=wild;").type, kDgpResidual);
  EXPECT_EQ(logged(503), 1);
  // JAC scaling needs second derivatives, which this model gives.
  EXPECT_EQ(boot("bootstrap / dgp=residual(jac);", "der.a.a = 0; der.b.a = 0; der.b.b = 0; ").scaling, kScaleJac);
  EXPECT_FALSE(boot("").made);
}

TEST_F(BootstrapTest, SamplesAndSeeds) {
  Boot b = boot("bootstrap / nsamples=500;");
  EXPECT_EQ(b.n, 1000);
  EXPECT_EQ(b.max_n, 500);
  b = boot("bootstrap / nsamples=2500.9; bootstrap / nsamples=1200;");
  EXPECT_EQ(b.n, 2500);
  EXPECT_EQ(b.max_n, 2500);
  b = boot("bootstrap / seed=12345.7;");
  EXPECT_EQ(b.seed, 12345);
  EXPECT_EQ(b.user_seed, 12345.0);
  b = boot("bootstrap / seed=9007199254740991;");  // 2^53 - 1 is taken
  EXPECT_EQ(b.seed, 9007199254740991L);
  EXPECT_EQ(logged(481), 0);
  b = boot("bootstrap / seed=9007199254740992;", "", 4);
  EXPECT_EQ(b.seed, 0);
  EXPECT_EQ(b.user_seed, 0.0);
  EXPECT_EQ(logged(481), 1);
  b = boot("bootstrap / seed=-4;", "", 4);
  EXPECT_EQ(b.seed, 0);
  EXPECT_EQ(logged(482), 1);
  EXPECT_EQ(run(program("bootstrap / nsamples=1e12;"), setup_body), 3000);
  EXPECT_EQ(logged(804), 1);
}

TEST_F(BootstrapTest, IntervalsAndCovariances) {
  EXPECT_EQ(boot("bootstrap;").ci, "100");
  EXPECT_EQ(boot("bootstrap / bootci(perc normal);").ci, "011");
  EXPECT_EQ(boot("bootstrap / ci(all);").ci, "111");
  EXPECT_EQ(boot("bootstrap;").cov, "000");
  EXPECT_EQ(boot("bootstrap / bootcorr;").cov, "101");
  EXPECT_EQ(boot("bootstrap / bootcov bootcorr;").cov, "111");
  EXPECT_EQ(boot("bootstrap / cov; bootstrap / corr;").cov, "111");
  EXPECT_EQ(boot("bootstrap / cov;").cov, "100");
}

class BootstrapGraphicsTest : public BootstrapTest {
 protected:
  BootstrapGraphicsTest() : BootstrapTest(/*graphics=*/true) {}
};

TEST_F(BootstrapGraphicsTest, PlotsOnlyWithGraphics) {
  EXPECT_EQ(boot("bootstrap;").plots, "10");
  EXPECT_EQ(boot("bootstrap / bootplots(scatter);").plots, "01");
  EXPECT_EQ(boot("bootstrap / plots(all);").plots, "11");
}

// Counting statements by keyword prefix and finding a symbol in a list.
TEST_F(RequestsTest, FindStmtAndGetParmIndex) {
  int profiles = 0, none = 0, index_b = -2, index_x = -2, index_empty = -2;
  bool last_is_third = false;
  ASSERT_EQ(run_and_inspect(program("profile a; profile b; profile a b / jackknife;"), setup_body,
                            [&](RUVACOM* c) {
                              STMT* found = nullptr;
                              profiles = FindStmt("PROF", &found);
                              int k = 0;
                              for (STMT* s = c->prochead; s; s = s->next)
                                if (stmt_is(s, "PROF") && ++k == 3) last_is_third = s == found;
                              STMT* untouched = nullptr;
                              none = FindStmt("CONTRAST", &untouched) + (untouched ? 100 : 0);
                              index_b = get_parm_index(c->parmsym, cmpsyms("b", 1, &c->globcmp));
                              index_x = get_parm_index(c->parmsym, cmpsyms("x", 1, &c->globcmp));
                              CMPLIST empty{};
                              index_empty = get_parm_index(&empty, c->parmsym->s[0]);
                            }),
            0)
      << log_text();
  EXPECT_EQ(profiles, 3);
  EXPECT_TRUE(last_is_third);
  EXPECT_EQ(none, 0);
  EXPECT_EQ(index_b, 1);
  EXPECT_EQ(index_x, -1);
  EXPECT_EQ(index_empty, -1);
}

}  // namespace
