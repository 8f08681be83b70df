// The generated first and second derivatives of every NIST StRD nonlinear
// model, at the certified estimates and at the first, a middle and the last
// observation, against Richardson-extrapolated differences of the program's
// value with each parameter stepped in proportion to its size.
#include <gtest/gtest.h>

#include "derivative_fixture.h"
#include "support/nist_problem.h"

namespace derivative_test {
namespace {

class NistDerivatives : public DerivativeTest {};

TEST_F(NistDerivatives, MatchDifferencesAtTheCertifiedEstimates) {
  step_floor_ = 0;
  for (const std::string& name : nist::kProblems) {
    const nist::Problem p = nist::read_problem(name);
    ASSERT_FALSE(p.certified.empty()) << name;
    ASSERT_GE(p.rows.size(), 3u) << name;
    std::string program = "parms";
    for (std::size_t i = 0; i < p.certified.size(); ++i)
      program += " b" + std::to_string(i + 1) + " = 1";
    // Nelson's response is log(y): the model is the right side.
    program += ";\nmodel y = " + p.model + ";\n";
    data_.variables.clear();
    for (std::size_t j = 0; j < p.variables.size(); ++j)
      data_.variables.push_back(
          compiler_test::numeric(p.variables[j].c_str(), static_cast<int>(j + 1)));
    reset();
    ASSERT_TRUE(compile_model(program)) << name << "\n" << program << log_text();
    ASSERT_EQ(parms_.n, static_cast<int>(p.certified.size())) << name;
    for (std::size_t r : {std::size_t{0}, p.rows.size() / 2, p.rows.size() - 1}) {
      const std::vector<double> values = nist::numbers(p.rows[r]);
      std::vector<compiler_test::FakeDataset::Value> row(values.begin(), values.end());
      expect_matches_differences(p.certified, row, name + " observation " + std::to_string(r + 1));
    }
  }
}

}  // namespace
}  // namespace derivative_test
