// Fits run in the test program as steps of the procedure, over a data set
// d written to the WORK folder, with the tables of the JSON stream read by
// row and column name.
#pragma once

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "procedure/estimation_fixture.h"

namespace results_test {

using Json = nlohmann::json;

// Puromycin, treated state: reaction rate against substrate concentration.
inline const char* const kPuromycin =
    "conc,rate\n0.02,76\n0.02,47\n0.06,97\n0.06,107\n0.11,123\n0.11,139\n0.22,159\n0.22,152\n0.56,191\n"
    "0.56,201\n1.10,207\n1.10,200\n";
inline const double kConc[12] = {0.02, 0.02, 0.06, 0.06, 0.11, 0.11, 0.22, 0.22, 0.56, 0.56, 1.10, 1.10};
inline const double kRate[12] = {76, 47, 97, 107, 123, 139, 159, 152, 191, 201, 207, 200};

// The text of the data set examples/NAME.csv.
inline std::string example_data(const std::string& name) {
  std::ifstream in(std::string(RUVA_SOURCE_DIR) + "/examples/" + name + ".csv");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Puromycin in both states (variable state, treated first), as the example has it.
inline std::string puromycin_by_state() { return example_data("puromycin"); }

// Two-sided p of t on 10 degrees of freedom, in closed form (even df).
inline double t10_two_sided(double t) {
  const double th = std::atan(std::fabs(t) / std::sqrt(10.0)), c2 = std::cos(th) * std::cos(th);
  double term = 1, sum = 1;
  for (int k = 1; k <= 4; ++k) sum += term *= c2 * (2 * k - 1) / (2 * k);
  return 1 - std::sin(th) * sum;
}
// The 0.975 quantile of t on 10 degrees of freedom.
inline constexpr double kT10 = 2.228138851986273;

class FitTest : public procedure_test::EstimationTest {
 protected:
  using EstimationTest::EstimationTest;
  using EstimationTest::number;
  // Runs `program` over `csv` as data set d; returns the step's code.
  int fit(const std::string& csv, const std::string& program) {
    write_file("d.csv", csv);
    return run(program);
  }
  // The first table named `name`, or null.
  Json table(const std::string& name) const {
    const auto all = tables(name);
    return all.empty() ? Json() : all.front();
  }
  static Json cell(const Json& t, std::size_t row, const std::string& column) {
    const Json& cols = t["columns"];
    for (std::size_t c = 0; c < cols.size(); ++c)
      if (cols[c]["name"] == column) return t["rows"][row][c];
    ADD_FAILURE() << "no column " << column;
    return nullptr;
  }
  static double number(const Json& t, std::size_t row, const std::string& column) {
    return cell(t, row, column).get<double>();
  }
};

}  // namespace results_test
