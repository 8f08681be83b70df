// Every graph family drawn end to end, with and without a label on the
// regressors: the marks read back from each picture are the values of the
// OUT=, PROFDATA= and BOOTDATA= data sets to a hundredth of a pixel, and
// the axes cover them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "support/ruva_command.h"
#include "support/svg_reading.h"

namespace {

// A data set's columns: numbers (NaN where missing or text) and texts.
struct DataSet {
  std::map<std::string, std::vector<double>> numbers;
  std::map<std::string, std::vector<std::string>> texts;
  const std::vector<double>& operator[](const std::string& column) const {
    static const std::vector<double> none;
    const auto it = numbers.find(column);
    EXPECT_NE(it, numbers.end()) << "no column " << column;
    return it == numbers.end() ? none : it->second;
  }
};

DataSet read_csv(const std::string& text) {
  DataSet d;
  std::istringstream in(text);
  std::string line, cell;
  std::getline(in, line);
  std::vector<std::string> names;
  for (std::istringstream head(line); std::getline(head, cell, ',');) names.push_back(cell);
  while (std::getline(in, line)) {
    std::istringstream row(line + ",");
    for (const std::string& name : names) {
      std::getline(row, cell, ',');
      char* end = nullptr;
      const double v = std::strtod(cell.c_str(), &end);
      d.numbers[name].push_back(!cell.empty() && *end == 0 ? v : std::nan(""));
      d.texts[name].push_back(cell);
    }
  }
  return d;
}

// A hundredth of a pixel in data units, with room for the rounding of a
// marker's centre.
double tolerance(const AxisRange& a) { return 0.011 * std::fabs((a.hi - a.lo) / (a.p1 - a.p0)); }

// The picture's `plot`-th plot, within its `cell`-th cell when cell >= 0.
struct PlotView {
  std::string text;
  AxisRange x, y;
  PlotView(const std::string& svg, int cell, int plot) : text(cell < 0 ? svg : layer(svg, "cell", "", cell)) {
    x = axis(text, "x-axis", plot), y = axis(text, "y-axis", plot);
  }
  bool covers(double vx, double vy) const {
    return vx >= std::min(x.lo, x.hi) && vx <= std::max(x.lo, x.hi) && vy >= std::min(y.lo, y.hi) &&
           vy <= std::max(y.lo, y.hi);
  }
};

// The markers of `series` ("#n": the plot's n-th marker layer) are the
// pairs of xs and ys where both are present, in any order.
void expect_marks(const PlotView& v, const std::string& series, const std::vector<double>& xs,
                  const std::vector<double>& ys, const std::string& what) {
  const std::string marks =
      series[0] == '#' ? layer(v.text, "markers", "", std::stoi(series.substr(1))) : layer(v.text, "markers", series);
  std::vector<std::pair<double, double>> got = marker_centres(marks);
  std::vector<bool> taken(got.size());
  std::size_t expected = 0;
  for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
    if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) continue;
    ++expected;
    EXPECT_TRUE(v.covers(xs[i], ys[i])) << what << ": the axes miss (" << xs[i] << ", " << ys[i] << ")";
    bool found = false;
    for (std::size_t k = 0; k < got.size() && !found; ++k)
      if (!taken[k] && std::fabs(v.x.value(got[k].first) - xs[i]) <= tolerance(v.x) &&
          std::fabs(v.y.value(got[k].second) - ys[i]) <= tolerance(v.y))
        taken[k] = found = true;
    EXPECT_TRUE(found) << what << ": no mark at (" << xs[i] << ", " << ys[i] << ")";
  }
  EXPECT_EQ(got.size(), expected) << what;
}

// The nice number (1, 2, 2.5 or 5 times a power of ten) nearest to w.
double nice(double w) {
  const double p = std::pow(10.0, std::floor(std::log10(w)));
  double best = p;
  for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (std::fabs(m * p - w) < std::fabs(best - w)) best = m * p;
  return best;
}

// Histogram bars: each holds the percentage of the values in [left, right)
// (the last bin closed), and the bars hold them all. The bins' edges are
// multiples of a nice width, which the pixels give to within rounding.
void expect_bars(const PlotView& v, const std::vector<double>& values, const std::string& what) {
  std::vector<double> finite;
  for (double x : values)
    if (std::isfinite(x)) finite.push_back(x);
  const std::vector<std::string> bars = elements(layer(v.text, "bars"), "rect");
  ASSERT_FALSE(bars.empty()) << what;
  auto edge = [&](double px) { return v.x.value(px); };
  const double width = nice(edge(attribute(bars[0], "x") + attribute(bars[0], "width")) - edge(attribute(bars[0], "x")));
  std::size_t total = 0;
  for (std::size_t b = 0; b < bars.size(); ++b) {
    const double left = std::round(edge(attribute(bars[b], "x")) / width) * width, right = left + width;
    std::size_t in = 0;
    for (double x : finite) in += x >= left && (x < right || (b + 1 == bars.size() && x <= right));
    total += in;
    EXPECT_NEAR(v.y.value(attribute(bars[b], "y")), 100.0 * in / finite.size(), tolerance(v.y)) << what << " bar " << b;
  }
  EXPECT_EQ(total, finite.size()) << what;
}

// Hyndman and Fan's type 7 quantile.
double quantile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const double h = (v.size() - 1) * p;
  const std::size_t lo = static_cast<std::size_t>(h);
  return lo + 1 < v.size() ? v[lo] + (h - lo) * (v[lo + 1] - v[lo]) : v[lo];
}

// Box n of the plot: from Q1 to Q3 with the median line.
void expect_box(const PlotView& v, int n, const std::vector<double>& values, const std::string& what) {
  const std::string box = layer(v.text, "box", "", n);
  const std::string rect = elements(box, "rect").at(0), median = elements(box, "line").at(0);
  EXPECT_NEAR(v.y.value(attribute(rect, "y")), quantile(values, 0.75), tolerance(v.y)) << what;
  EXPECT_NEAR(v.y.value(attribute(rect, "y") + attribute(rect, "height")), quantile(values, 0.25), tolerance(v.y)) << what;
  EXPECT_NEAR(v.y.value(attribute(median, "y1")), quantile(values, 0.5), tolerance(v.y)) << what;
}

// The polyline of `series` passes through each (x, y): the curve drawn is
// the model's value at the observations.
void expect_on_curve(const PlotView& v, const std::string& series, const std::vector<double>& xs,
                     const std::vector<double>& ys, const std::string& what) {
  const auto points = vertices(layer(v.text, "line", series), "polyline");
  ASSERT_GE(points.size(), 2u) << what;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    const double px = v.x.p0 + (xs[i] - v.x.lo) / (v.x.hi - v.x.lo) * (v.x.p1 - v.x.p0);
    std::size_t k = 1;
    while (k + 1 < points.size() && points[k].first < px) ++k;
    const auto& [x0, y0] = points[k - 1];
    const auto& [x1, y1] = points[k];
    // A grid of 201 points: the chord may stray a little from the curve.
    const double py = y0 + (px - x0) / (x1 - x0) * (y1 - y0);
    EXPECT_NEAR(v.y.value(py), ys[i], 0.3 * std::fabs((v.y.hi - v.y.lo) / (v.y.p1 - v.y.p0))) << what << " at " << xs[i];
  }
}

// Column `column` of the rows whose text columns hold the given values.
std::vector<double> where(const DataSet& d, const std::string& column,
                          const std::vector<std::pair<std::string, std::string>>& keys) {
  std::vector<double> out;
  const std::vector<double>& values = d[column];
  for (std::size_t i = 0; i < values.size(); ++i)
    if (std::all_of(keys.begin(), keys.end(), [&](const auto& k) { return d.texts.at(k.first)[i] == k.second; }))
      out.push_back(values[i]);
  return out;
}

// The texts of a layer that read as numbers, in order (a title is none).
std::vector<double> numbers_written(const std::string& layer_text) {
  std::vector<double> out;
  for (auto at = layer_text.find("<text"); at != std::string::npos; at = layer_text.find("<text", at + 1)) {
    const auto from = layer_text.find('>', at) + 1;
    const std::string label = layer_text.substr(from, layer_text.find("</text>", at) - from);
    char* end = nullptr;
    const double v = std::strtod(label.c_str(), &end);
    if (*end == 0 && !label.empty()) out.push_back(v);
  }
  return out;
}

std::string read_file_at(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class GraphFamilies : public RuvaCommandTest, public ::testing::WithParamInterface<bool> {};

const char* const kDecay = "x,y,w\n1,2.85,1\n2,1.09,2\n3,-0.58,3\n4,-0.02,1\n5,3.57,2\n6,0.34,3\n";

std::string two_regressors() {
  std::string csv = "dose,temp,y\n";
  for (int i = 1; i <= 6; ++i)
    for (int t : {10, 20, 30})
      csv += std::to_string(i) + "," + std::to_string(t) + "," +
             std::to_string(50 * std::exp(-0.3 * i) + 0.8 * t + 2 * std::sin(7.0 * i + t)) + "\n";
  return csv;
}

const char* const kFamilies = R"(
proc ruva data=d1 plots(unpack)=(diagnostics residuals(smooth) fit);
  parms a=2 k=0.2;
  model y = a*exp(-k*x);
  output out=o1 p=p r=r student=st h=h j=j resexpec=re projres=pr projstudent=ps lmax=lmax;
run;
proc ruva data=d1 plots=(diagnostics residuals);
  parms a=2 k=0.2;
  model y = a*exp(-k*x);
run;
proc ruva data=d2 plots=(fit(contleg) residuals(smooth));
  parms a=50 b=0.3 c=1;
  model y = a*exp(-b*dose) + c*temp;
  output out=o3 p=p r=r projres=pr;
  profile a b c / all profdata=prof;
  bootstrap / seed=1967 bootplots(all) bootdata=boot;
run;
proc ruva data=d2 plots=residuals;
  parms a=50 b=0.3 c=1;
  model y = a*exp(-b*dose) + c*temp;
run;
proc ruva data=d1 plots=fit;
  parms a=2 k=0.2;
  _weight_ = w;
  model y = a*exp(-k*x);
  output out=o5 p=p lcl=lcl ucl=ucl;
run;
)";

TEST_P(GraphFamilies, MarksAreTheDataSetsValues) {
  const bool labelled = GetParam();
  write("d1.csv", kDecay);
  write("d2.csv", two_regressors());
  if (labelled) {
    write("d1.meta.json", R"j({"variables":[{"name":"x","label":"Dose given (mg)"}]})j");
    write("d2.meta.json", R"j({"variables":[{"name":"dose","label":"Dose given (mg)"},{"name":"temp","label":"Temperature (C)"}]})j");
  }
  write("f.ruva", kFamilies);
  ASSERT_EQ(run("--work . --graphs g f.ruva"), 0) << read("log.txt");
  const DataSet o1 = read_csv(read("o1.csv")), o3 = read_csv(read("o3.csv")), o5 = read_csv(read("o5.csv"));
  const DataSet prof = read_csv(read("prof.csv")), boot = read_csv(read("boot.csv"));
  const std::vector<double> obs = {1, 2, 3, 4, 5, 6};
  auto svg = [&](const std::string& stem) {
    const std::string s = read("g/" + stem + ".svg");
    EXPECT_FALSE(s.empty()) << stem << " is not drawn:\n" << read("listing.txt");
    return s;
  };

  // The nine diagnostics, unpacked (step 1) and as the panel's cells (step 2).
  struct Diagnostic {
    const char* graph;
    const char *series, *x, *y;
  };
  const Diagnostic diagnostics[] = {
      {"ResidualByPredictedPlot", "Residual", "p", "r"},
      {"ResidualByPredictedPlot", "ProjectedResidual", "p", "pr"},
      {"RStudentByPredictedPlot", "StudentizedResidual", "p", "st"},
      {"RStudentByPredictedPlot", "StudentizedProjectedResidual", "p", "ps"},
      {"RStudentByTanLeveragePlot", "StudentizedResidual", "h", "st"},
      {"RStudentByTanLeveragePlot", "StudentizedProjectedResidual", "h", "ps"},
      {"ObservedByPredictedPlot", "observed", "p", "y"},
      {"RawResidualExpectationPlot", "ResidualExpectation", "p", "re"},
      {"RStudentByJacLeveragePlot", "StudentizedResidual", "j", "st"},
      {"RStudentByJacLeveragePlot", "StudentizedProjectedResidual", "j", "ps"},
  };
  const std::vector<std::string> panel_order = {"ResidualByPredictedPlot",    "RStudentByPredictedPlot",
                                                "RStudentByTanLeveragePlot",  "ObservedByPredictedPlot",
                                                "RawResidualExpectationPlot", "RStudentByJacLeveragePlot"};
  const std::string panel = svg("step2_FitDiagnosticsPanel");
  for (const Diagnostic& d : diagnostics) {
    const int cell = static_cast<int>(std::find(panel_order.begin(), panel_order.end(), d.graph) - panel_order.begin());
    for (const auto& [view, where] : {std::pair{PlotView(svg(std::string("step1_") + d.graph), -1, 0), d.graph},
                                      std::pair{PlotView(panel, cell, 0), "panel cell"}})
      expect_marks(view, d.series, o1[d.x], o1[d.y], std::string(where) + " " + d.series);
  }
  expect_bars(PlotView(svg("step1_RawResidualHistogram"), -1, 0), o1["r"], "raw residual histogram");
  expect_bars(PlotView(svg("step1_ProjectedResidualHistogram"), -1, 0), o1["pr"], "projected residual histogram");
  expect_bars(PlotView(panel, 6, 0), o1["r"], "panel's raw residual histogram");
  expect_bars(PlotView(panel, 7, 0), o1["pr"], "panel's projected residual histogram");
  for (const auto& v : {PlotView(svg("step1_ResidualBoxPlot"), -1, 0), PlotView(panel, 8, 0)}) {
    expect_box(v, 0, o1["r"], "raw residual box");
    expect_box(v, 1, o1["pr"], "projected residual box");
  }

  const std::string leverage = svg("step1_LeveragePlot");
  expect_marks(PlotView(leverage, -1, 0), "#0", obs, o1["h"], "tangential leverage");
  expect_marks(PlotView(leverage, -1, 1), "#1", obs, o1["j"], "Jacobian leverage");
  expect_marks(PlotView(svg("step1_LocalInfluencePlot"), -1, 0), "#0", obs, o1["lmax"], "local influence");

  // Residuals by regressor: one plot (with and without the smooth) and panels.
  for (const char* stem : {"step1_ResidualPlot_x", "step2_ResidualPlot_x"}) {
    const PlotView v(svg(stem), -1, 0);
    expect_marks(v, "Residual", o1["x"], o1["r"], stem);
    expect_marks(v, "ProjectedResidual", o1["x"], o1["pr"], stem);
    EXPECT_EQ(layer(v.text, "line", "loess Residual").empty(), stem[4] == '2') << stem << ": the smooth";
    EXPECT_EQ(v.text.find("Dose given (mg)") != std::string::npos, labelled) << stem;
  }
  for (const char* stem : {"step3_ResidualPanel", "step4_ResidualPanel"}) {
    const std::string s = svg(stem);
    for (int cell = 0; cell < 2; ++cell) {
      const PlotView v(s, cell, 0);
      const std::vector<double>& x = o3[cell == 0 ? "dose" : "temp"];
      expect_marks(v, "Residual", x, o3["r"], std::string(stem) + " cell " + std::to_string(cell));
      expect_marks(v, "ProjectedResidual", x, o3["pr"], std::string(stem) + " cell " + std::to_string(cell));
      // Three temperatures are too few for a smooth.
      if (cell == 0) {
        EXPECT_EQ(layer(v.text, "line", "loess Residual").empty(), stem[4] == '4') << stem << ": the smooth";
      }
    }
  }

  // Fit plots: the observations on the curve, the contour plot's levels
  // over every observation, a weighted fit's prediction limits.
  const PlotView fit(svg("step1_FitPlot"), -1, 0);
  expect_marks(fit, "observed", o1["x"], o1["y"], "fit plot");
  expect_on_curve(fit, "fit", o1["x"], o1["p"], "fit plot");
  EXPECT_EQ(fit.text.find("Dose given (mg)") != std::string::npos, labelled);
  const std::string contour = svg("step3_ContourFitPlot");
  expect_marks(PlotView(contour, -1, 0), "observed", o3["dose"], o3["temp"], "contour fit plot");
  const std::vector<double> levels = numbers_written(layer(contour, "colour-legend"));
  ASSERT_GE(levels.size(), 2u);
  const auto [ylo, yhi] = std::minmax_element(o3["y"].begin(), o3["y"].end());
  EXPECT_LE(*std::min_element(levels.begin(), levels.end()), *ylo);
  EXPECT_GE(*std::max_element(levels.begin(), levels.end()), *yhi);
  EXPECT_GE(elements(layer(contour, "contour-labels"), "text").size(), 2u) << "contour lines carry their levels";
  const PlotView weighted(svg("step5_FitPlot"), -1, 0);
  const std::vector<std::string> bars = elements(layer(weighted.text, "prediction-bars"), "line");
  ASSERT_EQ(bars.size(), 6u);
  for (std::size_t i = 0; i < bars.size(); ++i) {
    EXPECT_NEAR(weighted.x.value(attribute(bars[i], "x1")), o5["x"][i], tolerance(weighted.x));
    EXPECT_NEAR(weighted.y.value(attribute(bars[i], "y1")), o5["lcl"][i], tolerance(weighted.y));
    EXPECT_NEAR(weighted.y.value(attribute(bars[i], "y2")), o5["ucl"][i], tolerance(weighted.y));
  }

  // Profile, jackknife and bootstrap graphs of each parameter.
  for (const std::string p : {"a", "b", "c"}) {
    const std::vector<std::pair<std::string, std::string>> profile = {{"_TYPE_", "PROF"}, {"_PROF_PARM_", p}};
    const std::vector<double> w = where(prof, "_WSTAT_", profile), theta = where(prof, p, profile);
    std::vector<double> l = where(prof, "_LSTAT_", profile);
    ASSERT_GT(w.size(), 5u);
    expect_marks(PlotView(svg("step3_ProfiletPlot_" + p), -1, 0), "profile", w, l, "profile-t plot of " + p);
    for (double& v : l) v = std::fabs(v);
    expect_marks(PlotView(svg("step3_ConfidenceCurve_" + p), -1, 0), "likelihood ratio", theta, l,
                 "confidence curve of " + p);
    const double reference = where(prof, p, {{"_TYPE_", "REF"}}).at(0);
    std::vector<double> change = where(prof, p, {{"_TYPE_", "JACK"}});
    for (double& v : change) v = std::fabs((v - reference) / reference) * 100;
    expect_marks(PlotView(svg("step3_JackknifePlot_" + p), -1, 0), "#0",
                 where(prof, "_OBS_INF_MEAS_", {{"_TYPE_", "JACK"}}), change, "jackknife plot of " + p);
    expect_bars(PlotView(svg("step3_BootstrapHistPlot_" + p), -1, 0), boot[p], "bootstrap histogram of " + p);
  }
  for (const auto& [x, y] : {std::pair{"a", "b"}, std::pair{"a", "c"}, std::pair{"b", "c"}})
    expect_marks(PlotView(svg(std::string("step3_BootstrapScatterPlot_") + x + "-" + y), -1, 0), "bootstrap", boot[x],
                 boot[y], std::string("bootstrap scatter plot of ") + y + " by " + x);
}

using GraphScales = RuvaCommandTest;

// A response counted in 10^12, one of them missing: the contour levels
// carry the power of ten themselves (no axis title does), the contour plot
// draws only the observations with a response, and each bootstrap
// histogram maps a value to the same pixel as the box plot that labels
// its axis.
TEST_F(GraphScales, LevelsKeepTheirPowerOfTenAndTheBootstrapPlotsShareTheirAxis) {
  std::string csv = "dose,temp,y\n";
  double ylo = INFINITY, yhi = -INFINITY;
  std::vector<double> doses, temps;
  for (int i = 1; i <= 6; ++i)
    for (int t : {10, 20, 30}) {
      const double y = (50 * std::exp(-0.3 * i) + 0.8 * t + 2 * std::sin(7.0 * i + t)) * 1e12;
      const bool missing = i == 3 && t == 20;
      if (!missing) ylo = std::min(ylo, y), yhi = std::max(yhi, y);
      doses.push_back(missing ? NAN : i), temps.push_back(t);
      csv += std::to_string(i) + "," + std::to_string(t) + "," + (missing ? "" : std::to_string(y)) + "\n";
    }
  write("d.csv", csv);
  write("f.ruva", "proc ruva data=d plots=fit(contleg);\n  parms a=5e13 b=0.3 c=8e11;\n"
                  "  model y = a*exp(-b*dose) + c*temp;\n  bootstrap / seed=1967;\nrun;\n");
  ASSERT_EQ(run("--work . --graphs g f.ruva"), 0) << read("log.txt");
  const std::string contour = read("g/step1_ContourFitPlot.svg");
  expect_marks(PlotView(contour, -1, 0), "observed", doses, temps, "contour fit plot");
  const std::vector<double> legend = numbers_written(layer(contour, "colour-legend")),
                            lines = numbers_written(layer(contour, "contour-labels"));
  ASSERT_GE(legend.size(), 2u);
  EXPECT_LE(*std::min_element(legend.begin(), legend.end()), ylo);
  EXPECT_GE(*std::max_element(legend.begin(), legend.end()), yhi);
  ASSERT_GE(lines.size(), 2u);
  for (double v : lines) EXPECT_NE(std::find(legend.begin(), legend.end(), v), legend.end()) << v;
  for (const char* p : {"a", "b", "c"}) {
    const std::string hist = read(std::string("g/step1_BootstrapHistPlot_") + p + ".svg");
    const AxisRange bars = axis(hist, "x-axis", 0), box = axis(hist, "x-axis", 1);
    EXPECT_EQ(bars.lo, box.lo) << p;
    EXPECT_EQ(bars.hi, box.hi) << p;
    EXPECT_NEAR(bars.p0, box.p0, 0.005) << p;
    EXPECT_NEAR(bars.p1, box.p1, 0.005) << p;
  }
}

// An observation without a response is not fitted: the leverage plot
// leaves it out of both rows, though OUTPUT writes its tangential leverage.
TEST_F(GraphScales, TheLeveragePlotShowsOnlyTheFittedObservations) {
  write("d.csv", "x,y\n1,2.85\n2,1.09\n3,\n4,-0.02\n5,3.57\n6,0.34\n");
  write("f.ruva", "proc ruva data=d plots=diagnostics;\n  parms a=2 k=0.2;\n  model y = a*exp(-k*x);\n"
                  "  output out=o h=h j=j;\nrun;\n");
  ASSERT_EQ(run("--work . --graphs g f.ruva"), 0) << read("log.txt");
  const DataSet o = read_csv(read("o.csv"));
  ASSERT_TRUE(std::isfinite(o["h"][2]));
  const std::vector<double> fitted = {1, 2, NAN, 4, 5, 6};
  const std::string leverage = read("g/step1_LeveragePlot.svg");
  expect_marks(PlotView(leverage, -1, 0), "#0", fitted, o["h"], "tangential leverage");
  expect_marks(PlotView(leverage, -1, 1), "#1", fitted, o["j"], "Jacobian leverage");
}

// A model that uses a data-set variable besides its regressor: one curve
// for each of its values, through the predictions of those observations,
// however the program picks the curve; the same in every BY group and
// with weights.
const char* const kCurvePrograms[] = {
    "treated = (state = 'treated');\n  model rate = (Vm + dV*treated)*conc / (K + dK*treated + conc);",
    "if state = 'treated' then do; v = Vm + dV; kk = K + dK; end;\n  else do; v = Vm; kk = K; end;\n"
    "  model rate = v*conc / (kk + conc);",
    "array e[2] _temporary_ (0 1);\n  select; when (state = 'treated') i = 2; otherwise i = 1; end;\n"
    "  model rate = (Vm + dV*e[i])*conc / (K + dK*e[i] + conc);",
    "link pick;\n  model rate = (Vm + dV*t)*conc / (K + dK*t + conc);\n  return;\n"
    "  pick: t = 0; if state ^= 'treated' then goto done; t = 1;\n  done: return;",
};

using GraphCurves = RuvaCommandTest;

TEST_F(GraphCurves, OneCurvePerValueOfTheOtherVariables) {
  const std::string puromycin = read_file_at(std::filesystem::path(RUVA_SOURCE_DIR) / "examples" / "puromycin.csv");
  write("pur.csv", puromycin);
  std::string by_groups = "grp," + puromycin.substr(0, puromycin.find('\n') + 1);
  for (const char* g : {"1,", "2,"})
    for (std::size_t at = puromycin.find('\n') + 1; at < puromycin.size(); at = puromycin.find('\n', at) + 1)
      by_groups += g + puromycin.substr(at, puromycin.find('\n', at) + 1 - at);
  write("bygrp.csv", by_groups);
  std::string program;
  const int steps = static_cast<int>(std::size(kCurvePrograms)) + 1;
  for (int k = 0; k < steps; ++k) {
    const bool by = k + 1 == steps;
    program += std::string("proc ruva data=") + (by ? "bygrp" : "pur") + " plots=fit;\n" + (by ? "  by grp;\n  _weight_ = 1/conc;\n" : "") +
               "  parms Vm=160 dV=40 K=0.05 dK=0.01;\n  " + kCurvePrograms[by ? 0 : k] + "\n  output out=o" +
               std::to_string(k + 1) + " p=p;\nrun;\n";
  }
  write("c.ruva", program);
  ASSERT_EQ(run("--work . --graphs g c.ruva"), 0) << read("log.txt");
  for (int k = 1; k <= steps; ++k) {
    const DataSet o = read_csv(read("o" + std::to_string(k) + ".csv"));
    for (const std::string& by : k == steps ? std::vector<std::string>{"_by1", "_by2"} : std::vector<std::string>{""}) {
      const std::string stem = "g/step" + std::to_string(k) + by + "_FitPlot.svg";
      const PlotView v(read(stem), -1, 0);
      ASSERT_FALSE(v.text.empty()) << stem << "\n" << read("listing.txt");
      for (const auto& [curve, state] : {std::pair{"1", "treated"}, std::pair{"2", "untreated"}}) {
        std::vector<std::pair<std::string, std::string>> keys = {{"state", state}};
        if (!by.empty()) keys.push_back({"grp", by.substr(3)});
        const std::vector<double> x = where(o, "conc", keys);
        expect_marks(v, std::string("observed ") + curve, x, where(o, "rate", keys), stem + " " + state);
        expect_on_curve(v, std::string("fit ") + curve, x, where(o, "p", keys), stem + " " + state);
        EXPECT_NE(layer(v.text, "legend").find(std::string("state = ") + state), std::string::npos) << stem;
      }
    }
  }
}

// Five curves, the most a fit plot draws: each curve's observations in a
// marker of their own (circle, triangle, square, diamond, cross).
TEST_F(GraphCurves, FiveCurvesEachMarkTheirObservationsWithTheirOwnMarker) {
  std::string csv = "lot,x,y\n";
  for (int lot = 1; lot <= 5; ++lot)
    for (int x = 1; x <= 6; ++x)
      csv += std::string(1, 'A' + lot - 1) + "," + std::to_string(x) + "," +
             std::to_string(3 + x + (lot == 3 ? 0.5 : 0) + 0.1 * std::sin(7 * lot + x)) + "\n";
  write("lots.csv", csv);
  write("p.ruva", "proc ruva data=lots plots=fit;\n  parms a=1 b=1 c=1;\n  model y = a + b*x + c*(lot = 'C');\n"
                  "  output out=o;\nrun;\n");
  ASSERT_EQ(run("--work . --graphs g p.ruva"), 0) << read("log.txt");
  const DataSet o = read_csv(read("o.csv"));
  const PlotView v(read("g/step1_FitPlot.svg"), -1, 0);
  ASSERT_FALSE(v.text.empty()) << read("listing.txt");
  // A marker path's moves and lines: a square's H and V, a cross's two strokes.
  const char* shapes[] = {"", "MLLZ", "MHVHZ", "MLLLZ", "MLML"};
  for (int lot = 1; lot <= 5; ++lot) {
    const std::string series = "observed " + std::to_string(lot), key(1, 'A' + lot - 1);
    expect_marks(v, series, where(o, "x", {{"lot", key}}), where(o, "y", {{"lot", key}}), series);
    const std::vector<std::string> paths = elements(layer(v.text, "markers", series), "path");
    ASSERT_EQ(paths.size(), lot == 1 ? 0u : 6u) << series;
    for (const std::string& path : paths) {
      const std::size_t d = path.find("d=\"") + 3;
      std::string commands;
      for (char c : path.substr(d, path.find('"', d) - d))
        if (std::isupper(static_cast<unsigned char>(c))) commands += c;
      EXPECT_EQ(commands, shapes[lot - 1]) << series << ": " << path;
    }
  }
}

// What the drawing must not do: lose an observation to a curve or surface
// the other variables would change, cover the box plot with the fit
// statistics, leave a blank panel, draw projected residuals one way here
// and another there, call a cell turned off "not available", or cut a
// long title.
TEST_F(GraphCurves, DrawingFaultsStayMended) {
  std::string lots = "x,z,lot,y\n";
  for (int i = 0; i < 12; ++i)
    lots += std::to_string(i % 4 + 1) + "," + std::to_string(i / 4 + 1) + "," + std::string(1, 'A' + i % 6) + "," +
            std::to_string(3 + i % 4 + 0.5 * (i / 4) + 0.1 * (i % 6) + 0.2 * std::sin(i)) + "\n";
  write("lots.csv", lots);
  write("d1.csv", kDecay);
  write("long.csv", "incubation_time_in_days_total,biochemical_oxygen_demand_mgl\n1,8.3\n2,10.3\n3,19\n4,16\n5,15.6\n7,19.8\n");
  write("dose.csv", "g,dose,t,y\n1,4,1,3.1\n1,4,2,5.2\n1,4,3,6.8\n1,4,4,9.1\n2,5,1,3.9\n2,5,2,6.1\n2,5,3,8.2\n2,5,4,10.1\n");
  write("p.ruva", R"(
proc ruva data=lots plots=(fit residuals);
  parms a=1 b=0.1;
  model y = a + x + b*(lot = 'A');
run;
proc ruva data=lots plots=fit;
  parms a=1 b=0.1 c=0.5;
  model y = a + x + c*z + b*(lot = 'A');
run;
proc ruva data=d1 plots=all;
  parms a=1;
  model y = a;
run;
proc ruva data=d1 plots(residualtype=proj)=(residuals diagnostics);
  parms a=2 k=0.2;
  model y = a*exp(-k*x);
run;
proc ruva data=d1 plots(unpack)=diagnostics;
  parms a=2 k=0.2;
  model y = a*exp(-k*x);
run;
proc ruva data=long plots=fit;
  parms a=20 b=0.5;
  model biochemical_oxygen_demand_mgl = a*(1 - exp(-b*incubation_time_in_days_total));
run;
proc ruva data=dose plots=fit;
  by g;
  parms a=1 b=0.5;
  model y = a + b*dose*t;
run;
)");
  ASSERT_EQ(run("--work . --graphs g p.ruva"), 0) << read("log.txt");
  const std::string log = read("log.txt"), listing = read("listing.txt");
  EXPECT_NE(log.find("NOTE: The fit plot is not made: besides x the model depends on lot, which takes more than 5"),
            std::string::npos) << log;
  EXPECT_NE(log.find("NOTE: The contour fit plot is not made: besides x and z the model depends on lot"), std::string::npos);
  EXPECT_TRUE(read("g/step1_FitPlot.svg").empty());
  EXPECT_FALSE(read("g/step1_ResidualPlot_x.svg").empty()) << "the other graphs are drawn";
  EXPECT_TRUE(read("g/step2_ContourFitPlot.svg").empty());
  EXPECT_NE(listing.find("The graph ResidualPanel was not drawn: the model uses no variable of the input data set"),
            std::string::npos) << listing;
  EXPECT_TRUE(read("g/step3_ResidualPanel.svg").empty());
  // A regressor that takes one value in a BY group: the note names it.
  for (const char* g : {"1", "2"})
    EXPECT_NE(log.find(std::string("NOTE: The contour fit plot is not made: the regressor dose is constant in the BY "
                                   "group g=") + g),
              std::string::npos) << log;
  EXPECT_EQ(listing.find("rectangular"), std::string::npos);

  // Projected residuals are triangles in every graph; the raw histogram's cell was turned off.
  const std::string panel = read("g/step4_FitDiagnosticsPanel.svg"), plot = read("g/step4_ResidualPlot_x.svg");
  for (const std::string& markers : {layer(layer(panel, "cell", "", 0), "markers", "ProjectedResidual"),
                                     layer(plot, "markers", "ProjectedResidual")}) {
    EXPECT_EQ(elements(markers, "circle").size(), 0u);
    EXPECT_EQ(elements(markers, "path").size(), 6u);
  }
  EXPECT_NE(layer(panel, "cell", "", 6).find(": not requested"), std::string::npos);

  const std::string box = read("g/step5_ResidualBoxPlot.svg");
  EXPECT_GT(attribute(elements(layer(box, "inset"), "rect").at(0), "x"), axis(box, "x-axis").p1) << "the inset beside the boxes";

  const std::string title = read("g/step6_FitPlot.svg");
  const std::vector<std::string> lines = elements(title, "text");
  ASSERT_GE(lines.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_NE(lines[i].find("font-weight=\"bold\""), std::string::npos) << "two title lines";
    EXPECT_EQ(title.find("\xE2\x80\xA6"), std::string::npos) << "no ellipsis";
  }
  EXPECT_NE(title.find("with 95% Confidence"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Regressor, GraphFamilies, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Labelled" : "Plain"; });

}  // namespace
