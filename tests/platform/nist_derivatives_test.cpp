// The generated first and second derivatives of every NIST StRD nonlinear
// model, at the certified estimates and at the first, a middle and the last
// observation, against Richardson-extrapolated differences of the program's
// value with each parameter stepped in proportion to its size.
#include <gtest/gtest.h>

#include "derivative_fixture.h"
#include "nist_problems.h"

namespace derivative_test {
namespace {

class NistDerivatives : public DerivativeTest {};

TEST_F(NistDerivatives, MatchDifferencesAtTheCertifiedEstimates) {
  step_floor_ = 0;
  for (const std::string name : nist::kProblems) {
    const nist::Problem p = nist::read_problem(name + ".dat");
    ASSERT_FALSE(p.b.empty()) << name;
    ASSERT_GE(p.rows.size(), 3u) << name;
    std::string program = "parms";
    for (std::size_t i = 0; i < p.b.size(); ++i) program += " b" + std::to_string(i + 1) + " = 1";
    // ENSO uses pi without defining it; Roszman1 defines it.
    program += ";\n" + (p.preamble.empty() ? std::string("pi = 3.141592653589793238462643383279;")
                                           : p.preamble);
    // Nelson's response is log(y): the model is the right side. NIST's
    // arctan is the language's atan.
    std::string rhs = p.model.substr(p.model.find('=') + 1);
    if (auto at = rhs.find("arctan"); at != std::string::npos) rhs.replace(at, 6, "atan");
    program += "\nmodel y = " + rhs + ";\n";
    data_.variables = {compiler_test::numeric("y", 1)};
    if (p.row.size() == 3) {
      data_.variables.push_back(compiler_test::numeric("x1", 2));
      data_.variables.push_back(compiler_test::numeric("x2", 3));
    } else {
      data_.variables.push_back(compiler_test::numeric("x", 2));
    }
    reset();
    ASSERT_TRUE(compile_model(program)) << name << "\n" << program << log_text();
    ASSERT_EQ(parms_.n, static_cast<int>(p.b.size())) << name;
    for (std::size_t r : {std::size_t{0}, p.rows.size() / 2, p.rows.size() - 1}) {
      std::vector<compiler_test::FakeDataset::Value> row(p.rows[r].begin(), p.rows[r].end());
      expect_matches_differences(p.b, row, name + " observation " + std::to_string(r + 1));
    }
  }
}

}  // namespace
}  // namespace derivative_test
