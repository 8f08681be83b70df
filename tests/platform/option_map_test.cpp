// The option map: every option of every procedure statement, with each of
// its synonyms, sets exactly the option bits and fills exactly the fields
// the set-up phase reads. The expectations are typed here from the option
// tables of the procedure's documentation, independently of the parser's
// own table.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "host/statement_records.h"
#include "platform/language/messages.h"
#include "platform/language/step_parser.h"

namespace lang = platform::language;

namespace {

struct Case {
  const char* text;             // the statement (after the PROC statement unless it is one)
  std::set<int> bits;           // every bit the statement ends with
  std::map<int, std::string> fields;  // every field: number -> value as text
};

std::string field_text(const lang::FieldValue& f) {
  char buf[64];
  switch (f.type) {
    case stfield::kNumber: std::snprintf(buf, sizeof buf, "%g", f.number); return buf;
    case stfield::kKeyword: return f.keyword;
    case stfield::kDataset: return "ds:" + f.text;
    case stfield::kText: return "'" + f.text + "'";
    case stfield::kExprs: return "exprs:" + std::to_string(f.count);
    case stfield::kNames: {
      std::string s = "names:";
      for (const std::string& n : f.names) s += " " + n;
      return s;
    }
    default: return "?";
  }
}

// Parses "proc ruva; <statement>;" (or the PROC statement itself) and
// returns the statement's bits and fields.
void check(const Case& c) {
  const std::string text(c.text);
  const bool proc = text.rfind("proc ruva", 0) == 0;
  const std::string step = proc ? text + ";" : "proc ruva; " + text + ";";
  auto parsed = lang::parse_step(step, 1);
  ASSERT_TRUE(parsed->errors.empty()) << c.text << ": message " << parsed->errors[0].message;
  const lang::ProcStatement& st = parsed->statements.at(proc ? 0 : 1);
  std::set<int> bits;
  for (int b = 0; b < 256; ++b)
    if (st.bits.test(static_cast<std::size_t>(b))) bits.insert(b);
  EXPECT_EQ(bits, c.bits) << c.text;
  std::map<int, std::string> fields;
  for (const auto& [k, f] : st.fields) fields[k] = field_text(f);
  EXPECT_EQ(fields, c.fields) << c.text;
}

const Case kProcCases[] = {
    {"proc ruva data=d1", {}, {{9, "ds:d1"}}},
    {"proc ruva outest=lib.o", {}, {{10, "ds:lib.o"}}},
    {"proc ruva eformat", {2}, {}},
    {"proc ruva nohalve", {3}, {}},
    {"proc ruva nohalf", {3}, {}},
    {"proc ruva g4", {4}, {}},
    {"proc ruva mp", {4}, {}},
    {"proc ruva g4singular", {5}, {}},
    {"proc ruva save", {6}, {}},
    {"proc ruva se", {7}, {}},
    {"proc ruva noprint", {8}, {}},
    {"proc ruva noitprint", {9}, {}},
    {"proc ruva checkder", {18}, {}},
    {"proc ruva debug", {19}, {}},
    {"proc ruva debugd", {20}, {}},
    {"proc ruva list", {21}, {}},
    {"proc ruva listcode", {22}, {}},
    {"proc ruva listdep", {23}, {}},
    {"proc ruva xref", {24}, {}},
    {"proc ruva listder", {25}, {}},
    {"proc ruva listall", {21, 22, 23, 25}, {}},
    {"proc ruva hougaard", {26}, {}},
    {"proc ruva houg", {26}, {}},
    {"proc ruva skew", {26}, {}},
    {"proc ruva uncorrecteddf", {27}, {}},
    {"proc ruva nodf", {27}, {}},
    {"proc ruva totalss", {28}, {}},
    {"proc ruva bias", {90}, {}},
    {"proc ruva boxsbias", {90}, {}},
    {"proc ruva ruvameasures", {91}, {}},
    {"proc ruva nonlinearity", {91}, {}},
    {"proc ruva ecov ecorr eder", {92, 93, 94}, {}},
    {"proc ruva flow print trace", {}, {}},
    {"proc ruva best=3", {}, {{1, "3"}}},
    {"proc ruva method=gauss", {}, {{2, "GAUSS"}}},
    {"proc ruva method=Marquardt", {}, {{2, "MARQUARDT"}}},
    {"proc ruva method=gradient", {}, {{2, "GRADIENT"}}},
    {"proc ruva method=dud", {}, {{2, "DUD"}}},
    {"proc ruva method=newton", {}, {{2, "NEWTON"}}},
    {"proc ruva maxiter=50", {}, {{3, "50"}}},
    {"proc ruva iterations=50", {}, {{3, "50"}}},
    {"proc ruva iter=50", {}, {{3, "50"}}},
    {"proc ruva converge=1e-6", {}, {{4, "1e-06"}}},
    {"proc ruva convergence=1e-6", {}, {{4, "1e-06"}}},
    {"proc ruva singular=1e-9", {}, {{5, "1e-09"}}},
    {"proc ruva zeta=0", {}, {{11, "0"}}},
    {"proc ruva tau=0.5", {}, {{12, "0.5"}}},
    {"proc ruva rho=2", {}, {{13, "2"}}},
    {"proc ruva sigsq=1", {}, {{14, "1"}}},
    {"proc ruva step=5", {}, {{15, "5"}}},
    {"proc ruva maxsubit=5", {}, {{15, "5"}}},
    {"proc ruva maxsubiter=5", {}, {{15, "5"}}},
    {"proc ruva smethod=cubic", {}, {{16, "CUBIC"}}},
    {"proc ruva search=golden", {}, {{16, "GOLDEN"}}},
    {"proc ruva searchmethod=halve", {}, {{16, "HALVE"}}},
    {"proc ruva smethod=armgold", {}, {{16, "ARMGOLD"}}},
    {"proc ruva smethod=quad", {}, {{16, "QUAD"}}},
    {"proc ruva convergeobj=1e-4", {}, {{17, "0.0001"}}},
    {"proc ruva convergeparm=1e-4", {}, {{18, "0.0001"}}},
    {"proc ruva convergeparms=1e-4", {}, {{18, "0.0001"}}},
    {"proc ruva epsilon=1e-7", {}, {{19, "1e-07"}}},
    {"proc ruva alpha=0.1", {}, {{20, "0.1"}}},
    {"proc ruva nthreads=4", {}, {{26, "4"}}},
    {"proc ruva df=10", {}, {{27, "10"}}},
    // PLOTS
    {"proc ruva plots", {1}, {}},
    {"proc ruva plot", {1}, {}},
    {"proc ruva plots(unpack)", {1, 30}, {}},
    {"proc ruva plots(unpackpanel residualtype=proj)", {1, 30}, {{21, "PROJ"}}},
    {"proc ruva plots(residualtype=projected)", {1}, {{21, "PROJECTED"}}},
    {"proc ruva plots(stats=none)", {1, 31}, {}},
    {"proc ruva plots(stats=default)", {1, 32}, {}},
    {"proc ruva plots(stats=all)", {1, 33}, {}},
    {"proc ruva plots(stats=(nobs nparm mse var pvar maxincurv maxpecurv rmsincurv rmspecurv default))",
     {1, 34, 35, 36, 37, 83, 84, 38, 39, 40, 41, 43}, {}},
    {"proc ruva plots=all", {1, 29, 44}, {}},
    {"proc ruva plots=none", {1, 29, 45}, {}},
    {"proc ruva plots=diagnostics", {1, 29, 46}, {}},
    {"proc ruva plots=diagnosticspanel", {1, 29, 46}, {}},
    {"proc ruva plots=residuals", {1, 29, 47}, {}},
    {"proc ruva plots=residualspanel", {1, 29, 47}, {}},
    {"proc ruva plots=residualplot", {1, 29, 47}, {}},
    {"proc ruva plots=fit", {1, 29, 48}, {}},
    {"proc ruva plots=fitplot", {1, 29, 48}, {}},
    {"proc ruva plots=(residuals fit)", {1, 29, 47, 48}, {}},
    {"proc ruva plots=diagnostics(unpack labelobs residualtype=raw leveragetype=jacobian "
     "stats=(nobs nparm mse var pvar maxincurv maxpecurv rmsincurv rmspecurv default))",
     {1, 29, 46, 49, 62, 50, 54, 55, 56, 57, 85, 86, 58, 59, 60, 61, 63}, {{22, "RAW"}, {25, "JACOBIAN"}}},
    {"proc ruva plots=diagnostics(unpackpanel leveragetype=tan)", {1, 29, 46, 49}, {{25, "TAN"}}},
    {"proc ruva plots=diagnostics(leveragetype=tangential stats=none)", {1, 29, 46, 50, 51}, {{25, "TANGENTIAL"}}},
    {"proc ruva plots=diagnostics(leveragetype=jac stats=default)", {1, 29, 46, 50, 52}, {{25, "JAC"}}},
    {"proc ruva plots=diagnostics(leveragetype=both stats=all)", {1, 29, 46, 50, 53}, {{25, "BOTH"}}},
    {"proc ruva plots=residuals(unpack smooth residualtype=both)", {1, 29, 47, 64, 65}, {{23, "BOTH"}}},
    {"proc ruva plots=residuals(unpackpanel)", {1, 29, 47, 64}, {}},
    {"proc ruva plots=fit(noclm nocli nolimits contleg obs=outlinegradient "
     "stats=(nobs nparm mse var pvar maxincurv maxpecurv rmsincurv rmspecurv default))",
     {1, 29, 48, 66, 67, 68, 81, 69, 73, 74, 75, 76, 87, 88, 77, 78, 79, 80, 82}, {{24, "OUTLINEGRADIENT"}}},
    {"proc ruva plots=fit(observations=gradient stats=none)", {1, 29, 48, 69, 70}, {{24, "GRADIENT"}}},
    {"proc ruva plots=fit(obs=none stats=default)", {1, 29, 48, 69, 71}, {{24, "NONE"}}},
    {"proc ruva plots=fit(obs=outline stats=all)", {1, 29, 48, 69, 72}, {{24, "OUTLINE"}}},
    {"proc ruva plots(stats=(mse))=(diagnostics(stats=(var)) fit(stats=(pvar)))",
     {1, 34, 37, 29, 46, 50, 54, 85, 48, 69, 73, 88}, {}},
};

const Case kOtherCases[] = {
    // OUTPUT: every statistic into its field; OUT= is field 25.
    {"output out=o p=a", {}, {{25, "ds:o"}, {1, "names: a"}}},
    {"output out=o pred=a", {}, {{25, "ds:o"}, {1, "names: a"}}},
    {"output out=o predicted=a", {}, {{25, "ds:o"}, {1, "names: a"}}},
    {"output out=o stdp=a l95m=b u95m=c l95=d u95=e", {},
     {{25, "ds:o"}, {2, "names: a"}, {3, "names: b"}, {4, "names: c"}, {5, "names: d"}, {6, "names: e"}}},
    {"output out=o r=a stdr=b student=c lclm=d uclm=e lcl=f ucl=g", {},
     {{25, "ds:o"}, {7, "names: a"}, {8, "names: b"}, {9, "names: c"}, {10, "names: d"},
      {11, "names: e"}, {12, "names: f"}, {13, "names: g"}}},
    {"output out=o residual=a", {}, {{25, "ds:o"}, {7, "names: a"}}},
    {"output out=o parms=p1 p2 p3 h=a sse=b weight=c stdi=d", {},
     {{25, "ds:o"}, {14, "names: p1 p2 p3"}, {15, "names: a"}, {16, "names: b"}, {17, "names: c"},
      {18, "names: d"}}},
    {"output out=o ess=b", {}, {{25, "ds:o"}, {16, "names: b"}}},
    {"output out=o resexpec=a projres=b projstudent=c j=d lmax=e", {},
     {{25, "ds:o"}, {19, "names: a"}, {20, "names: b"}, {21, "names: c"}, {22, "names: d"}, {23, "names: e"}}},
    {"output out=o rexpec=a pres=b prstud=c", {},
     {{25, "ds:o"}, {19, "names: a"}, {20, "names: b"}, {21, "names: c"}}},
    {"output out=o parms=q1-q3 / alpha=0.1 der", {1}, {{25, "ds:o"}, {14, "names: q1 q2 q3"}, {24, "0.1"}}},
    // BOOTSTRAP
    {"bootstrap / nsamples=10 seed=5 bootdata=b", {}, {{1, "10"}, {2, "5"}, {3, "ds:b"}}},
    {"boot / data=b", {}, {{3, "ds:b"}}},
    {"bootstrap / dgp=residual", {1, 2}, {}},
    {"bootstrap / dgp=res(adjsse jac raw tan)", {1, 2, 7, 8, 9, 10}, {}},
    {"bootstrap / dgp=wild", {1, 3}, {}},
    {"bootstrap / bootplots", {4}, {}},
    {"bootstrap / plots(hist scatter all)", {4, 11, 12, 13}, {}},
    {"bootstrap / bootci", {5}, {}},
    {"bootstrap / ci(bc normal perc all)", {5, 14, 15, 16, 17}, {}},
    {"bootstrap / bootcov bootcorr", {6, 18}, {}},
    {"BOOT / cov corr", {6, 18}, {}},
    // PROFILE
    {"profile a b / range=-1 to 1 by 0.5", {5}, {{1, "names: a b"}, {4, "-1"}, {5, "1"}, {6, "0.5"}}},
    {"profile a / profdata=p", {}, {{1, "names: a"}, {2, "ds:p"}}},
    {"profile a / tplot", {1}, {{1, "names: a"}}},
    {"profile a / t profilet", {1}, {{1, "names: a"}}},
    {"profile a / confcurv", {2}, {{1, "names: a"}}},
    {"profile a / ccurv", {2}, {{1, "names: a"}}},
    {"profile a / jackknife", {3}, {{1, "names: a"}}},
    {"profile / all", {4}, {{1, "names:"}}},
    // ESTIMATE and CONTRAST
    {"estimate 'e' a / alpha=0.1 df=3 der", {1}, {{4, "'e'"}, {2, "exprs:1"}, {5, "0.1"}, {6, "3"}}},
    {"estimate 'e' a/b / derivs", {1}, {{4, "'e'"}, {2, "exprs:1"}}},
    {"estimate 'e' a / derivatives", {1}, {{4, "'e'"}, {2, "exprs:1"}}},
    {"contrast 'c' a, b - 1, c / df=2", {}, {{4, "'c'"}, {2, "exprs:3"}, {6, "2"}}},
    // PARMS
    {"parms a=1 b=2 / pdata=p", {}, {{1, "names: a b"}, {2, "ds:p"}}},
    {"parameters a=1 / data=p", {}, {{1, "names: a"}, {2, "ds:p"}}},
};

}  // namespace

TEST(OptionMap, ProcedureStatementOptions) {
  for (const Case& c : kProcCases) check(c);
}

TEST(OptionMap, OutputBootstrapProfileEstimateContrastParms) {
  for (const Case& c : kOtherCases) check(c);
}

TEST(OptionMap, KeywordsAreCaseBlindAndDollarKeywordsAreMatchedWithoutTheDollar) {
  check({"proc ruva CONVERGENCE=1E-3 NThreads=2 Debug DebugD MaxSubIter=3 SearchMethod=ArmGold",
         {19, 20}, {{4, "0.001"}, {26, "2"}, {15, "3"}, {16, "ARMGOLD"}}});
}

TEST(OptionMap, NumbersAcceptDatesAndSigns) {
  check({"proc ruva df='02jan1960'd sigsq=+3", {}, {{27, "1"}, {14, "3"}}});
}

// A missing value would read as the option left out: it is refused, with
// the option's range where it has one.
TEST(OptionMap, AMissingValueWhereAnOptionTakesANumberIsRefused) {
  struct M { const char* text; const char* option; const char* range; } cases[] = {
      {"proc ruva best=.", "BEST", "0 to 10000"},          {"proc ruva maxiter=.", "MAXITER", "0 to 32000"},
      {"proc ruva iter=.A", "MAXITER", "0 to 32000"},      {"proc ruva converge=._", "CONVERGE", "0 to 1"},
      {"proc ruva singular=.", "SINGULAR", "0 to 1"},      {"proc ruva tau=.", "TAU", "0 to 1"},
      {"proc ruva rho=.", "RHO", "0 to 10000"},            {"proc ruva sigsq=.", "SIGSQ", "0 to 32000"},
      {"proc ruva maxsubit=.", "STEP", "0 to 10000"},      {"proc ruva convergeobj=.", "CONVERGEOBJ", "0 to 1"},
      {"proc ruva convergeparm=.", "CONVERGEPARM", "0 to 1"}, {"proc ruva epsilon=.", "EPSILON", "0 to 1"},
      {"proc ruva alpha=.", "ALPHA", "0 to 1"},            {"proc ruva df=.", "DF", "at least 0"},
      {"proc ruva zeta=.", "ZETA", nullptr},               {"proc ruva nthreads=.", "NTHREADS", nullptr},
      {"proc ruva; output out=o / alpha=.", "ALPHA", "0 to 1"},
      {"proc ruva; bootstrap / nsamples=.", "NSAMPLES", nullptr},
      {"proc ruva; bootstrap / seed=.", "SEED", nullptr},
      {"proc ruva; profile a / range=. to 2 by .", "RANGE", nullptr},
      {"proc ruva; profile a / range=-2 to .Z by 0.1", "RANGE", nullptr},
      {"proc ruva; profile a / range=-2 to 2 by .", "RANGE", nullptr},
      {"proc ruva; estimate 'e' a / alpha=.", "ALPHA", "0 to 1"},
      {"proc ruva; estimate 'e' a / df=.", "DF", "at least 0"},
      {"proc ruva; contrast 'c' a / df=.", "DF", "at least 0"},
  };
  for (const M& c : cases) {
    auto parsed = lang::parse_step(std::string(c.text) + ";", 1);
    ASSERT_EQ(parsed->errors.size(), 1u) << c.text;
    const lang::ParseError& e = parsed->errors[0];
    if (c.range) {
      EXPECT_EQ(e.message, lang::msg::kOutOfRange) << c.text;
      EXPECT_EQ(e.inserts[1], c.option) << c.text;
      EXPECT_EQ(e.inserts[2], c.range) << c.text;
    } else {
      EXPECT_EQ(e.message, lang::msg::kMissingNumber) << c.text;
      EXPECT_EQ(e.inserts[0], c.option) << c.text;
    }
  }
}

TEST(OptionMap, RangeViolationsNameTheOptionTheValueAndTheRange) {
  struct R { const char* text; const char* value; const char* option; const char* range; } cases[] = {
      {"proc ruva best=10001", "10001", "BEST", "0 to 10000"},
      {"proc ruva maxiter=32001", "32001", "MAXITER", "0 to 32000"},
      {"proc ruva iter=-1", "-1", "MAXITER", "0 to 32000"},
      {"proc ruva converge=2", "2", "CONVERGE", "0 to 1"},
      {"proc ruva singular=-1e-3", "-1e-3", "SINGULAR", "0 to 1"},
      {"proc ruva tau=1.5", "1.5", "TAU", "0 to 1"},
      {"proc ruva rho=10001", "10001", "RHO", "0 to 10000"},
      {"proc ruva sigsq=32001", "32001", "SIGSQ", "0 to 32000"},
      {"proc ruva maxsubit=10001", "10001", "STEP", "0 to 10000"},
      {"proc ruva convergeobj=1.01", "1.01", "CONVERGEOBJ", "0 to 1"},
      {"proc ruva convergeparm=-0.5", "-0.5", "CONVERGEPARM", "0 to 1"},
      {"proc ruva epsilon=2", "2", "EPSILON", "0 to 1"},
      {"proc ruva alpha=1.01", "1.01", "ALPHA", "0 to 1"},
      {"proc ruva df=-1", "-1", "DF", "at least 0"},
      {"proc ruva; output out=o / alpha=2", "2", "ALPHA", "0 to 1"},
      {"proc ruva; estimate 'e' a / alpha=-0.1", "-0.1", "ALPHA", "0 to 1"},
      {"proc ruva; estimate 'e' a / df=-2", "-2", "DF", "at least 0"},
      {"proc ruva; contrast 'c' a / df=-1", "-1", "DF", "at least 0"},
  };
  for (const R& c : cases) {
    auto parsed = lang::parse_step(std::string(c.text) + ";", 1);
    ASSERT_EQ(parsed->errors.size(), 1u) << c.text;
    const lang::ParseError& e = parsed->errors[0];
    EXPECT_EQ(e.message, lang::msg::kOutOfRange) << c.text;
    EXPECT_EQ(e.inserts, (std::vector<std::string>{c.value, c.option, c.range})) << c.text;
  }
  // The ends of a range are inside it.
  check({"proc ruva alpha=0 best=10000 df=0", {}, {{20, "0"}, {1, "10000"}, {27, "0"}}});
}

TEST(OptionMap, UnknownOptionsAndValuesAreStatementErrors) {
  for (const char* text : {"proc ruva frobnicate;", "proc ruva method=newtonian;", "proc ruva plots=spaghetti;",
                           "proc ruva; bootstrap / dgp=uniform;", "proc ruva; output out=o zz=a;",
                           "proc ruva; profile a / range;", "proc ruva data=;", "proc ruva best=abc;"}) {
    auto parsed = lang::parse_step(text, 1);
    EXPECT_EQ(parsed->errors.size(), 1u) << text;
  }
}
