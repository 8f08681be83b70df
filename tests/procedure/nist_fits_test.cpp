// The NIST StRD nonlinear regression problems fitted as a user fits them:
// a program and a CSV file in a folder, the built ruva command run on them,
// the estimates read back from the OUTEST= data set and judged by their
// correct significant digits (log relative error against the certified
// values). From both starting vectors:
// - METHOD=MARQUARDT CONVERGE=1e-10: at least 6 digits in every estimate;
// - the defaults (METHOD=GAUSS): at least 4 digits in at least 36 of the 38.
// Where the algorithm itself stops short, the case is pinned below with the
// evidence from its iterations.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "estimation_fixture.h"
#include "support/nist_problem.h"

namespace fs = std::filesystem;

namespace {

using procedure_test::read_csv;
using procedure_test::Row;

// One fit: the OUTEST= rows and the worst log relative error.
struct Fit {
  int status = -1;
  std::vector<Row> rows;
  double digits = 0;
};

double digits(double value, double certified) {
  if (value == certified) return 15;
  if (!std::isfinite(value)) return 0;
  return std::min(15.0, -std::log10(std::fabs(value - certified) / std::fabs(certified)));
}

// Writes the data and the program, runs the command, reads OUTEST=.
Fit fit(const nist::Problem& p, int start, const std::string& options) {
  Fit f;
  const fs::path dir = fs::temp_directory_path() /
                       ("ruva_nist_" + std::to_string(::getpid()) + "_" + p.name + "_" + std::to_string(start));
  fs::create_directories(dir);
  {
    std::ofstream csv(dir / "d.csv");
    for (std::size_t j = 0; j < p.variables.size(); ++j) csv << (j ? "," : "") << p.variables[j];
    csv << "\n";
    for (const auto& row : p.rows) {
      for (std::size_t j = 0; j < row.size(); ++j) csv << (j ? "," : "") << row[j];
      csv << "\n";
    }
  }
  {
    std::ofstream program(dir / "fit.ruva");
    program << "proc ruva data=d outest=est " << options << ";\n  parms";
    const auto& s = start == 1 ? p.start1 : p.start2;
    for (std::size_t i = 0; i < s.size(); ++i) program << " b" << i + 1 << " = " << s[i];
    program << ";\n";
    if (p.response == "y") {
      program << "  model y = " << p.model << ";\n";
    } else {
      program << "  response = " << p.response << ";\n  model response = " << p.model << ";\n";
    }
    program << "run;\n";
  }
  const std::string command = "cd '" + dir.string() + "' && '" + std::string(RUVA_BINARY_DIR) +
                              "/ruva' --json out.json fit.ruva >listing.txt 2>log.txt";
  const int status = std::system(command.c_str());
  f.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  f.rows = read_csv(dir / "est.csv");
  // The fit's own rows end with FINAL (or ITER); the COVB rows of the result
  // tables follow them.
  std::erase_if(f.rows, [](const Row& r) { return r.at("_TYPE_") == "COVB"; });
  f.digits = f.rows.empty() ? 0 : 15;
  for (std::size_t i = 0; i < p.certified.size() && !f.rows.empty(); ++i)
    f.digits = std::min(f.digits, digits(std::stod(f.rows.back().at("b" + std::to_string(i + 1))), p.certified[i]));
  fs::remove_all(dir);
  return f;
}

// The ITER row of iteration k.
const Row* iteration(const Fit& f, int k) {
  for (const Row& r : f.rows)
    if (r.at("_TYPE_") == "ITER" && r.at("_ITER_") == std::to_string(k)) return &r;
  return nullptr;
}
double value(const Row* r, const std::string& name) { return r ? std::stod(r->at(name)) : std::nan(""); }

// MGH17 from its first start: one step (the first with Marquardt, the
// 15th with Gauss-Newton) takes b5 beyond 50, where exp(-x*b5) underflows
// to 0 at every x >= 10 and its derivative column is zero (x = 0 gives a
// zero derivative too). b5 never moves again and the fit settles in a
// minimum of the model that is left, far above the certified SSE.
void expect_mgh17_start1_stalls(const Fit& f) {
  int k = 0;
  while (iteration(f, k) && !(value(iteration(f, k), "b5") > 50)) ++k;
  ASSERT_NE(iteration(f, k), nullptr) << "b5 should leave the data's range";
  const double b5 = value(iteration(f, k), "b5");
  for (const Row* r = iteration(f, k); r; r = iteration(f, ++k)) EXPECT_EQ(value(r, "b5"), b5);
  EXPECT_EQ(std::stod(f.rows.back().at("b5")), b5);
  EXPECT_GT(std::stod(f.rows.back().at("_SSE_")), 100 * 5.4648946975e-05);
}

// Lanczos from the first start: the Marquardt ridge stays near lambda
// 1e-6 to 1e-5 on the ill-conditioned Hessian, which shortens every step;
// at the iteration limit the SSE is still falling.
void expect_lanczos_start1_crawls(const Fit& f) {
  const Row* last = iteration(f, 100);
  ASSERT_NE(last, nullptr) << "the fit should reach MAXITER=100";
  EXPECT_LT(value(last, "_SSE_"), value(iteration(f, 50), "_SSE_"));
  EXPECT_EQ(f.rows.back().at("_STATUS_"), "Failed");
}

TEST(NistFits, MarquardtWithATightCriterionGetsSixDigits) {
  const std::set<std::string> pinned = {"Lanczos1/1", "Lanczos2/1", "Lanczos3/1", "MGH17/1"};
  for (const auto& name : nist::kProblems) {
    const nist::Problem p = nist::read_problem(name);
    ASSERT_FALSE(p.rows.empty()) << name;
    for (int start : {1, 2}) {
      const Fit f = fit(p, start, "method=marquardt converge=1e-10");
      const std::string id = name + "/" + std::to_string(start);
      ASSERT_FALSE(f.rows.empty()) << id << " status " << f.status;
      std::printf("%-12s marquardt  %5.1f digits  %s\n", id.c_str(), f.digits, f.rows.back().at("_STATUS_").c_str());
      if (!pinned.count(id)) {
        EXPECT_GE(f.digits, 6.0) << id;
      } else if (name == "MGH17") {
        expect_mgh17_start1_stalls(f);
      } else {
        expect_lanczos_start1_crawls(f);
      }
    }
  }
}

// Correct digits (worst estimate, floored to a tenth) of every case with
// the defaults and with METHOD=MARQUARDT, as they were while the optimiser's
// zero-objective test compared the SSE with SINGULAR= itself, whatever the
// size of the responses.
struct Digits {
  const char* id;
  double defaults, marquardt;
};
constexpr Digits kDigitsWithTheAbsoluteTest[] = {
    {"Misra1a/1", 8.5, 6.5}, {"Misra1a/2", 7.6, 7.6},
    {"Chwirut2/1", 6.0, 5.2}, {"Chwirut2/2", 5.8, 5.8},
    {"Chwirut1/1", 5.7, 4.9}, {"Chwirut1/2", 5.8, 5.8},
    {"Lanczos3/1", 5.8, 0.5}, {"Lanczos3/2", 6.4, 6.4},
    {"Gauss1/1", 6.9, 6.9}, {"Gauss1/2", 6.8, 6.8},
    {"Gauss2/1", 6.4, 6.4}, {"Gauss2/2", 6.3, 6.3},
    {"DanWood/1", 7.9, 7.9}, {"DanWood/2", 6.5, 6.5},
    {"Misra1b/1", 6.8, 7.3}, {"Misra1b/2", 8.7, 7.1},
    {"Kirby2/1", 6.3, 6.3}, {"Kirby2/2", 5.8, 5.8},
    {"Hahn1/1", 4.5, 5.4}, {"Hahn1/2", 5.0, 5.0},
    {"Nelson/1", 5.9, 5.3}, {"Nelson/2", 3.9, 5.1},
    {"MGH17/1", -5.3, -6.2}, {"MGH17/2", 6.5, 5.7},
    {"Lanczos1/1", 7.2, 0.7}, {"Lanczos1/2", 6.3, 6.3},
    {"Lanczos2/1", 10.1, 0.7}, {"Lanczos2/2", 9.0, 9.0},
    {"Gauss3/1", 6.4, 6.4}, {"Gauss3/2", 8.3, 6.7},
    {"Misra1c/1", 7.2, 6.9}, {"Misra1c/2", 7.5, 7.5},
    {"Misra1d/1", 8.7, 6.8}, {"Misra1d/2", 8.9, 8.9},
    {"Roszman1/1", 5.4, 5.4}, {"Roszman1/2", 5.4, 5.4},
    {"ENSO/1", 4.0, 3.9}, {"ENSO/2", 4.0, 4.0},
};

double digits_before(const std::string& id, bool marquardt) {
  for (const Digits& d : kDigitsWithTheAbsoluteTest)
    if (id == d.id) return marquardt ? d.marquardt : d.defaults;
  ADD_FAILURE() << id << " has no pinned digits";
  return 0;
}

// The defaults: at least 4 digits in all but two cases. Both methods: no
// case loses digits it had to 4 places, and Lanczos1 from its first start
// (SSE near 1e-25, responses near 1) is not called converged short of 4.
TEST(NistFits, TheDefaultsGetFourDigitsInAllButTwoAndNoCaseLosesDigits) {
  int good = 0;
  for (const auto& name : nist::kProblems) {
    const nist::Problem p = nist::read_problem(name);
    for (int start : {1, 2}) {
      const std::string id = name + "/" + std::to_string(start);
      for (bool marquardt : {false, true}) {
        const Fit f = fit(p, start, marquardt ? "method=marquardt" : "");
        ASSERT_FALSE(f.rows.empty()) << id << " status " << f.status;
        const std::string status = f.rows.back().at("_STATUS_");
        const double before = digits_before(id, marquardt);
        std::printf("%-12s %-9s %5.2f digits (%4.1f before)  %s\n", id.c_str(), marquardt ? "marquardt" : "defaults",
                    f.digits, before, status.c_str());
        if (before >= 4.0) {
          EXPECT_GE(f.digits, before) << id << (marquardt ? " marquardt" : " defaults");
        }
        if (id == "Lanczos1/1" && marquardt) {
          EXPECT_TRUE(f.digits >= 4.0 || status != "Converged") << f.digits;
        }
        if (marquardt) continue;
        if (f.digits >= 4.0) {
          ++good;
        } else if (id == "MGH17/1") {
          expect_mgh17_start1_stalls(f);
        } else {
          // Nelson from its second start converges with b1 and b3 to 5
          // digits; b2 (certified 5.6e-9 with a standard deviation of 6.1e-9,
          // which the data do not determine) has 3.99.
          EXPECT_EQ(id, "Nelson/2") << f.digits;
          EXPECT_EQ(f.rows.back().at("_TYPE_"), "FINAL");
          EXPECT_GT(f.digits, 3.9);
        }
      }
    }
  }
  EXPECT_GE(good, 36);
}

// Misra1a with its responses and b1 scaled by 1e-6: the certified SSE,
// 1.2e-13, lies below SINGULAR= itself, so a zero-objective test blind to
// the responses' scale stopped the fit at 3.4 digits.
TEST(NistFits, SmallResponsesAreFittedNotTakenForAPerfectFit) {
  nist::Problem p = nist::read_problem("Misra1a");
  const auto scaled = [](const std::string& text) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", std::stod(text) * 1e-6);
    return std::string(buffer);
  };
  for (auto& row : p.rows) row[0] = scaled(row[0]);
  p.start1[0] = scaled(p.start1[0]);
  p.start2[0] = scaled(p.start2[0]);
  p.certified[0] *= 1e-6;
  for (int start : {1, 2}) EXPECT_GE(fit(p, start, "").digits, 6.0) << "start " << start;
}

}  // namespace
