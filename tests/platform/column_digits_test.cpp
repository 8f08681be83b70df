// Numbers of a column whose values differ greatly in size: each keeps its
// first seven significant digits (read back, it is the value to within half
// a unit of its seventh digit), and both copies of a value of a symmetric
// matrix look alike.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <random>
#include <sstream>

#include "platform/listing/print_file.h"
#include "platform/options.h"
#include "platform/output/output_render.h"
#include "platform/output/output_render_columns.h"

namespace platform {
namespace {

std::vector<std::string> shown(const std::vector<double>& values) {
  std::vector<Cell> cells;
  for (double v : values) cells.push_back(Cell::of_number(v));
  std::vector<const Cell*> pointers;
  for (const Cell& c : cells) pointers.push_back(&c);
  return format_cells(ColumnSpec{}, pointers);
}

// Within half a unit of the seventh significant digit, and the field full width.
void expect_seven_digits(const std::vector<double>& values) {
  const std::vector<std::string> cells = shown(values);
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(cells[i].size(), 12u) << cells[i];
    const double v = values[i], back = std::strtod(cells[i].c_str(), nullptr);
    const double half_unit = v == 0 ? 0 : 0.5 * std::pow(10.0, std::floor(std::log10(std::fabs(v))) - 6);
    EXPECT_LE(std::fabs(back - v), half_unit * 1.000001) << v << " shown as " << cells[i];
  }
}

TEST(ColumnDigits, ASmallValueBesideAHugeOneKeepsItsDigits) {
  // The standard errors of a Gompertz fit whose two parameters are confounded.
  EXPECT_EQ(shown({2.3153113541458388, 125738747462.47879, 0}),
            (std::vector<std::string>{"    2.315311", "125738747462", "           0"}));
  expect_seven_digits({2.3153113541458388, 125738747462.47879, 0});
  expect_seven_digits({0.0641212503, 212.683725, 0.000062044, 1.393, 3.856e-9});
}

TEST(ColumnDigits, EveryValueOfAColumnOfMixedMagnitudesKeepsItsDigits) {
  std::mt19937 rng(86);
  std::uniform_real_distribution<double> mantissa(1, 10);
  for (int column = 0; column < 200; ++column) {
    std::vector<double> values;
    for (int r = 0; r < 4; ++r) values.push_back(mantissa(rng) * std::pow(10.0, static_cast<int>(rng() % 24) - 12));
    expect_seven_digits(values);
  }
}

TEST(ColumnDigits, BothCopiesOfAValueOfASymmetricMatrixLookAlike) {
  // A covariance matrix whose columns differ in scale.
  const double v[3][3] = {{43.666897, 0.03982303, 21.833449},
                          {0.03982303, 6.2044e-05, 0.01991152},
                          {21.833449, 0.01991152, 10.916724}};
  OutputItem item;
  item.kind = "matrix";
  ColumnSpec names;
  names.role = "rowname";
  names.data_type = kTypeChars;
  item.columns.push_back(names);
  for (const char* name : {"a", "b", "c"}) {
    ColumnSpec c;
    c.name = c.label = name;
    c.width = 10;
    item.columns.push_back(c);
  }
  for (int i = 0; i < 3; ++i)
    item.rows.push_back({Cell::of_text(std::string(1, static_cast<char>('a' + i))), Cell::of_number(v[i][0]),
                         Cell::of_number(v[i][1]), Cell::of_number(v[i][2])});
  std::ostringstream out;
  {
    SystemOptions options;
    PrintFile print(out, options);
    render_listing(item, print);
  }
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) {
    std::istringstream in(line);
    std::vector<std::string> tokens{std::istream_iterator<std::string>(in), {}};
    if (tokens.size() == 4) rows.push_back({tokens.begin() + 1, tokens.end()});
  }
  ASSERT_EQ(rows.size(), 3u) << out.str();
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < i; ++j) EXPECT_EQ(rows[i][j], rows[j][i]) << out.str();
}

}  // namespace
}  // namespace platform
