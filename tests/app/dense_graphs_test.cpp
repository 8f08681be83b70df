// A graph of more observations than it draws one by one: the points are
// binned and the footnote says so, and the observations beyond the cut-off
// are still drawn one by one, where the OUT= data set puts them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <random>
#include <regex>
#include <sstream>

#include "support/ruva_command.h"
#include "support/svg_reading.h"

namespace {

using DenseGraphsTest = RuvaCommandTest;

// Columns `names` of a CSV file, row by row; NaN for a text.
std::vector<std::vector<double>> csv_columns(const std::string& text, const std::vector<std::string>& names) {
  std::istringstream in(text);
  std::string line, field;
  std::getline(in, line);
  std::vector<std::string> header;
  for (std::istringstream h(line); std::getline(h, field, ',');) header.push_back(field);
  std::vector<std::size_t> at;
  for (const std::string& n : names) at.push_back(std::find(header.begin(), header.end(), n) - header.begin());
  std::vector<std::vector<double>> rows;
  while (std::getline(in, line)) {
    std::vector<double> fields;
    for (std::istringstream r(line); std::getline(r, field, ',');) fields.push_back(std::strtod(field.c_str(), nullptr));
    std::vector<double> row;
    for (std::size_t i : at) row.push_back(fields.at(i));
    rows.push_back(row);
  }
  return rows;
}

// The observations of OUT= (columns x, y and the test's `flag` column)
// that `flagged` picks, sorted.
std::vector<std::pair<double, double>> picked(const std::vector<std::vector<double>>& out,
                                              bool (*flagged)(const std::vector<double>& row)) {
  std::vector<std::pair<double, double>> points;
  for (const auto& row : out)
    if (flagged(row)) points.emplace_back(row[0], row[1]);
  std::sort(points.begin(), points.end());
  return points;
}

// The markers of `svg`'s layer in data units, sorted, checked against
// `expected` to a hundredth of a pixel.
void expect_markers(const std::string& svg, const std::string& markers,
                    const std::vector<std::pair<double, double>>& expected, const std::string& what) {
  const AxisRange x = axis(svg, "x-axis"), y = axis(svg, "y-axis");
  std::vector<std::pair<double, double>> drawn;
  for (const auto& [px, py] : marker_centres(markers)) drawn.emplace_back(x.value(px), y.value(py));
  std::sort(drawn.begin(), drawn.end());
  ASSERT_EQ(drawn.size(), expected.size()) << what;
  ASSERT_FALSE(drawn.empty()) << what;
  const double dx = 0.01 * (x.hi - x.lo) / std::fabs(x.p1 - x.p0), dy = 0.01 * (y.hi - y.lo) / std::fabs(y.p1 - y.p0);
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    EXPECT_NEAR(drawn[i].first, expected[i].first, dx) << what << " " << i;
    EXPECT_NEAR(drawn[i].second, expected[i].second, dy) << what << " " << i;
  }
}

TEST_F(DenseGraphsTest, ResidualsPastTheLimitAreBinnedAndThoseBeyondTwoDrawnOneByOne) {
  std::mt19937 random(48);
  std::normal_distribution<double> noise(0, 1);
  std::ostringstream csv;
  csv.precision(10);
  csv << "x,y\n";
  for (int i = 0; i < 6000; ++i) {
    const double x = i / 600.0;
    csv << x << ',' << 2 + 0.5 * x + noise(random) + (i % 1000 == 7 ? 9 : 0) << '\n';
  }
  write("d.csv", csv.str());
  write("dense.ruva",
        "proc ruva data=d plots=residuals(residualtype=raw);\n  parms b0=1 b1=1;\n  model y = b0 + b1*x;\n"
        "  output out=o r=r student=st;\nrun;\n");
  ASSERT_EQ(run("--work . --graphs g dense.ruva"), 0) << read("log.txt");
  const std::string svg = read("g/step1_ResidualPlot_x.svg");
  ASSERT_FALSE(svg.empty()) << read("listing.txt");
  EXPECT_LT(svg.size(), 300'000u);

  const std::string note = layer(svg, "footnote");
  for (const char* says : {"6,000 observations", "hexagonal bins", "studentized residual beyond"})
    EXPECT_NE(note.find(says), std::string::npos) << says << " in " << note;
  EXPECT_NE(layer(svg, "bins", "Residual").find("data-counted=\"6000\""), std::string::npos);

  const std::vector<std::pair<double, double>> beyond =
      picked(csv_columns(read("o.csv"), {"x", "r", "st"}), [](const std::vector<double>& r) { return std::fabs(r[2]) > 2; });
  EXPECT_GE(beyond.size(), 100u);  // the tails of 6,000 normal errors and the six planted outliers
  expect_markers(svg, layer(svg, "markers", "Residual"), beyond, "residual plot");
  EXPECT_EQ(elements(layer(svg, "markers", "Residual"), "circle").size(), beyond.size());
}

// One curve per value of a variable the model uses besides its regressor,
// past the limit: each curve's observations binned in its colour, and
// drawn one by one where they lie outside their own curve's prediction
// limits. The planted observations sit on the other curve, inside its
// limits: judged against the wrong curve they would be missed. The
// residual plot draws its projected residuals as triangles there too.
TEST_F(DenseGraphsTest, EachCurvesObservationsAreJudgedByTheirOwnCurve) {
  auto curve = [](bool treated, double conc) {
    return (treated ? 212.7 : 160.3) * conc / ((treated ? 0.0641 : 0.0477) + conc);
  };
  std::mt19937 random(48);
  std::uniform_real_distribution<double> unit(0, 1);
  std::ostringstream csv;
  csv.precision(10);
  csv << "conc,rate,state\n";
  std::vector<std::vector<int>> planted(2);  // rows, by curve: treated first, as the data set has them
  for (int i = 0; i < 6000; ++i) {
    const bool treated = i % 2 == 0, plant = i % 500 < 2;
    const double conc = plant ? 0.5 + 0.5 * unit(random) : 0.02 + 1.08 * unit(random);
    const double rate = plant ? curve(!treated, conc) : curve(treated, conc) + 2 * unit(random) - 1;
    if (plant) planted[treated ? 0 : 1].push_back(i);
    csv << conc << ',' << rate << ',' << (treated ? "treated" : "untreated") << '\n';
  }
  write("d.csv", csv.str());
  write("curves.ruva",
        "proc ruva data=d plots=(fit residuals);\n  parms Vm=160 dV=40 K=0.05 dK=0.01;\n"
        "  treated = (state = 'treated');\n  model rate = (Vm + dV*treated)*conc / (K + dK*treated + conc);\n"
        "  output out=o l95=l95 u95=u95;\nrun;\n");
  ASSERT_EQ(run("--work . --graphs g curves.ruva"), 0) << read("log.txt");
  const std::string svg = read("g/step1_FitPlot.svg");
  ASSERT_FALSE(svg.empty()) << read("listing.txt");
  EXPECT_NE(layer(svg, "footnote").find("the 24 observations outside the prediction"), std::string::npos)
      << layer(svg, "footnote");
  const std::vector<std::vector<double>> out = csv_columns(read("o.csv"), {"conc", "rate", "l95", "u95"});
  const AxisRange x = axis(svg, "x-axis"), y = axis(svg, "y-axis");
  const double dx = 0.01 * (x.hi - x.lo) / std::fabs(x.p1 - x.p0), dy = 0.01 * (y.hi - y.lo) / std::fabs(y.p1 - y.p0);
  for (int c = 0; c < 2; ++c) {
    const std::string series = "observed " + std::to_string(c + 1);
    EXPECT_NE(layer(svg, "bins", series).find("data-counted=\"3000\""), std::string::npos) << series;
    std::vector<std::pair<double, double>> drawn, expected;
    for (const auto& [px, py] : marker_centres(layer(svg, "markers", series))) drawn.emplace_back(x.value(px), y.value(py));
    for (int i : planted[c]) {
      const std::vector<double>& row = out.at(static_cast<std::size_t>(i));
      EXPECT_TRUE(row[1] < row[2] || row[1] > row[3]) << "row " << i << " lies within its own limits";
      expected.emplace_back(row[0], row[1]);
    }
    ASSERT_EQ(drawn.size(), expected.size()) << series;
    std::sort(drawn.begin(), drawn.end());
    std::sort(expected.begin(), expected.end());
    for (std::size_t i = 0; i < drawn.size(); ++i) {
      EXPECT_NEAR(drawn[i].first, expected[i].first, dx) << series << " " << i;
      EXPECT_NEAR(drawn[i].second, expected[i].second, dy) << series << " " << i;
    }
  }
  const std::string projected = layer(read("g/step1_ResidualPlot_conc.svg"), "markers", "ProjectedResidual");
  EXPECT_EQ(elements(projected, "circle").size(), 0u);
  EXPECT_GE(elements(projected, "path").size(), 24u);
}

// The fit plot judges each observation by its own prediction limits, as
// OUTPUT gives them, not by the limit curves read between their grid
// points: a steep decay bends the limits enough between two grid points to
// move observations near them across.
TEST_F(DenseGraphsTest, FitPlotCountsTheObservationsOutsideTheLimitsOfOutput) {
  std::mt19937 random(50);
  std::normal_distribution<double> noise(0, 0.5);
  std::ostringstream csv;
  csv.precision(10);
  csv << "x,y\n";
  for (int i = 0; i < 9000; ++i) {
    const double x = i / 450.0;
    csv << x << ',' << 100 * std::exp(-x) + 1 + noise(random) << '\n';
  }
  write("d.csv", csv.str());
  write("decay.ruva", "proc ruva data=d plots=fit;\n  parms a=90 k=0.9 c=0;\n  model y = a*exp(-k*x) + c;\n"
                      "  output out=o l95=l u95=u;\nrun;\n");
  ASSERT_EQ(run("--work . --graphs g decay.ruva"), 0) << read("log.txt");
  const std::string svg = read("g/step1_FitPlot.svg");
  ASSERT_FALSE(svg.empty()) << read("listing.txt");
  const std::vector<std::pair<double, double>> outside = picked(
      csv_columns(read("o.csv"), {"x", "y", "l", "u"}), [](const std::vector<double>& r) { return r[1] < r[2] || r[1] > r[3]; });
  EXPECT_NE(layer(svg, "footnote").find("the " + std::to_string(outside.size()) + " observations outside"),
            std::string::npos) << layer(svg, "footnote");
  expect_markers(svg, layer(svg, "markers", "observed"), outside, "fit plot");
}

// Weighted prediction limits drawn as a bar at each observation outside
// them; without prediction limits the studentized residuals beyond 2; the
// diagnostics panel and the contour plot of two regressors binned too.
TEST_F(DenseGraphsTest, WeightedLimitsStudentizedResidualsPanelAndContourPastTheLimit) {
  std::mt19937 random(49);
  std::normal_distribution<double> noise(0, 1);
  std::ostringstream csv;
  csv.precision(10);
  csv << "x,z,w,y\n";
  for (int i = 0; i < 6000; ++i) {
    const double x = i / 600.0, z = (i * 7919 % 6000) / 600.0, w = 0.5 + (i % 4) * 0.5;
    csv << x << ',' << z << ',' << w << ',' << 2 + 0.5 * x + 0.3 * z + noise(random) / std::sqrt(w) << '\n';
  }
  write("d.csv", csv.str());
  write("dense.ruva", R"(
proc ruva data=d plots=fit;
  parms b0=1 b1=1;
  _weight_ = w;
  model y = b0 + b1*x;
  output out=o1 l95=l u95=u;
run;
proc ruva data=d plots=(fit(nocli) diagnostics);
  parms b0=1 b1=1;
  model y = b0 + b1*x;
  output out=o2 student=st;
run;
proc ruva data=d plots=fit;
  parms b0=1 b1=1 b2=1;
  model y = b0 + b1*x + b2*z;
  output out=o3 student=st;
run;
)");
  ASSERT_EQ(run("--work . --graphs g dense.ruva"), 0) << read("log.txt");

  const std::string weighted = read("g/step1_FitPlot.svg");
  const auto outside = [](const std::vector<double>& r) { return r[1] < r[2] || r[1] > r[3]; };
  const std::vector<std::vector<double>> o1 = csv_columns(read("o1.csv"), {"x", "y", "l", "u"});
  expect_markers(weighted, layer(weighted, "markers", "observed"), picked(o1, outside), "weighted fit plot");
  // Each bar runs from the observation's lower limit to its upper one.
  const AxisRange y = axis(weighted, "y-axis");
  std::vector<std::pair<double, double>> bars, limits;
  for (const std::string& line : elements(layer(weighted, "prediction-bars"), "line"))
    bars.emplace_back(y.value(attribute(line, "y1")), y.value(attribute(line, "y2")));
  for (const auto& r : o1)
    if (outside(r)) limits.emplace_back(r[2], r[3]);
  std::sort(bars.begin(), bars.end());
  std::sort(limits.begin(), limits.end());
  ASSERT_EQ(bars.size(), limits.size());
  const double dy = 0.01 * (y.hi - y.lo) / std::fabs(y.p1 - y.p0);
  for (std::size_t i = 0; i < bars.size(); ++i) {
    EXPECT_NEAR(bars[i].first, limits[i].first, dy) << i;
    EXPECT_NEAR(bars[i].second, limits[i].second, dy) << i;
  }

  const auto beyond_two = [](const std::vector<double>& r) { return std::fabs(r[2]) > 2; };
  const std::string plain = read("g/step2_FitPlot.svg");
  EXPECT_NE(layer(plain, "footnote").find("with a studentized residual beyond"), std::string::npos);
  expect_markers(plain, layer(plain, "markers", "observed"), picked(csv_columns(read("o2.csv"), {"x", "y", "st"}), beyond_two),
                 "fit plot without limits");
  const std::string panel = read("g/step2_FitDiagnosticsPanel.svg");
  EXPECT_NE(layer(panel, "footnote").find("6,000 observations make more marks"), std::string::npos) << layer(panel, "footnote");

  const std::string contour = read("g/step3_ContourFitPlot.svg");
  EXPECT_NE(layer(contour, "footnote").find("hexagonal bins coloured by the mean observed value"), std::string::npos);
  EXPECT_NE(layer(contour, "bins", "observed").find("data-counted=\"6000\""), std::string::npos);
  expect_markers(contour, layer(contour, "markers", "observed"), picked(csv_columns(read("o3.csv"), {"x", "z", "st"}), beyond_two),
                 "contour plot");
}

}  // namespace
