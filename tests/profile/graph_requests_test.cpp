// The graph requests of the procedure as they reach the JSON stream: each
// family's graphs, templates, dynamic variables and groups for realistic
// fits; the score grid's limits against closed forms for a straight line;
// the panel layout; the name-and-label rule; and three faults built
// soundly: graphs of parameters that could not be profiled in a BY group,
// bootstrap groups of a single plot, and the widening of the contour grid.
#include <cmath>
#include <fstream>
#include <sstream>

#include "profile/graph_requests.h"
#include "results/fit_fixture.h"

namespace {

using procedure_test::Row;
using results_test::Json;

class GraphRequestsTest : public results_test::FitTest {
 protected:
  // A step over the Puromycin rates as data set d.
  int rates(const std::string& program) { return fit(results_test::kPuromycin, program); }
  std::vector<Json> items(const std::string& type = "") const {
    std::vector<Json> out;
    std::istringstream in(json_.str());
    for (std::string line; std::getline(in, line);) {
      Json j = Json::parse(line);
      if (type.empty() || j["type"] == type) out.push_back(j);
    }
    return out;
  }
  // The fit plot of a straight line fitted to the rates, against closed forms.
  void check_line_grid() const;
  std::vector<std::string> graph_names() const {
    std::vector<std::string> out;
    for (const Json& g : items("graph")) out.push_back(g["name"]);
    return out;
  }
  Json graph(const std::string& name, int k = 0) const {
    for (const Json& g : items("graph"))
      if (g["name"] == name && k-- == 0) return g;
    ADD_FAILURE() << "no graph " << name;
    return Json::object();
  }
  // The data output whose path the graph names in place `k`.
  Json data_of(const Json& g, std::size_t k) const {
    for (const Json& d : items("data"))
      if (d["path"] == g["path"][k]) return d;
    ADD_FAILURE() << "no data object " << g["path"][k];
    return Json::object();
  }
};

// Straight line y = a + b x by least squares: the inverse cross products.
struct Line {
  double a, b, c00, c01, c11, mse;
};
Line fit_line(const double* x, const double* y, int n) {
  double s = n, sx = 0, sxx = 0, sy = 0, sxy = 0;
  for (int i = 0; i < n; ++i) sx += x[i], sxx += x[i] * x[i], sy += y[i], sxy += x[i] * y[i];
  const double det = s * sxx - sx * sx;
  Line l{0, 0, sxx / det, -sx / det, s / det, 0};
  l.a = l.c00 * sy + l.c01 * sxy, l.b = l.c01 * sy + l.c11 * sxy;
  for (int i = 0; i < n; ++i) l.mse += std::pow(y[i] - l.a - l.b * x[i], 2) / (n - 2);
  return l;
}

TEST(PanelLayout, FollowsThePlotCount) {
  struct Case {
    int n, rows, cols, panels, per_panel;
  };
  for (const Case& c : {Case{1, 1, 1, 1, 1}, Case{2, 1, 2, 1, 2}, Case{3, 2, 2, 1, 4}, Case{4, 2, 2, 1, 4},
                        Case{5, 2, 3, 1, 6}, Case{6, 2, 3, 1, 6}, Case{7, 2, 3, 2, 6}, Case{13, 2, 3, 3, 6},
                        Case{0, 2, 3, 1, 0}}) {
    const PanelLayout l = get_panel_parms(c.n);
    EXPECT_EQ(l.rows, c.rows) << c.n;
    EXPECT_EQ(l.cols, c.cols) << c.n;
    EXPECT_EQ(l.panels, c.panels) << c.n;
    EXPECT_EQ(l.per_panel, c.per_panel) << c.n;
  }
}

// ucm/lcm = yhat ± t sqrt(h mse) and uci/lci = yhat ± t sqrt((h + 1) mse),
// h = (1, x) C (1, x)', on 201 grid rows from the smallest to the largest x,
// then one row per observation with its response. The same line with a
// dependent parameter (with G4 and without) or with a parameter held by its
// bound has the same error degrees of freedom, 10, and the same limits.
TEST_F(GraphRequestsTest, ScoreGridLimitsAreTheClosedFormsOfALine) {
  for (const char* step : {"proc ruva data=d plots=fit; parms a=50 b=100; model rate = a + b*conc;",
                           "proc ruva data=d plots=fit g4; parms a=50 c=0 b=100; model rate = a + c + b*conc;",
                           "proc ruva data=d plots=fit; parms a=50 c=0 b=100; model rate = a + c + b*conc;",
                           "proc ruva data=d plots=fit; parms a=50 b=100 c=0; bounds c >= 0; "
                           "model rate = a + b*conc + c*conc*conc;"}) {
    SCOPED_TRACE(step);
    json_.str("");
    ASSERT_EQ(rates(step), 0) << log_text();
    check_line_grid();
  }
}

void GraphRequestsTest::check_line_grid() const {
  const Line l = fit_line(results_test::kConc, results_test::kRate, 12);
  const Json plot = graph("FitPlot");
  ASSERT_EQ(plot["path"].size(), 2u);
  EXPECT_EQ(data_of(plot, 0)["name"], "OutputStatistics");
  const Json grid = data_of(plot, 1);
  ASSERT_EQ(grid["name"], "ScoreGrid");
  ASSERT_EQ(grid["rows"].size(), 213u);
  for (std::size_t r = 0; r < 213; ++r) {
    const bool observed = r > 200;
    const double x = number(grid, r, "xgrid");
    if (observed) {
      EXPECT_EQ(x, results_test::kConc[r - 201]);
      EXPECT_EQ(number(grid, r, "yvargrid"), results_test::kRate[r - 201]);
    } else {
      EXPECT_NEAR(x, 0.02 + r * (1.10 - 0.02) / 200, 1e-12);
    }
    EXPECT_EQ(cell(grid, r, "yvargrid").is_null(), !observed);
    const double yhat = l.a + l.b * x, h = l.c00 + 2 * l.c01 * x + l.c11 * x * x;
    const double se_mean = std::sqrt(h * l.mse), se_pred = std::sqrt((h + 1) * l.mse);
    EXPECT_NEAR(number(grid, r, "ygrid"), yhat, 1e-9 * std::fabs(yhat));
    EXPECT_NEAR(number(grid, r, "ucmgrid"), yhat + results_test::kT10 * se_mean, 1e-8);
    EXPECT_NEAR(number(grid, r, "lcmgrid"), yhat - results_test::kT10 * se_mean, 1e-8);
    EXPECT_NEAR(number(grid, r, "ucigrid"), yhat + results_test::kT10 * se_pred, 1e-8);
    EXPECT_NEAR(number(grid, r, "lcigrid"), yhat - results_test::kT10 * se_pred, 1e-8);
  }
  const Json& dyn = plot["dynamic"];
  EXPECT_EQ(plot["label"], "Fit of rate by conc with 95% Confidence and Prediction Limits");
  EXPECT_EQ(dyn["_UCM"], "ucmgrid");
  EXPECT_EQ(dyn["_YVARGRID"], "");  // unweighted
  EXPECT_EQ(dyn["_NOBS"], 12);
  EXPECT_EQ(dyn["_SHOWCURVCRIT"], 0);
}

// The observation rows rerun the program over the BY group after the grid:
// with a weight, BY groups and a counter kept for the log, they predict
// exactly as in the fit's own pass. When the counter feeds the prediction
// no curve over x is the model at the observations: no fit plot in either
// group, and one note for the step.
TEST_F(GraphRequestsTest, ObservationRowsPredictAsTheFit) {
  std::ostringstream csv;
  csv << "g,x,w,y\n";
  for (int i = 0; i < 16; ++i) csv << 1 + i / 8 << ',' << i % 8 << ',' << 1 + i % 3 << ',' << 2 + 0.7 * (i % 8) + (i % 8 > 3) + 0.05 * std::sin(i) << '\n';
  const std::string step = "proc ruva data=d plots=fit; by g; parms a=1 b=1 c=0; retain k 0; k = k + 1; "
                           "_weight_ = w; output out=o predicted=p; model y = a + b*x + c*";
  ASSERT_EQ(fit(csv.str(), step + "(x > 3); if k > 100 then put k=;"), 0) << log_text();
  const std::vector<Row> out = read_rows("o");
  for (int group = 0; group < 2; ++group) {
    const Json grid = data_of(graph("FitPlot", group), 1);
    ASSERT_EQ(grid["rows"].size(), 209u);
    for (std::size_t r = 201; r < 209; ++r)
      EXPECT_NEAR(number(grid, r, "ygrid"), number(out[group * 8 + r - 201], "p"), 1e-9) << group << " " << r;
    EXPECT_EQ(graph("FitPlot", group)["dynamic"]["_YVARGRID"], "yvargrid");  // weighted
  }
  json_.str("");
  ASSERT_EQ(fit(csv.str(), step + "(k > 4);"), 0) << log_text();
  EXPECT_TRUE(items("graph").empty());
  EXPECT_EQ(logged(750), 1) << log_text();
}

// Programs that carry values from one observation to the next. Where the
// carried value feeds the prediction (a counter, the previous observation's
// value through RETAIN or CONTROL, an array element with an initial value,
// a _TEMPORARY_ array, _OBS_, _N_, a jump that skips the model) the fit
// plot is left out with a note naming it; where it does not (a counter for
// the log, LINK and RETURN, GOTO, CONTROL and _TEMPORARY_ values kept
// aside) the plot is drawn from the very grid of the plain model.
TEST_F(GraphRequestsTest, CurvesOfProgramsThatCarryValues) {
  const std::string model = "model rate = Vm*conc/(K + conc)";
  const auto grid_of = [&](const std::string& program) {
    json_.str("");
    log_.str("");
    EXPECT_EQ(rates("proc ruva data=d plots=fit; parms Vm=200 K=0.05; " + program), 0) << program << log_text();
    const std::vector<std::string> names = graph_names();
    return names.empty() ? Json() : data_of(graph("FitPlot"), 1)["rows"];
  };
  const Json plain = grid_of(model + ";");
  ASSERT_EQ(plain.size(), 213u);
  for (const std::string& drawn :
       {"retain n 0; n = n + 1; if n > 100 then put n=; " + model + ";",
        "link sub; " + model + "*f; return; sub: f = 1; return;",
        "f = 1; if conc < 0 then goto done; f = 2; done: " + model + "*(f > 0);",
        "control c0 0; c0 = c0 + conc; " + model + ";",
        "array t[2] _temporary_; t[1] = conc; " + model + ";",
        "retain seven 7; " + model + " + 0*seven;"}) {
    SCOPED_TRACE(drawn);
    EXPECT_EQ(grid_of(drawn), plain);
    EXPECT_EQ(logged(750), 0);
  }
  const struct {
    std::string program, named;
  } left_out[] = {
      {"retain cnt 0; cnt = cnt + 1; " + model + " + 0*cnt;", "cnt"},
      {"retain prev 0; " + model + " + 0.01*prev; prev = conc;", "prev"},
      {"control last 0; " + model + " + 0.01*last; last = conc;", "last"},
      {"array w[1] w1 (0); " + model + " + 0.01*w1; w1 = conc;", "w1"},
      {"array t[1] _temporary_; " + model + " + 0.01*t[1]; t[1] = conc;", "t[1]"},
      {model + " + 0*_OBS_;", "_OBS_"},
      {model + " + 0*_N_;", "_N_"},
      {"retain cnt 0; cnt = cnt + 1; if cnt > 50 then goto out; " + model + "; out: ;", "cnt"},
  };
  for (const auto& c : left_out) {
    SCOPED_TRACE(c.program);
    EXPECT_TRUE(grid_of(c.program).is_null());
    EXPECT_EQ(logged(750), 1) << log_text();
    EXPECT_NE(log_text().find("depends on " + c.named + ", which"), std::string::npos) << log_text();
  }
}

TEST_F(GraphRequestsTest, FitPlotWithoutLimitsNamesNoLimitColumns) {
  ASSERT_EQ(rates("proc ruva data=d alpha=0.1 plots(stats=none)=fit(nolimits); parms a=50 b=100; "
                "model rate = a + b*conc;"),
            0);
  const Json plot = graph("FitPlot");
  EXPECT_EQ(plot["label"], "Fit of rate by conc");
  for (const char* v : {"_UCM", "_LCM", "_UCI", "_LCI", "_PREDLIMLABEL", "_CONFLABEL", "_YVARGRID"})
    EXPECT_EQ(plot["dynamic"][v], "") << v;
  EXPECT_EQ(plot["dynamic"]["_NOBS"], 0);  // no statistics selected
  const Json grid = data_of(plot, 1);
  ASSERT_EQ(grid["columns"].size(), 2u);
}

// Every family after a fit, with profiling and the bootstrap: graphs in
// order, each in its group, and the tables after them outside any group.
TEST_F(GraphRequestsTest, FamiliesComeInOrderWithinTheirGroups) {
  ASSERT_EQ(rates("proc ruva data=d plots(stats=all)=(diagnostics(unpack leveragetype=tan) residuals(smooth "
                "residualtype=raw) fit); parms Vm=200 K=0.05; model rate = Vm*conc/(K + conc); "
                "profile Vm K / tplot confcurv jackknife; bootstrap / seed=3 bootplots(all);"),
            0) << log_text();
  const std::vector<std::string> expected = {
      "RawResidualHistogram", "ProjectedResidualHistogram", "ObservedByPredictedPlot", "RStudentByPredictedPlot",
      "ResidualByPredictedPlot", "RawResidualExpectationPlot", "RStudentByTanLeveragePlot",
      "RStudentByJacLeveragePlot", "ResidualBoxPlot", "LeveragePlot", "LocalInfluencePlot", "ResidualPlot", "FitPlot",
      "ProfiletPlot", "ProfiletPlot", "ConfidenceCurve", "ConfidenceCurve", "JackknifePlot", "JackknifePlot",
      "BootstrapHistPlot", "BootstrapHistPlot", "BootstrapScatterPlot"};
  ASSERT_EQ(graph_names(), expected);
  const std::vector<std::string> groups = {
      "FitDiagnosticsPlots", "FitDiagnosticsPlots", "FitDiagnosticsPlots", "FitDiagnosticsPlots",
      "FitDiagnosticsPlots", "FitDiagnosticsPlots", "FitDiagnosticsPlots", "FitDiagnosticsPlots",
      "FitDiagnosticsPlots", "LeverageInfluencePlots", "LeverageInfluencePlots", "ResidualPlots", "",
      "ProfiletPlots", "ProfiletPlots", "ConfidenceCurves", "ConfidenceCurves", "AbsRelPerDiffPlots",
      "AbsRelPerDiffPlots", "BootstrapHistPlots", "BootstrapHistPlots", "BootstrapScatterPlots"};
  const std::vector<Json> all = items("graph");
  for (std::size_t k = 0; k < all.size(); ++k)
    EXPECT_EQ(all[k]["groups"], groups[k].empty() ? Json::array() : Json::array({groups[k]})) << k;
  EXPECT_EQ(table("ParameterEstimates")["groups"], Json::array());

  const Json hist = graph("RawResidualHistogram");
  EXPECT_EQ(hist["template"], "stat.ruva.Graphics.RawResidualHistogram");
  EXPECT_EQ(hist["label"], "Distribution of the Raw Residual for rate");
  EXPECT_EQ(hist["dynamic"].size(), 57u);  // 58 pairs, one passed twice, and _TITLE
  EXPECT_EQ(hist["dynamic"]["_HEIGHT"], 360);
  EXPECT_EQ(hist["dynamic"]["_NROWS"], 3);
  EXPECT_EQ(graph("ResidualByPredictedPlot")["template"], "stat.ruva.Graphics.ResidualbyPredictedPlot");
  const Json lev = graph("LeveragePlot")["dynamic"];
  EXPECT_EQ(lev["_SHOW_JAC"], 0);
  EXPECT_EQ(lev["_TAN_LEG"], "");
  EXPECT_EQ(lev["_NROWS"], 1.0);
  EXPECT_EQ(lev["_LEV_LABEL"], message(263));
  const Json resid = graph("ResidualPlot")["dynamic"];
  EXPECT_EQ(resid["_RAWRESD"], "Residual");
  EXPECT_EQ(resid["_PROJRESD"], "");
  EXPECT_EQ(resid["_SMOOTHPROJRESD"], "ProjectedResidual");
  EXPECT_EQ(resid["_LOESSLABEL"], message(405));

  const Json cc = graph("ConfidenceCurve", 1);
  EXPECT_EQ(cc["description"], "K");
  EXPECT_EQ(data_of(cc, 0)["name"], "ProfileJackknifeOutputStatistics");
  EXPECT_NEAR(cc["dynamic"]["_tval95"].get<double>(), results_test::kT10, 1e-9);
  const Json jack = graph("JackknifePlot", 1);
  EXPECT_EQ(data_of(jack, 0)["rows"][0][1], 2);  // StatType of the jackknife
  const Json scatter = graph("BootstrapScatterPlot");
  EXPECT_EQ(scatter["label"], "Bootstrap Estimates of K by Vm");
  EXPECT_EQ(data_of(scatter, 0)["columns"].size(), 3u);
}

TEST_F(GraphRequestsTest, ProjectedResidualsAndBothLeveragesChangeTheTexts) {
  ASSERT_EQ(rates("proc ruva data=d plots(stats=none)=diagnostics(residualtype=proj); parms Vm=200 K=0.05; "
                "model rate = Vm*conc/(K + conc);"),
            0);
  const Json panel = graph("FitDiagnosticsPanel");
  const Json& d = panel["dynamic"];
  EXPECT_EQ(d["_SHOW_RAW"], 0);
  EXPECT_EQ(d["_SHOW_PROJ"], 1);
  EXPECT_EQ(d["_RESD_LABEL"], message(211));
  EXPECT_EQ(d["_SHORT_RESD_LABEL"], message(217));
  EXPECT_EQ(d["_SHORT_STURESD_LABEL"], message(219));
  EXPECT_EQ(d["_HEIGHT"], 480);
  EXPECT_TRUE(d["_PVAR"].is_null());  // missing without a statistics selection
  EXPECT_EQ(d["_NOBS"], 12);          // the fit's count all the same
  const Json lev = graph("LeveragePlot")["dynamic"];
  EXPECT_EQ(lev["_NROWS"], 2.0);
  EXPECT_EQ(lev["_TAN_LEG"], message(263));
  EXPECT_EQ(lev["_LEV_LABEL"], message(267));
  EXPECT_EQ(lev["_HEIGHT"], 420);
}

// Data-set labels: a label shorter than the name is the short label, one as
// long or longer leaves the name.
TEST_F(GraphRequestsTest, ModelVariablesShowTheirLabels) {
  write_file("d.meta.json",
             R"j({"variables": [{"name": "conc", "label": "Substrate (ppm)"}, {"name": "rate", "label": "v"}]})j");
  ASSERT_EQ(rates("proc ruva data=d plots=fit; parms a=50 b=100; model rate = a + b*conc;"),
            0);
  const Json d = graph("FitPlot")["dynamic"];
  EXPECT_EQ(d["_XVAR"], "Substrate (ppm)");
  EXPECT_EQ(d["_SHORTINDEPLABEL"], "conc");
  EXPECT_EQ(d["_DEPLABEL"], "v");
  EXPECT_EQ(d["_SHORTDEPLABEL"], "v");
  EXPECT_EQ(d["_DEPNAME"], "rate");
}

// Seven regressors take two panels of 2 x 3 cells; three take one 2 x 2.
TEST_F(GraphRequestsTest, ResidualPanelsPageTheRegressors) {
  std::ostringstream csv;
  csv << "x1,x2,x3,x4,x5,x6,x7,y\n";
  for (int i = 0; i < 12; ++i) {
    double y = 1;
    for (int k = 1; k <= 7; ++k) {
      const double x = std::sin(i * k + k);
      csv << x << ',';
      y += k * x;
    }
    csv << y + 0.01 * std::cos(3.0 * i) << '\n';
  }
  ASSERT_EQ(fit(csv.str(),
                "proc ruva data=d plots=residuals; parms b0=0 b1=1 b2=1 b3=1 b4=1 b5=1 b6=1 b7=1; "
                "model y = b0 + b1*x1 + b2*x2 + b3*x3 + b4*x4 + b5*x5 + b6*x6 + b7*x7;"),
            0) << log_text();
  ASSERT_EQ(graph_names(), (std::vector<std::string>{"ResidualPanel", "ResidualPanel"}));
  const Json first = graph("ResidualPanel")["dynamic"], second = graph("ResidualPanel", 1)["dynamic"];
  EXPECT_EQ(first["_NPLOTS"], 6);
  EXPECT_EQ(second["_NPLOTS"], 1);
  EXPECT_EQ(first["_PanelLabel"], "Panel 1");
  EXPECT_EQ(second["_PanelLabel"], "Panel 2");
  EXPECT_EQ(second["_XVAR1"], "x7");
  EXPECT_EQ(second["_XVAR2"], "");
  EXPECT_EQ(first["_HEIGHT"], 480);
  EXPECT_EQ(first["_SHRINKFONTS"], "TRUE");
  EXPECT_EQ(first["_NROWS"], 2);
  EXPECT_EQ(first["_NCOLS"], 3);
}

// G1: a parameter that cannot be profiled in a BY group (here held on its
// bound) has no table there, and so no graph; it never borrows the path of
// an earlier group's table.
TEST_F(GraphRequestsTest, UnprofiledParameterHasNoGraphInItsGroup) {
  ASSERT_EQ(fit("g,x,y\n1,1,2.1\n1,2,3.9\n1,3,6.2\n1,4,7.8\n1,5,10.4\n2,1,1.0\n2,2,1.1\n2,3,1.3\n2,4,1.2\n2,5,1.4\n",
                "proc ruva data=d; by g; parms a=0 b=1.5; bounds b > 1; model y = a + b*x; "
                "profile a b / tplot;"),
            0) << log_text();
  std::vector<std::string> seen;
  for (const Json& g : items("graph")) {
    seen.push_back(g["by"]["g"].dump() + ":" + g["description"].get<std::string>());
    EXPECT_EQ(data_of(g, 0)["by"], g["by"]);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"1.0:a", "1.0:b", "2.0:a"}));
}

// G2: a single histogram (one parameter) and a single scatter plot (two)
// still end their groups, so later outputs are not nested in them.
TEST_F(GraphRequestsTest, BootstrapGroupsOfOnePlotAreEnded) {
  ASSERT_EQ(fit("g,x,y\n1,1,2.0\n1,2,4.3\n1,3,5.8\n1,4,8.1\n1,5,9.9\n2,1,1.1\n2,2,1.9\n2,3,3.2\n2,4,3.9\n2,5,5.1\n",
                "proc ruva data=d; by g; parms b=1; model y = b*x; bootstrap / seed=5 bootplots(all);"),
            0) << log_text();
  ASSERT_EQ(run("proc ruva data=d; by g; parms a=0 b=1; model y = a + b*x; bootstrap / seed=5 bootplots(scatter);"),
            0) << log_text();
  EXPECT_EQ(graph_names(), (std::vector<std::string>{"BootstrapHistPlot", "BootstrapHistPlot", "BootstrapScatterPlot",
                                                     "BootstrapScatterPlot"}));
  for (const Json& t : items("table")) EXPECT_EQ(t["groups"], Json::array()) << t["name"];
  const Json hist = graph("BootstrapHistPlot");
  EXPECT_EQ(hist["groups"], Json::array({"BootstrapHistPlots"}));
  EXPECT_EQ(data_of(hist, 0)["rows"].size(), 1000u);
}

// G3: the contour grid reaches 5% of each regressor's range beyond it on
// both sides, also for a range of negative values.
TEST_F(GraphRequestsTest, ContourGridWidensByTheRange) {
  std::ostringstream csv;
  csv << "u,v,y\n";
  for (int i = 0; i < 9; ++i) csv << -10 + i << ',' << 2 + (i * 5) % 9 << ',' << 1 + 0.5 * i + 0.1 * ((i * 5) % 9) << '\n';
  ASSERT_EQ(fit(csv.str(), "proc ruva data=d plots=fit; parms a=0 b=1 c=1; model y = a + b*u + c*v;"), 0)
      << log_text();
  const Json plot = graph("ContourFitPlot");
  EXPECT_EQ(plot["dynamic"]["_ZPRED"], "zgrid");
  const Json grid = data_of(plot, 1);
  ASSERT_EQ(grid["rows"].size(), 2500u);
  EXPECT_NEAR(number(grid, 0, "xgrid"), -10.4, 1e-12);
  EXPECT_NEAR(number(grid, 2499, "xgrid"), -1.6, 1e-12);
  EXPECT_NEAR(number(grid, 0, "ygrid"), 1.6, 1e-12);
  EXPECT_NEAR(number(grid, 49, "ygrid"), 10.4, 1e-12);
  EXPECT_NEAR(number(grid, 50, "xgrid"), -10.4 + 8.8 / 49, 1e-12);
}

// A surface over two regressors that a carried value feeds is left out
// with a note that names both.
TEST_F(GraphRequestsTest, ContourOfAProgramThatCarriesValues) {
  std::ostringstream csv;
  csv << "u,v,y\n";
  for (int i = 0; i < 9; ++i) csv << i << ',' << (i * 5) % 9 << ',' << 1 + 0.5 * i + 0.1 * ((i * 5) % 9) << '\n';
  ASSERT_EQ(fit(csv.str(), "proc ruva data=d plots=fit; parms a=0 b=1 c=1; retain k 0; k = k + 1; "
                           "model y = a + b*u + c*v + 0*k;"),
            0) << log_text();
  EXPECT_TRUE(items("graph").empty());
  EXPECT_NE(log_text().find("NOTE: The contour fit plot is not made: the predicted value depends on k, "), std::string::npos)
      << log_text();
  EXPECT_NE(log_text().find("so a surface over u and v alone"), std::string::npos);
}

// PLOTS=ALL on every example program runs clean.
TEST_F(GraphRequestsTest, ExamplesRunWithEveryGraph) {
  for (const char* name : {"bod", "dnase", "puromycin"}) {
    const std::string dir = std::string(RUVA_SOURCE_DIR) + "/examples/";
    std::ifstream data(dir + name + ".csv"), program(dir + name + ".ruva");
    std::stringstream csv, text;
    csv << data.rdbuf();
    text << program.rdbuf();
    write_file(std::string(name) + ".csv", csv.str());
    std::string source = text.str();
    const std::string proc = std::string("data=") + name;
    source.replace(source.find(proc), proc.size(), proc + " plots=all");
    source.erase(source.rfind("run;"));
    json_.str("");
    EXPECT_EQ(run(source), 0) << name << "\n" << log_text();
    EXPECT_GE(graph_names().size(), 5u) << name;
    EXPECT_EQ(log_text().find("ERROR"), std::string::npos) << name;
  }
}

}  // namespace
