// The OUTPUT data sets of fits of a model linear in its parameters, against
// the closed forms of (weighted) least squares computed here with LAPACK;
// the labels of LABEL statements;
// their layout and description read back by the data-set loader; and the
// OUTPUT pass at a fit state set by the test (a rounding-negative leverage,
// a file of saved diagnostics).
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <tuple>
#include <vector>

#include "optim/lapack.h"
#include "platform/datasets/table_loader.h"
#include "procedure/step_memory.h"
#include "results/diagnostics_record.h"
#include "results/fit_fixture.h"
#include "results/output_data_sets.h"
#include "results/saved_diagnostics.h"

namespace {

using procedure_test::Row;

struct Obs {
  double g, x1, x2, y, w;
};
// y = 3 + 2 x1 - 0.5 x2 + noise; the fifth response is missing.
const Obs kData[] = {{1, 1, 2, 4.3, 1}, {1, 2, 1, 6.3, 2}, {1, 3, 5, 6.0, 1}, {1, 4, 3, 8.1, 3},
                     {1, 5, 6, NAN, 1}, {2, 6, 2, 14.1, 2}, {2, 7, 7, 13.2, 1}, {2, 8, 4, 19.1, 2},
                     {2, 9, 8, 16.9, 3}, {2, 10, 3, 21.7, 1}};
constexpr int kN = 10, kP = 3;
// Quantiles of t on 6 degrees of freedom (9 responses, 3 parameters).
constexpr double kT975 = 2.4469118511449692, kT95 = 1.9431802805153031, kT90 = 1.439755747265148;

std::string data_csv() {
  std::string s = "g,x1,x2,y,w\n";
  for (const Obs& o : kData) {
    char line[128];
    std::snprintf(line, sizeof line, "%g,%g,%g,%s,%g\n", o.g, o.x1, o.x2,
                  std::isnan(o.y) ? "." : std::to_string(o.y).c_str(), o.w);
    s += line;
  }
  return s;
}

// Least squares over observations [from, to): the estimates, the inverse
// C of X'WX (column-major) and the error mean square.
struct LeastSquares {
  std::vector<double> beta, c;
  double s2 = 0;
  static std::vector<double> row(const Obs& o) { return {1.0, o.x1, o.x2}; }
  double leverage(const Obs& o) const {
    const std::vector<double> x = row(o);
    double h = 0;
    for (int i = 0; i < kP; ++i)
      for (int j = 0; j < kP; ++j) h += x[i] * c[j * kP + i] * x[j];
    return h;
  }
  double predicted(const Obs& o) const { return beta[0] + beta[1] * o.x1 + beta[2] * o.x2; }
};

LeastSquares least_squares(int from, int to, bool weighted) {
  std::vector<double> a, b, xtwx(kP * kP, 0.0);
  int m = 0;
  for (int k = from; k < to; ++k) {
    const Obs& o = kData[k];
    if (std::isnan(o.y)) continue;
    const double w = weighted ? o.w : 1.0, sw = std::sqrt(w);
    const std::vector<double> x = LeastSquares::row(o);
    for (int i = 0; i < kP; ++i) {
      a.push_back(sw * x[i]);
      for (int j = 0; j < kP; ++j) xtwx[j * kP + i] += w * x[i] * x[j];
    }
    b.push_back(sw * o.y);
    ++m;
  }
  LeastSquares ls;
  ls.beta = lapack::min_norm_solution(a, m, kP, b, 1e-14);
  ls.c = lapack::symmetric_inverse(xtwx, kP);
  double sse = 0;
  for (int k = from; k < to; ++k) {
    const Obs& o = kData[k];
    if (!std::isnan(o.y)) sse += (weighted ? o.w : 1.0) * std::pow(o.y - ls.predicted(o), 2);
  }
  ls.s2 = sse / (m - kP);
  return ls;
}

void expect_relative(double got, double want, const std::string& what) {
  if (std::isnan(want)) {
    EXPECT_TRUE(std::isnan(got)) << what << " = " << got << ", expected missing";
    return;
  }
  EXPECT_NEAR(got, want, 1e-10 * std::fabs(want)) << what;
}

class OutputDataSetTest : public results_test::FitTest {};

TEST_F(OutputDataSetTest, StatisticsAreTheClosedFormsOfLeastSquares) {
  struct Case {
    bool weighted;
    double sigsq;  // NAN: not given
  } cases[] = {{false, NAN}, {true, NAN}, {true, 4.0}};
  for (const Case& c : cases) {
    const std::string sigsq = std::isnan(c.sigsq) ? "" : " sigsq=" + std::to_string(c.sigsq);
    const std::string program =
        "proc ruva data=d" + sigsq + "; parms a=0 b=0 c=0; " + (c.weighted ? "_weight_ = w; " : "") +
        "model y = a + b*x1 + c*x2; "
        "output out=o p=p stdp=stdp stdi=stdi r=r stdr=stdr student=st h=h l95m=l95m u95m=u95m l95=l95 "
        "u95=u95 lclm=lclm uclm=uclm lcl=lcl ucl=ucl / alpha=0.1; "
        "output out=o2 lcl=lcl ucl=ucl; output out=o3 lclm=lclm ucl=ucl / alpha=0.2;";
    ASSERT_EQ(fit(data_csv(), program), 0) << log_text();
    const LeastSquares ls = least_squares(0, kN, c.weighted);
    const double s2 = std::isnan(c.sigsq) ? ls.s2 : c.sigsq;
    const std::vector<Row> rows = read_rows("o"), rows2 = read_rows("o2"), rows3 = read_rows("o3");
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kN));
    ASSERT_EQ(rows2.size(), static_cast<std::size_t>(kN));
    for (int i = 0; i < kN; ++i) {
      const Obs& o = kData[i];
      const double w = c.weighted ? o.w : 1.0, h = ls.leverage(o), yhat = ls.predicted(o);
      const double r = o.y - yhat, stdp = std::sqrt(h * s2), stdi = std::sqrt((1 / w + h) * s2);
      const double stdr = std::isnan(o.y) ? NAN : std::sqrt((1 / w - h) * s2);
      const std::pair<const char*, double> want[] = {
          {"p", yhat}, {"r", r}, {"h", w * h}, {"stdp", stdp}, {"stdi", stdi}, {"stdr", stdr},
          {"st", r / stdr}, {"l95m", yhat - kT975 * stdp}, {"u95m", yhat + kT975 * stdp},
          {"l95", yhat - kT975 * stdi}, {"u95", yhat + kT975 * stdi}, {"lclm", yhat - kT95 * stdp},
          {"uclm", yhat + kT95 * stdp}, {"lcl", yhat - kT95 * stdi}, {"ucl", yhat + kT95 * stdi}};
      const std::string where = " of observation " + std::to_string(i) + (c.weighted ? ", weighted" : "") + sigsq;
      for (const auto& [name, value] : want) expect_relative(number(rows[i], name), value, name + where);
      // Each statement's limits are at its own level: the PROC statement's
      // ALPHA= (0.05) without one of its own.
      expect_relative(number(rows2[i], "lcl"), yhat - kT975 * stdi, "lcl of o2" + where);
      expect_relative(number(rows2[i], "ucl"), yhat + kT975 * stdi, "ucl of o2" + where);
      expect_relative(number(rows3[i], "lclm"), yhat - kT90 * stdp, "lclm of o3" + where);
      expect_relative(number(rows3[i], "ucl"), yhat + kT90 * stdi, "ucl of o3" + where);
    }
  }
  // Their labels say the level.
  const std::tuple<const char*, const char*, const char*> labels[] = {
      {"o", "lclm", "Lower 90% Confidence Limit for the Mean"}, {"o", "ucl", "Upper 90% Prediction Limit"},
      {"o2", "lcl", "Lower 95% Prediction Limit"}, {"o3", "lclm", "Lower 80% Confidence Limit for the Mean"}};
  for (const auto& [data_set, name, label] : labels) {
    platform::ds::Problem problem;
    const auto table = platform::ds::load_table(std::string("WORK.") + data_set, dir_ / (std::string(data_set) + ".csv"),
                                                &problem);
    ASSERT_TRUE(table) << data_set;
    EXPECT_EQ(table->variables[table->find(name)].label, label) << data_set << "." << name;
  }
}

// An OUTPUT ALPHA= of 0 or 1 gives no level: it is ignored with a warning,
// and the limits are at the PROC statement's level.
TEST_F(OutputDataSetTest, AnOutputAlphaOutsideTheOpenIntervalIsIgnored) {
  for (const char* alpha : {"0", "1"}) {
    ASSERT_EQ(fit(data_csv(), std::string("proc ruva data=d alpha=0.1; parms a=0 b=0 c=0; model y = a + b*x1 + c*x2; "
                                          "output out=o lcl=lcl / alpha=") + alpha + ";"),
              4)
        << log_text();
    EXPECT_NE(log_text().find(std::string("WARNING: ALPHA=") + alpha + " of the OUTPUT statement must lie strictly"),
              std::string::npos)
        << log_text();
    platform::ds::Problem problem;
    const auto table = platform::ds::load_table("WORK.o", dir_ / "o.csv", &problem);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->variables[table->find("lcl")].label, "Lower 90% Prediction Limit") << alpha;
  }
}

// DER acts on its own statement's data set, as ALPHA= does: oc has the
// derivatives of a + b x1 + c x2 (1, x1, x2), oa and ob have none.
TEST_F(OutputDataSetTest, DerivativesGoToTheDataSetOfTheirStatement) {
  ASSERT_EQ(fit(data_csv(), "proc ruva data=d; parms a=0 b=0 c=0; model y = a + b*x1 + c*x2; output out=oa"
                            " lclm=l / alpha=0.5; output out=ob lclm=l; output out=oc r=r / der;"),
            0)
      << log_text();
  for (const char* name : {"oa", "ob", "oc"}) {
    const std::vector<Row> rows = read_rows(name);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kN)) << name;
    EXPECT_EQ(rows[3].count("DER_b"), name == std::string("oc") ? 1u : 0u) << name;
  }
  const Row oc = read_rows("oc")[3];
  EXPECT_EQ(number(oc, "DER_a"), 1);
  EXPECT_EQ(number(oc, "DER_b"), kData[3].x1);
  EXPECT_EQ(number(oc, "DER_c"), kData[3].x2);
}

// ID lists expand over the variables of the data set and the program, in
// their order: _ALL_, ranges and prefixes, never the parameters or the
// model's own symbols; a list that matches nothing is an error.
TEST_F(OutputDataSetTest, IdListsExpandOverTheProgramsVariables) {
  const std::string body = "length s $ 6; s = 'ab'; z = 10*x1; parms a=0 b=0 c=0; model y = a + b*x1 + c*x2; "
                           "output out=o p=p;";
  for (const char* ids : {"_all_", "g--z", "g x: y w s z", "_character_ z"}) {
    SCOPED_TRACE(ids);
    ASSERT_EQ(fit(data_csv(), std::string("proc ruva data=d; by g; id ") + ids + "; " + body), 0) << log_text();
    platform::ds::Problem problem;
    const auto table = platform::ds::load_table("WORK.o", dir_ / "o.csv", &problem);
    ASSERT_TRUE(table);
    std::vector<std::string> names;
    for (const auto& v : table->variables) names.push_back(v.name);
    EXPECT_EQ(names, (std::vector<std::string>{"g", "x1", "x2", "y", "w", "s", "z", "p"}));
  }
  EXPECT_NE(fit(data_csv(), "proc ruva data=d; id q:; " + body), 0);
}

// LABEL statements label the parameters in OUTEST= (and in the estimates
// table's Label column, shown under an active bound) and the program's ID
// variables in OUTPUT data sets; an unlabelled parameter has no label.
TEST_F(OutputDataSetTest, LabelStatementsLabelParametersAndIdVariables) {
  ASSERT_EQ(fit(data_csv(), "proc ruva data=d outest=est; id z; z = 10*x1; label a = 'Intercept at zero' z = 'Ten x1'; "
                            "parms a=0 b=0 c=0; bounds c >= 0; model y = a + b*x1 + c*x2; output out=o p=p;"),
            0)
      << log_text();
  auto labels = [&](const char* name) {
    platform::ds::Problem problem;
    const auto table = platform::ds::load_table(std::string("WORK.") + name, dir_ / (std::string(name) + ".csv"), &problem);
    std::map<std::string, std::string> out;
    if (table)
      for (const auto& v : table->variables) out[v.name] = v.label;
    return out;
  };
  const auto est = labels("est");
  EXPECT_EQ(est.at("a"), "Intercept at zero");
  EXPECT_EQ(est.at("b"), "");
  EXPECT_EQ(labels("o").at("z"), "Ten x1");
  const results_test::Json t = table("ParameterEstimates");
  EXPECT_EQ(cell(t, 0, "Label"), "Intercept at zero");
  EXPECT_EQ(cell(t, 1, "Label"), "");
}

TEST_F(OutputDataSetTest, ByGroupsAppendInOrderAndTheDataSetReadsBack) {
  const std::string program =
      "proc ruva data=d; by g; id s z; length s $ 6; s = 'ab'; z = 10*x1; parms a=0 b=0 c=0; "
      "model y = a + b*x1 + c*x2; "
      "output out=o p=p h=h stdi=stdi weight=wt sse=sse parms=pa pb pc pd / der;";
  ASSERT_EQ(fit(data_csv(), program), 0) << log_text();
  EXPECT_EQ(logged(110), 1);
  EXPECT_NE(log_text().find("pb = b"), std::string::npos) << log_text();

  platform::ds::Problem problem;
  const auto table = platform::ds::load_table("WORK.o", dir_ / "o.csv", &problem);
  ASSERT_TRUE(table);
  EXPECT_EQ(table->type, "DATA    ");
  EXPECT_EQ(table->label, "RUVA OUTPUT DATASET");
  EXPECT_EQ(table->rows, kN);
  const std::vector<std::string> names = {"g",  "x1", "x2", "y", "w",   "s",  "z",     "p",     "pa",
                                          "pb", "pc", "h",  "sse", "wt", "stdi", "DER_a", "DER_b", "DER_c"};
  ASSERT_EQ(table->variables.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    const platform::ds::Variable& v = table->variables[i];
    EXPECT_EQ(v.name, names[i]);
    EXPECT_EQ(v.type, v.name == "s" ? platform::ds::VarType::Character : platform::ds::VarType::Numeric) << v.name;
    EXPECT_EQ(v.length, v.name == "s" ? 6 : 8) << v.name;
  }
  const std::pair<const char*, int> labels[] = {{"h", 113}, {"sse", 114}, {"wt", 115}, {"stdi", 116}};
  for (const auto& [name, msg] : labels)
    EXPECT_EQ(table->variables[table->find(name)].label, message(msg)) << name;

  const std::vector<Row> rows = read_rows("o");
  const LeastSquares group[] = {least_squares(0, 5, false), least_squares(5, kN, false)};
  for (int i = 0; i < kN; ++i) {
    const Obs& o = kData[i];
    const LeastSquares& ls = group[i < 5 ? 0 : 1];
    const std::string where = " of observation " + std::to_string(i);
    EXPECT_EQ(number(rows[i], "g"), o.g) << where;
    EXPECT_EQ(number(rows[i], "x1"), o.x1) << where;
    EXPECT_EQ(rows[i].at("s"), "ab") << where;
    EXPECT_EQ(number(rows[i], "z"), 10 * o.x1) << where;
    const std::pair<const char*, double> want[] = {{"pa", ls.beta[0]}, {"pb", ls.beta[1]}, {"pc", ls.beta[2]},
                                                   {"p", ls.predicted(o)}, {"h", ls.leverage(o)},
                                                   {"DER_a", 1}, {"DER_b", o.x1}, {"DER_c", o.x2}};
    for (const auto& [name, value] : want) expect_relative(number(rows[i], name), value, name + where);
  }
}

// The OUTPUT pass after a fit whose state the test sets.
std::function<void(RUVACOM*)> g_before_output;

void output_body() {
  RUVACOM* ctx = procedure_test::begin_step(2);
  if (jovouti() != 0) xexit(1016, 0);
  while (xbynext(ctx->fiddata) > 0) {
    if (jovgrid(ctx) == 0) {
      jovopt(ctx);
      g_before_output(ctx);
      jovout(ctx);
    }
    reset_for_next_bygroup(ctx);
  }
  for (int k = 0; k < ctx->nout; ++k) xvputt(ctx->outsets[k].list);
  xexit(ctx->rc, 0);
}

// A leverage just below 0 counts as 0; saved diagnostics land on their own
// observation, also after one that has no individual statistics (weight 0).
TEST_F(OutputDataSetTest, RoundingNegativeLeverageAndSavedDiagnostics) {
  write_file("d.csv", "x,y,w\n1,2.1,1\n2,3.9,0\n3,6.2,1\n4,7.8,2\n5,10.1,1\n");
  constexpr int kRows = 5;
  double s2 = 0;
  g_before_output = [&s2](RUVACOM* ctx) {
    s2 = ctx->mse;
    ctx->xpx[0] = -1e-30;
    XC_OPEN block{};
    std::memcpy(block.memname, "UTILITY ", 8);
    block.flags = 0x82000008u;
    auto* diag = ruva_new<RUVADIAG>();
    ASSERT_EQ(xcopen(&diag->diag_file_ptr, &block), 0);
    for (int i = 0; i < kRows; ++i) {
      const double row[kSavedDiagnostics] = {i + 0.5, i + 1.5, i + 2.5, i + 3.5, i + 4.5};
      xcwrite(diag->diag_file_ptr, row, sizeof row);
    }
    ctx->ruvadiag = diag;
    ctx->save_diag_flag = 1;
  };
  const int rc = run("proc ruva data=d; parms b=1; _weight_ = w; model y = b*x; "
                     "output out=o stdp=stdp stdi=stdi stdr=stdr h=h rexpec=e pres=pr prstud=ps j=j lmax=lm;",
                     output_body);
  g_before_output = nullptr;
  ASSERT_EQ(rc, 0) << log_text();
  const double w[kRows] = {1, 0, 1, 2, 1};
  const std::vector<Row> rows = read_rows("o");
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kRows));
  for (int i = 0; i < kRows; ++i) {
    const std::string where = " of observation " + std::to_string(i);
    EXPECT_EQ(number(rows[i], "stdp"), 0.0) << where;
    const double individual = w[i] > 0 ? std::sqrt(s2 / w[i]) : NAN;
    expect_relative(number(rows[i], "stdi"), individual, "stdi" + where);
    expect_relative(number(rows[i], "stdr"), individual, "stdr" + where);
    expect_relative(number(rows[i], "h"), w[i] > 0 ? 0.0 : NAN, "h" + where);
    const char* saved[kSavedDiagnostics] = {"e", "pr", "ps", "j", "lm"};
    for (int k = 0; k < kSavedDiagnostics; ++k) EXPECT_EQ(number(rows[i], saved[k]), i + k + 0.5) << saved[k] << where;
  }
}

// y = 1 + x fits exactly: the error variance is 0, and so is every
// covariance, the negative ones of the inverse (cov(a, b) < 0) included:
// written 0, not -0.
TEST_F(OutputDataSetTest, ZerosOfAnExactFitAreWrittenWithoutASign) {
  ASSERT_EQ(fit("x,y\n1,2\n2,3\n3,4\n4,5\n", "proc ruva data=d outest=est; parms a=0 b=0; model y=a+b*x;"), 0)
      << log_text();
  int covb = 0;
  for (const Row& r : rows_of("est", "COVB")) {
    ++covb;
    for (const char* parm : {"a", "b"}) EXPECT_EQ(r.at(parm), "0") << r.at("_NAME_") << ' ' << parm;
  }
  EXPECT_EQ(covb, 2);
}

}  // namespace
