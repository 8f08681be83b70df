// A loss of the program's own that the least-squares steps do not minimise
// is warned about per BY group, with the objective at the estimates, which
// the passes of the check must compute as the fit does (programs that carry
// values from one observation to the next); weights that make the steps
// those of the loss (the guide's Poisson example) pass without a word.
#include <cmath>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "estimation_fixture.h"

namespace {

using procedure_test::EstimationTest;

struct Observation {
  std::string state;
  double conc, rate;
};

std::string puromycin_text() {
  std::ifstream in(std::string(RUVA_SOURCE_DIR) + "/examples/puromycin.csv");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<Observation> observations(const std::string& csv) {
  std::vector<Observation> out;
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string conc, rate, state;
    std::getline(fields, conc, ',');
    std::getline(fields, rate, ',');
    std::getline(fields, state);
    out.push_back({state, std::stod(conc), std::stod(rate)});
  }
  return out;
}

// The loss of the carrying program below, computed here observation by
// observation: n counts the group's observations (RETAIN), t[1] sums conc
// (a _TEMPORARY_ array), prev is the previous observation's conc (a
// RETAIN variable assigned after it is read).
double carrying_objective(const std::vector<Observation>& data, const std::string& state, double vm, double k) {
  double f = 0, sum = 0, prev = 0;
  int n = 0;
  for (const Observation& o : data) {
    if (o.state != state) continue;
    ++n;
    sum += o.conc;
    const double mu = vm * o.conc / (k + o.conc), r = o.rate - mu;
    f += (1 + n % 2) * (std::sqrt(r * r + 1) + 0.01 * prev + 0.001 * sum);
    prev = o.conc;
  }
  return f;
}

class LossTest : public EstimationTest {
 protected:
  LossTest() { write_file("puromycin.csv", puromycin_text()); }

  // The objective each warning gives, by BY group.
  std::map<std::string, double> warned_objectives() const {
    std::map<std::string, double> out;
    static const std::regex re(
        R"(WARNING: The estimates do not minimise the loss in the BY group state=(\w+): .* is ([-0-9.e+]+) there)");
    std::istringstream lines(log_text());
    for (std::string line; std::getline(lines, line);)
      if (std::smatch m; std::regex_search(line, m, re)) out[m[1]] = std::stod(m[2]);
    return out;
  }
};

// The issue's loss (Puromycin by state): the least-squares steps stop at the
// least-squares fit, where the loss is not stationary (scaled gradients 0.52
// treated, 1.7 untreated). Each group whose fit converged (both under
// NEWTON; under GAUSS the untreated fit finds no step that reduces the
// loss) gets a warning, and the step return code 4. The objective in the
// warning, from the check's own passes, is the loss at the estimates
// computed here, also for a program that carries values between
// observations and weights them.
TEST_F(LossTest, ALossTheStepsDoNotMinimiseIsWarnedPerGroup) {
  const std::string loss = "_loss_ = sqrt((rate-mu)**2 + 1);";
  const std::string carrying =
      "retain n 0 prev 0; n = n + 1; array t[1] _temporary_ (0); t[1] = t[1] + conc; "
      "_weight_ = 1 + mod(n, 2); _loss_ = sqrt((rate-mu)**2 + 1) + 0.01*prev + 0.001*t[1]; prev = conc;";
  const std::vector<Observation> data = observations(puromycin_text());
  for (const std::string method : {"gauss", "newton"})
    for (const std::string& program : {loss, carrying}) {
      SCOPED_TRACE(method + ": " + program);
      EXPECT_EQ(run("proc ruva data=puromycin outest=est method=" + method +
                    "; by state; parms Vm = 200 K = 0.05; mu = Vm*conc/(K+conc); model rate = mu; " + program),
                4)
          << log_text();
      const auto finals = rows_of("est", "FINAL");  // the converged fits
      const std::map<std::string, double> warned = warned_objectives();
      EXPECT_EQ(warned.size(), finals.size()) << log_text();
      EXPECT_EQ(finals.size(), method == "newton" ? 2u : 1u);
      for (const auto& row : finals) {
        const double vm = number(row, "Vm"), k = number(row, "K");
        const std::string state = row.at("state");
        double expected = 0;
        if (program == loss) {
          for (const Observation& o : data)
            if (o.state == state) expected += std::sqrt(std::pow(o.rate - vm * o.conc / (k + o.conc), 2) + 1);
        } else {
          expected = carrying_objective(data, state, vm, k);
        }
        ASSERT_TRUE(warned.count(state)) << state << log_text();
        EXPECT_NEAR(warned.at(state), expected, 1e-8 * expected) << state;
      }
    }
}

// The guide's Poisson fit: weights 1/mu make the Gauss-Newton steps those of
// the deviance, which is stationary at the estimates.
TEST_F(LossTest, WeightsThatMakeTheStepsThoseOfTheLossPass) {
  std::ifstream in(std::string(RUVA_SOURCE_DIR) + "/examples/loss.ruva");
  std::stringstream text;
  text << in.rdbuf();
  const std::string program = text.str();
  EXPECT_EQ(run(program.substr(0, program.find("run;"))), 0) << log_text();
  EXPECT_EQ(logged(1015), 0) << log_text();
}

}  // namespace
