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

// The (x, y) of each marker <circle> of `svg_layer`, in data units.
std::vector<std::pair<double, double>> circles(const std::string& svg_layer, const AxisRange& x, const AxisRange& y) {
  static const std::regex circle(R"re(<circle cx="([^"]+)" cy="([^"]+)")re");
  std::vector<std::pair<double, double>> points;
  for (std::sregex_iterator it(svg_layer.begin(), svg_layer.end(), circle), end; it != end; ++it)
    points.emplace_back(x.value(std::stod((*it)[1])), y.value(std::stod((*it)[2])));
  return points;
}

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

  std::vector<std::pair<double, double>> beyond;
  for (const auto& row : csv_columns(read("o.csv"), {"x", "r", "st"}))
    if (std::fabs(row[2]) > 2) beyond.emplace_back(row[0], row[1]);
  const AxisRange x = axis(svg, "x-axis"), y = axis(svg, "y-axis");
  std::vector<std::pair<double, double>> drawn = circles(layer(svg, "markers", "Residual"), x, y);
  ASSERT_EQ(drawn.size(), beyond.size());
  EXPECT_GE(beyond.size(), 100u);  // the tails of 6,000 normal errors and the six planted outliers
  std::sort(drawn.begin(), drawn.end());
  std::sort(beyond.begin(), beyond.end());
  // Coordinates are written to a hundredth of a pixel.
  const double dx = 0.01 * (x.hi - x.lo) / std::fabs(x.p1 - x.p0), dy = 0.01 * (y.hi - y.lo) / std::fabs(y.p1 - y.p0);
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    EXPECT_NEAR(drawn[i].first, beyond[i].first, dx) << i;
    EXPECT_NEAR(drawn[i].second, beyond[i].second, dy) << i;
  }
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

}  // namespace
