// A graph of more observations than it draws one by one: the points are
// binned and the footnote says so, and the observations beyond the cut-off
// are still drawn one by one, where the OUT= data set puts them.
#include <gtest/gtest.h>

#include <algorithm>
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

// Columns `names` of a CSV file of numbers, row by row.
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
    for (std::istringstream r(line); std::getline(r, field, ',');) fields.push_back(std::stod(field));
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

}  // namespace
