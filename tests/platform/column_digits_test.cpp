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

TEST(ColumnDigits, EveryValueOfAColumnOfMixedMagnitudesKeepsItsDigits) {
  // The standard errors of a Gompertz fit whose two parameters are confounded.
  EXPECT_EQ(shown({2.3153113541458388, 125738747462.47879, 0}),
            (std::vector<std::string>{"    2.315311", "125738747462", "           0"}));
  std::mt19937 rng(86);
  std::uniform_real_distribution<double> mantissa(1, 10);
  for (int column = 0; column < 200; ++column) {
    std::vector<double> values;
    for (int r = 0; r < 4; ++r) values.push_back(mantissa(rng) * std::pow(10.0, static_cast<int>(rng() % 24) - 12));
    const std::vector<std::string> cells = shown(values);
    for (std::size_t i = 0; i < values.size(); ++i) {
      const double v = values[i], back = std::strtod(cells[i].c_str(), nullptr);
      EXPECT_LE(std::fabs(back - v), 0.5000001 * std::pow(10.0, std::floor(std::log10(v)) - 6)) << v << " " << cells[i];
    }
  }
}

TEST(ColumnDigits, BothCopiesOfAValueOfASymmetricMatrixLookAlike) {
  // Columns whose largest values differ in size, and one far smaller value.
  const double v[3][3] = {{150, 2.5, 0.03982303}, {2.5, 3, 0.5}, {0.03982303, 0.5, 6.2044e-05}};
  OutputItem item;
  item.kind = "matrix";
  item.columns.resize(3);
  for (int j = 0; j < 3; ++j) item.columns[j].name = "Col" + std::to_string(j + 1), item.columns[j].width = 10;
  for (const auto& row : v) item.rows.push_back({Cell::of_number(row[0]), Cell::of_number(row[1]), Cell::of_number(row[2])});
  std::ostringstream out;
  {
    SystemOptions options;
    PrintFile print(out, options);
    render_listing(item, print);
  }
  std::istringstream lines(out.str());
  std::vector<std::vector<std::string>> cells;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream in(line);
    std::vector<std::string> row{std::istream_iterator<std::string>(in), {}};
    if (row.size() == 3 && row[0] != "Col1") cells.push_back(row);
  }
  ASSERT_EQ(cells.size(), 3u) << out.str();
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < i; ++j) EXPECT_EQ(cells[i][j], cells[j][i]) << out.str();
}

}  // namespace
}  // namespace platform
