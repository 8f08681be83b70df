// The statement-parsing phase of a step, run in a host: the dependent
// variable, the captured model text byte for byte, the statement counts,
// the WHERE and FORMAT notes, and the parsed-statement records.
#include <gtest/gtest.h>

#include <cstring>

#include "host/parse_print_record.h"
#include "host/services.h"
#include "procedure/statement_parsing.h"
#include "platform/dataset_fixture.h"
#include "platform/datasets/registry.h"

namespace {

// What a step's parse left behind, copied out before the step's pools go.
struct Outcome {
  int rc = -1;
  RUVAPARSE r{};
  std::string text;   // the model text over its length
  std::string text_tail;  // the rest of the buffer
  std::string depname;
  std::vector<std::string> statements;  // STMT names
  std::string data_member;              // DATA= data set's name
  XO_FILE* data_file = nullptr;
};

Outcome g_out;

void parse_body() {
  xinit();
  static RUVAPARSE r;
  r = RUVAPARSE{};
  g_out = Outcome{};
  const int rc = ruvapar(&r);
  g_out.r = r;
  if (r.qxcmp_model_text) {
    g_out.text.assign(r.qxcmp_model_text, static_cast<std::size_t>(r.qxcmp_model_text_len));
    g_out.text_tail.assign(r.qxcmp_model_text + r.qxcmp_model_text_len,
                           static_cast<std::size_t>(r.model_text_alloc_size - r.qxcmp_model_text_len));
  }
  if (r.depname.s) g_out.depname.assign(r.depname.s, static_cast<std::size_t>(r.depname.l));
  for (const STMT* s = static_cast<const STMT*>(current_procstr()->head); s; s = s->next) {
    std::string name(s->name, sizeof s->name);
    g_out.statements.push_back(name.substr(0, name.find(' ')));
  }
  if (const STLIST* d = r.prochead ? stmt_field(r.prochead, 9) : nullptr) {
    g_out.data_member = platform::DataSets::name_of(d->v.fid);
    g_out.data_file = d->v.fid;
  }
  if (rc != 0) xexit(3000, 0);
}

class Ruvapar : public DataSetTest {
 protected:
  Ruvapar() { write_file("d.csv", "x,y,g\n1,2,1\n2,3,1\n3,5,2\n"); }

  // Parses `program` in a step of its own, with a fresh log.
  const Outcome& run(const std::string& program) {
    log_.str("");
    const int rc = host().run_step_with(parse_body, platform::StepSource{program, 1, "test.ruva"});
    g_out.rc = rc;
    return g_out;
  }
  bool logged(const std::string& text) const { return log_text().find(text) != std::string::npos; }
  std::string message(int number) { return host().messages().find(305, number)->text; }
};

}  // namespace

TEST_F(Ruvapar, ExactlyOneDependentVariable) {
  EXPECT_EQ(run("proc ruva data=d; parms a=1; y2 = a*x;").rc, 3000);
  EXPECT_TRUE(logged("with MODEL statements; it defines 0.")) << log_text();
  EXPECT_EQ(run("proc ruva data=d; parms a=1; model y = a*x; model z = a;").rc, 3000);
  EXPECT_TRUE(logged("it defines 2.")) << log_text();
  // Two MODEL statements for the same dependent define one.
  const Outcome& o = run("proc ruva data=d; parms a=1; if x > 0 then model Resp = a*x; else model resp = a;");
  EXPECT_EQ(o.rc, 0) << log_text();
  EXPECT_EQ(o.depname, "Resp");
  EXPECT_EQ(o.data_member, "WORK.d");
  EXPECT_EQ(o.r.fiddata, o.data_file);
  // The MODEL statements stand inside IF and ELSE: the text is rebuilt from
  // the compiled statements, each in its own text, with the MODEL places.
  EXPECT_EQ(o.text, " if x > 0 then  else ");
  EXPECT_EQ(o.r.qxprof_block.n_model_stmts, 2);
  EXPECT_EQ(o.r.mmodel_text_loc[0], 15);
  EXPECT_EQ(o.r.mmodel_text_loc[1], 21);
}

TEST_F(Ruvapar, ModelTextOfALabelledProgramByteForByte) {
  const Outcome& o = run(
      "proc ruva data=d;\n"
      "  parms a=1 b=2;\n"
      "  retain s 0;\n"
      "  top: x2 = x * x;  /* a comment */\n"
      "  control k 1;\n"
      "  der.a = 1;\n"
      "  lab1: model y = a + b*x2;\n"
      "  if x2 > 4 then s = s + 1;\n"
      "  by g;\n");
  ASSERT_EQ(o.rc, 0) << log_text();
  // Each token is written one past the text so far and followed by a blank;
  // labels are written as "label:" for every statement, copied or not.
  const std::string expected =
      " retain  s  0  ;"
      " top: x2  =  x  *  x  ;"
      " lab1: if  x2  >  4  then  s  =  s  +  1  ; ";
  EXPECT_EQ(o.text, expected);
  EXPECT_EQ(o.r.model_text_alloc_size, 1024);
  EXPECT_EQ(o.text_tail, std::string(1024 - expected.size(), ' '));
  // The MODEL statement stands right after its label.
  const auto model_at = static_cast<std::int32_t>(std::string(" retain  s  0  ; top: x2  =  x  *  x  ; lab1:").size());
  EXPECT_EQ(o.r.model_text_loc, model_at);
  EXPECT_EQ(o.r.mmodel_text_loc[0], model_at);
  EXPECT_EQ(o.r.qxprof_block.n_retain_stmts, 1);
  EXPECT_EQ(o.r.qxprof_block.n_cntl_stmts, 1);
  EXPECT_EQ(o.r.qxprof_block.n_model_stmts, 1);
  EXPECT_EQ(o.statements, (std::vector<std::string>{"RUVA", "PARMS", "CONTROL", "MODEL", "BY"}));
  EXPECT_EQ(o.r.nby, 1);
}

TEST_F(Ruvapar, ModelTextGrowsPastItsCapacityAndKeepsWhatCameBefore) {
  // 1 + 1 + ... : each token takes 3 bytes of text.
  auto repeat = [](int terms, std::string s, const std::string& next) {
    for (int i = 1; i < terms; ++i) s += next;
    return s;
  };
  auto sum = [&](int terms) { return repeat(terms, "1", " + 1"); };
  auto spaced = [&](int terms) { return repeat(terms, " 1 ", " +  1 "); };
  const std::string first = " a  =  2  ; ";
  const Outcome& o = run("proc ruva; parms p=1; a = 2; b = " + sum(200) + "; c = " + sum(500) +
                         "; model y = p*a;");
  ASSERT_EQ(o.rc, 0) << log_text();
  const std::string expected = first + " b  = " + spaced(200) + " ; " + " c  = " + spaced(500) + " ; ";
  EXPECT_EQ(o.text, expected);
  // 1024 doubled as often as needed: 8192 for about 4.2 kB.
  ASSERT_GT(expected.size(), 4096u);
  ASSERT_LT(expected.size(), 8192u);
  EXPECT_EQ(o.r.model_text_alloc_size, 8192);
  EXPECT_EQ(o.text_tail, std::string(8192 - expected.size(), ' '));
}

TEST_F(Ruvapar, WhereAndFormatSwitchProfilingAndBootstrapOff) {
  struct Case { const char* statements; int message; } cases[] = {
      {"bootstrap; where x > 0;", 504}, {"profile a; where x > 0;", 505},
      {"profile a; boot; where x > 0; format x 8.2;", 506}, {"bootstrap; format x 8.2;", 507},
      {"profile a; format x best8.;", 508}, {"PROFILE a; BOOTSTRAP; FORMAT x 8.2;", 509},
  };
  for (const Case& c : cases) {
    const Outcome& o = run(std::string("proc ruva; parms a=1; model y = a*x; ") + c.statements);
    EXPECT_EQ(o.rc, 0) << c.statements;
    EXPECT_TRUE(logged(message(c.message))) << c.statements << "\n" << log_text();
    EXPECT_EQ(o.r.no_prof_flag, 1) << c.statements;
    EXPECT_EQ(o.r.no_boot_flag, 1) << c.statements;
  }
  // Without WHERE or FORMAT nothing is said and nothing switched off.
  const Outcome& o = run("proc ruva; parms a=1; model y = a*x; profile a; bootstrap;");
  EXPECT_EQ(log_text(), "");
  EXPECT_EQ(o.r.no_prof_flag, 0);
  EXPECT_EQ(o.r.is_profile_spec, 1);
  EXPECT_EQ(o.r.is_bootstrap_spec, 1);
}

TEST_F(Ruvapar, KeywordsCompareCaseBlindWithEverySynonym) {
  const Outcome& o = run("PROC RUVA; Parms a=1; Boot / nsamples=10; Cont k 1; con j; Retain s;"
                         " Where x > 1; Format x 8.2; Model y = a*x; model = 3;");
  ASSERT_EQ(o.rc, 0) << log_text();
  EXPECT_EQ(o.r.is_bootstrap_spec, 1);
  EXPECT_EQ(o.r.qxprof_block.n_cntl_stmts, 2);
  EXPECT_EQ(o.r.qxprof_block.n_retain_stmts, 1);
  EXPECT_EQ(o.r.qxprof_block.n_where_stmts, 1);
  EXPECT_EQ(o.r.qxprof_block.n_format_stmts, 1);
  EXPECT_EQ(o.r.qxprof_block.n_model_stmts, 1);
  // BOOT and CONT are not model text; "model = 3" assigns a variable.
  EXPECT_EQ(o.text, " Retain  s  ;  Where  x  >  1  ;  Format  x  8.2  ;  model  =  3  ; ");
}

TEST_F(Ruvapar, MoreModelStatementsThanPositionsSwitchesProfilingAndBootstrapOff) {
  std::string program = "proc ruva; parms a=1;";
  for (int i = 0; i < 51; ++i) program += " if g = " + std::to_string(i) + " then model y = a*" + std::to_string(i) + ";";
  const Outcome& o = run(program + " profile a;");
  EXPECT_EQ(o.rc, 4) << log_text();  // the warning
  EXPECT_EQ(o.r.qxprof_block.n_model_stmts, 51);
  EXPECT_EQ(o.r.model_text_overflow, 1);
  EXPECT_EQ(o.r.no_prof_flag, 1);
  EXPECT_EQ(o.r.no_boot_flag, 1);
  EXPECT_TRUE(logged("more than 50 MODEL statements")) << log_text();
  EXPECT_GT(o.r.mmodel_text_loc[49], o.r.mmodel_text_loc[48]);
}

TEST_F(Ruvapar, BootstrapOfAComputedDependentLeavesItsStatementsOut) {
  const Outcome& o = run("proc ruva; parms a=1; t = x + 1; y2 = y * 2; m: model y2 = a*t; bootstrap;");
  ASSERT_EQ(o.rc, 0) << log_text();
  EXPECT_EQ(o.r.isDepComputed, 1);
  // Rebuilt from the statements' own text: the one computing y2 is left out,
  // the MODEL statement keeps its label, and without PROFILE this text is
  // the one used.
  EXPECT_EQ(o.text, " t = x + 1; m:");
  EXPECT_EQ(o.r.model_text_loc, 14);
  EXPECT_EQ(o.r.qxcmp_model_text_len1, 14);
}

TEST_F(Ruvapar, DataSetsAreOpenedAndReadByTheByVariables) {
  const Outcome& o = run("proc ruva data=d; parms a=1; model y = a*x; by g; output out=o p=p;");
  ASSERT_EQ(o.rc, 0) << log_text();
  EXPECT_NE(o.data_file, nullptr);
  // A data set that does not exist, or a BY variable that is not in it, is
  // a statement error.
  EXPECT_EQ(run("proc ruva data=nosuch; parms a=1; model y = a*x;").rc, 3000);
  EXPECT_TRUE(logged("nosuch")) << log_text();
  EXPECT_EQ(run("proc ruva data=d; parms a=1; model y = a*x; by h;").rc, 3000);
  EXPECT_TRUE(logged("The BY variable h is not in the data set")) << log_text();
}

TEST_F(Ruvapar, StatementErrorsEndTheStepWith3000) {
  EXPECT_EQ(run("proc ruva maxiter=40000; parms a=1; model y = a*x;").rc, 3000);
  EXPECT_TRUE(logged("ERROR: Line 1, column 11: the value 40000 of the option MAXITER= is outside its range, 0 to 32000."))
      << log_text();
  EXPECT_EQ(run("proc ruva; parms a=1; model y = a*x; restrict a + 1 > 0;").rc, 3000);
  EXPECT_TRUE(logged("RESTRICT statement is not supported")) << log_text();
  EXPECT_TRUE(logged("BOUNDS"));
}

// Each error names where it was found: an option list by the options that
// opened it, a PARMS statement that names neither parameters nor a
// parameter data set, and BOUNDS relations, which are symbols only (LE is
// a name there, and may name a parameter).
TEST_F(Ruvapar, ErrorsNameTheListOrRelationAtFault) {
  const struct {
    const char* statements;
    const char* error;
  } cases[] = {
      {"proc ruva data=d plots(stats=(nobs bogus));", "column 36: bogus is not an option of PLOTS(STATS=(...))."},
      {"proc ruva data=d plots=fit(bogus);", "column 28: bogus is not an option of PLOTS=FIT(...)."},
      {"proc ruva data=d plots(stats=bogus);", "column 30: bogus is not an option of PLOTS(STATS=...)."},
      {"proc ruva data=d; boot / dgp=residual(bogus);", "column 39: bogus is not an option of DGP=RESIDUAL(...)."},
      {"proc ruva data=d; parms / ;", "column 27: the PARMS statement names no parameter; name them, or give their "
                                      "starting values in a data set with PDATA=."},
      {"proc ruva data=d; parms a=1; bounds a le 25;",
       "column 39: expected <, <=, > or >= (BOUNDS takes no LT, LE, GT or GE) but found le."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(std::string(c.statements) + " model y = a*x;").rc, 3000) << c.statements;
    EXPECT_TRUE(logged(std::string("ERROR: Line 1, ") + c.error)) << log_text();
  }
  EXPECT_EQ(run("proc ruva data=d; parms le=1; bounds le <= 25; model y = le*x;").rc, 0) << log_text();
}
