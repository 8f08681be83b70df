// Refits of programs that carry values from one observation to the next or
// leave a run early: profiling and the bootstrap must refit the model the
// fit fitted, or say with a WARNING that they cannot and do nothing.
#include <cmath>
#include <fstream>
#include <sstream>
#include <tuple>

#include "results/fit_fixture.h"

namespace {

using procedure_test::Row;

// Puromycin, both states, with i counting the observations of each state.
std::string puromycin_with_index(bool treated_only) {
  std::ifstream in(std::string(RUVA_SOURCE_DIR) + "/examples/puromycin.csv");
  std::ostringstream out;
  std::string line, state;
  std::getline(in, line);
  out << line << ",i\n";
  for (int i = 0; std::getline(in, line);) {
    const std::string s = line.substr(line.rfind(',') + 1);
    if (treated_only && s != "treated") continue;
    i = s == state ? i + 1 : 1;
    state = s;
    out << line << ',' << i << '\n';
  }
  return out.str();
}

class RefitProgramsTest : public results_test::FitTest {
 protected:
  // The numeric cells of a data set, row by row.
  std::vector<std::vector<double>> numbers(const std::string& name) const {
    std::vector<std::vector<double>> out;
    for (const Row& r : read_rows(name)) {
      out.emplace_back();
      for (const auto& [column, text] : r)
        if (column != "_TYPE_" && column != "_PROF_PARM_" && column != "state")
          out.back().push_back(number(r, column));
    }
    return out;
  }
  std::vector<std::vector<double>> profdata, bootdata;
  // The reference refit of each BY group (from data set pd) returns to the
  // fit's (data set est). It may improve on the last digits of the fit,
  // which stopped when R fell below 1e-5.
  void expect_reference_returns_to_fit() const {
    const std::vector<Row> fits = rows_of("est", "FINAL"), refs = rows_of("pd", "REF");
    ASSERT_EQ(refs.size(), 2u);
    for (int g = 0; g < 2; ++g)
      for (const auto& [column, tolerance] : {std::pair{"_SSE_", 1e-8}, {"Vm", 1e-4}, {"Km", 1e-4}})
        EXPECT_NEAR(number(refs[g], column), number(fits[g], column),
                    tolerance * number(fits[g], column))
            << column;
  }
  int run_treated(const std::string& statements) {
    const int rc = fit(puromycin_with_index(true),
                       "proc ruva data=d; parms Vm=200 K=0.05; " + statements +
                           " profile Vm K / all profdata=pd; bootstrap / seed=7 bootdata=bd;");
    profdata = numbers("pd"), bootdata = numbers("bd");
    return rc;
  }
};

void expect_same(const std::vector<std::vector<double>>& a,
                 const std::vector<std::vector<double>>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t r = 0; r < a.size(); ++r) {
    ASSERT_EQ(a[r].size(), b[r].size());
    for (std::size_t c = 0; c < a[r].size(); ++c) {
      if (std::isnan(a[r][c])) {
        EXPECT_TRUE(std::isnan(b[r][c])) << "row " << r << " column " << c;
        continue;
      }
      EXPECT_NEAR(b[r][c], a[r][c], 1e-7 * std::max(1.0, std::fabs(a[r][c])))
          << "row " << r << " column " << c;
    }
  }
}

// A CONTROL counter, a RETURN after the MODEL statement and a model value
// formed in a LINK routine refit the same model as the plain program: the
// same reference, profile, jackknife and bootstrap rows.
TEST_F(RefitProgramsTest, CountersReturnAndLinkRefitTheFittedModel) {
  ASSERT_EQ(run_treated("model rate = Vm*conc/(K+conc) + 0.5*i;"), 0) << log_text();
  const auto plain_prof = profdata, plain_boot = bootdata;
  ASSERT_EQ(plain_prof.size(), 1u + 2 * 21 + 12);
  ASSERT_EQ(plain_boot.size(), 1000u);
  for (const std::string program : {
           "control cnt 0; cnt = cnt + 1; model rate = Vm*conc/(K+conc) + 0.5*cnt;",
           "retain cnt 0; cnt = cnt + 1; model rate = Vm*conc/(K+conc) + 0.5*cnt;",
           "model rate = Vm*conc/(K+conc) + 0.5*i; if conc < 0.05 then return;",
           "link calc; model rate = m; return; calc: m = Vm*conc/(K+conc) + 0.5*i; return;",
       }) {
    SCOPED_TRACE(program);
    ASSERT_EQ(run_treated(program), 0) << log_text();
    expect_same(plain_prof, profdata);
    expect_same(plain_boot, bootdata);
  }
}

// Programs of the test suite that carry values, leave early, jump or use
// arrays, each profiled per BY group, unweighted and weighted: the refits
// reproduce the fit's sum of squares at its estimates (no WARNING), and the
// reference refit, which starts off the estimates, returns to the fit's
// sum of squares.
TEST_F(RefitProgramsTest, ReferenceRefitReturnsToTheFitOfEveryProgram) {
  const std::string mm = "Vm*conc/(Km+conc)";
  const std::string programs[] = {
      "control k 0; k = k + 1; model rate = " + mm + " + 0.5*k;",
      "control c 0; c = c + 10*Km; model rate = " + mm + " + c;",  // carries a derivative too
      "retain s 0; top: x2 = conc * conc; control k 1; lab1: model rate = " + mm +
          " + 2*s + k; if x2 > 0.04 then s = s + 1;",
      "retain total 100 count; total = total + conc; count = sum(count, 1); model rate = " + mm +
          " + 0.5*count - 2*(total - 100);",
      "control lag 0 k; d = conc - lag; lag = conc; k = sum(k, 2); model rate = " + mm +
          " + 10*d + 0.1*k;",
      "retain prev; model rate = " + mm + " + 0.05*sum(prev, 0); prev = rate;",
      "array a{3} (1 5 2); if i = 3 then delete; model rate = " + mm +
          " + a{1 + mod(i, 3)}; return;",
      "k = 0; f = 1; top: k = k + 1; f = f * k; if k < 3 then goto top; link twice; link twice;"
      " model rate = " +
          mm + " + f / 24; return; twice: f = f * 2; return;",
      "if conc < 0.05 then goto small; model rate = " + mm + "; return; small: model rate = " + mm +
          " + 1;",
  };
  for (const std::string& program : programs) {
    for (const std::string weight : {"", "_weight_ = 1 / i; "}) {
      SCOPED_TRACE(weight + program);
      ASSERT_EQ(fit(puromycin_with_index(false),
                    "proc ruva data=d outest=est; by state; parms Vm=200 Km=0.05; " + weight +
                        program + " profile Vm Km / profdata=pd;"),
                0)
          << log_text();
      const std::vector<Row> fits = rows_of("est", "FINAL"), refs = rows_of("pd", "REF");
      ASSERT_EQ(refs.size(), 2u);
      ASSERT_EQ(fits.size(), 2u);
      for (int g = 0; g < 2; ++g) {
        const double sse = number(fits[g], "_SSE_");
        EXPECT_NEAR(number(refs[g], "_SSE_"), sse, 1e-8 * sse) << fits[g].at("state");
      }
    }
  }
}

// A parameter the model does not depend on is dropped from the fit, which
// runs the program with the value it was given; the refits read that value
// too (in a term times 0, in a condition), per BY group, weighted or not:
// their rows are those of the program written without it, and the reference
// refit returns to the fit's estimates.
TEST_F(RefitProgramsTest, DroppedParameterKeepsItsValueInTheRefits) {
  const std::string mm = "Vm*conc/(Km+conc)";
  const std::string counter = "control k 0; k = k + 1; array a{3} (1 5 2); model rate = " + mm +
                              " + 0.5*k + a{1 + mod(i, 3)}";
  const std::string jumps = "if conc < 0.05 then goto small; model rate = " + mm +
                            " + 0.05*sum(prev, 0); prev = rate; return; small: model rate = " + mm + " + 1;";
  const std::pair<std::string, std::string> programs[] = {  // without u, with u
      {counter + ";", counter + " + u*0;"},
      {"retain prev; " + jumps, "retain prev; if u <= 0 then return; " + jumps},
  };
  for (const auto& [plain, with_u] : programs) {
    for (const std::string weight : {"", "_weight_ = 1 / i; "}) {
      SCOPED_TRACE(weight + with_u);
      auto run = [&](const std::string& parms, const std::string& program) {
        const int rc = fit(puromycin_with_index(false),
                           "proc ruva data=d outest=est; by state; parms Vm=200 Km=0.05" + parms + "; " +
                               weight + program +
                               " profile Vm Km / all profdata=pd; bootstrap / seed=7 bootdata=bd;");
        profdata = numbers("pd"), bootdata = numbers("bd");
        return rc;
      };
      ASSERT_EQ(run("", plain), 0) << log_text();
      const auto plain_prof = profdata, plain_boot = bootdata;
      ASSERT_EQ(plain_boot.size(), 2000u);
      ASSERT_EQ(run(" u=1", with_u), 4) << log_text();
      EXPECT_NE(log_text().find("WARNING: The model does not depend on the parameter u"), std::string::npos);
      expect_same(plain_prof, profdata);
      expect_same(plain_boot, bootdata);
      expect_reference_returns_to_fit();
    }
  }
}

// A program that changes input variables in place (the response too,
// through an array, in a LINK routine, read by the weight, carried by
// RETAIN and CONTROL, past a GOTO) refits from the values the data set
// holds: per BY group, weighted or not, its rows are those of the same
// program writing new variables, and the reference refit returns to the fit.
TEST_F(RefitProgramsTest, InputChangedInPlaceRefitsAsANewVariable) {
  const std::string programs[] = {
      "X = X*10; control k 0; k = k + 1; model Y = Vm*X/(Km+X) + 0.5*k;",
      "array v{2} X Y; link prep; retain prev 0; if X < 0.1 then goto small;"
      " model Y = log(Vm*X/(Km+X)) + prev; prev = X/100; return;"
      " small: model Y = log(Vm*X/(Km+X)) + 0.1 + prev; prev = X/100; return;"
      " prep: v{1} = v{1}*2; v{2} = log(v{2}); return;",
  };
  auto writing = [](std::string text, bool in_place) {
    for (const auto& [from, input, copy] :
         {std::tuple{'X', "conc", "c2"}, {'Y', "rate", "r2"}, {'I', "i", "i2"}})
      for (std::size_t at; (at = text.find(from)) != std::string::npos;)
        text.replace(at, 1, in_place ? input : copy);
    return in_place ? text : "c2 = conc; r2 = rate; i2 = i; " + text;
  };
  for (const std::string& program : programs) {
    for (const std::string weight : {"", "I = I + 1; _weight_ = 1 / I; "}) {
      auto run = [&](bool in_place) {
        SCOPED_TRACE(writing(weight + program, in_place));
        ASSERT_EQ(fit(puromycin_with_index(false),
                      "proc ruva data=d outest=est; by state; parms Vm=200 Km=0.05; " +
                          writing(weight + program, in_place) +
                          " profile Vm Km / all profdata=pd; bootstrap / seed=7 bootdata=bd;"),
                  0)
            << log_text();
        profdata = numbers("pd"), bootdata = numbers("bd");
        expect_reference_returns_to_fit();
      };
      run(false);
      const auto new_prof = profdata, new_boot = bootdata;
      ASSERT_EQ(new_boot.size(), 2000u);
      run(true);
      expect_same(new_prof, profdata);
      expect_same(new_boot, bootdata);
    }
  }
}

// CONTROL values carried through an observation the fit did not use cannot
// be refitted from the used observations alone: in that BY group a WARNING
// says so and why, and neither profiling nor the bootstrap writes a row;
// the other group is refitted.
TEST_F(RefitProgramsTest, WarningWhenTheRefitsCannotReproduceTheFit) {
  std::string csv = puromycin_with_index(false);
  csv.replace(csv.find("\n0.02,51,untreated"), 18, "\n0.02,.,untreated");
  ASSERT_EQ(fit(csv,
                "proc ruva data=d; by state; parms Vm=200 K=0.05; control cnt 0; cnt = cnt + 1;"
                " model rate = Vm*conc/(K+conc) + 0.5*cnt;"
                " profile Vm K / profdata=pd; bootstrap / seed=7 bootdata=bd;"),
            4);
  const std::string log = log_text();
  EXPECT_NE(log.find("WARNING: The refits of profiling and the bootstrap cannot reproduce the fit"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("carries values (CONTROL or RETAIN) across observations the fit did not use"),
            std::string::npos);
  EXPECT_EQ(log.find("WARNING", log.find("cannot reproduce") + 1), std::string::npos)
      << "one WARNING for the group";
  for (const std::string data : {"pd", "bd"}) {
    const std::vector<Row> rows = read_rows(data);
    EXPECT_FALSE(rows.empty()) << data;
    for (const Row& r : rows) EXPECT_EQ(r.at("state"), "treated") << data;
  }
  // A program reading a variable only the fit sets cannot be evaluated at all.
  ASSERT_EQ(fit(puromycin_with_index(true),
                "proc ruva data=d; parms Vm=200 K=0.05;"
                " model rate = Vm*conc/(K+conc) + 0.5*_obs_; profile Vm K / profdata=pd;"),
            4);
  EXPECT_NE(
      log_text().find("they cannot evaluate the model (0 of the fit's 12 observations usable)"),
      std::string::npos)
      << log_text();
  EXPECT_TRUE(read_rows("pd").empty());
  // A loss of its own is not refitted at all; _MODEL_, which only the fit's
  // passes set, leaves the refits nothing to evaluate, with no reason known.
  for (const auto& [program, said] :
       {std::pair{"model rate = Vm*conc/(K+conc); _loss_ = abs(rate - model.rate);",
                  "the program defines _LOSS_, and the refits minimise the weighted sum of squared residuals."},
        std::pair{"model rate = Vm*conc/(K+conc) + 3*_model_;", "(0 of the fit's 12 observations usable). Profiling"}}) {
    log_.str("");
    ASSERT_EQ(fit(puromycin_with_index(true), std::string("proc ruva data=d; parms Vm=200 K=0.05; ") + program +
                                                  " profile Vm K / profdata=pd;"),
              4);
    EXPECT_NE(log_text().find(said), std::string::npos) << log_text();
    EXPECT_TRUE(read_rows("pd").empty());
  }
}

}  // namespace
