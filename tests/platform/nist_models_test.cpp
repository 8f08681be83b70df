// Every model of the NIST StRD nonlinear problems, as a program writes it
// (NIST's text with "[ ]" written as "( )", arctan as atan, pi as its value
// and the error term dropped), parses as a MODEL statement; evaluated at the
// certified estimates and the first observation, it gives the value of the
// same model written in C++.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "expression_eval.h"
#include "platform/language/step_parser.h"
#include "support/nist_problem.h"

namespace lang = platform::language;

namespace {

using Model = std::function<double(const std::vector<double>& b, const std::vector<double>& row)>;

// The models written in C++, from NIST's descriptions.
const std::map<std::string, Model>& reference_models() {
  static const double pi = 3.141592653589793238462643383279;
  static const std::map<std::string, Model> models = {
      {"Chwirut1", [](auto& b, auto& r) { double x = r[1]; return std::exp(-b[0] * x) / (b[1] + b[2] * x); }},
      {"Chwirut2", [](auto& b, auto& r) { double x = r[1]; return std::exp(-b[0] * x) / (b[1] + b[2] * x); }},
      {"DanWood", [](auto& b, auto& r) { return b[0] * std::pow(r[1], b[1]); }},
      {"ENSO", [](auto& b, auto& r) {
         double x = r[1];
         return b[0] + b[1] * std::cos(2 * pi * x / 12) + b[2] * std::sin(2 * pi * x / 12) +
                b[4] * std::cos(2 * pi * x / b[3]) + b[5] * std::sin(2 * pi * x / b[3]) +
                b[7] * std::cos(2 * pi * x / b[6]) + b[8] * std::sin(2 * pi * x / b[6]);
       }},
      {"Gauss", [](auto& b, auto& r) {
         double x = r[1];
         return b[0] * std::exp(-b[1] * x) + b[2] * std::exp(-std::pow(x - b[3], 2) / std::pow(b[4], 2)) +
                b[5] * std::exp(-std::pow(x - b[6], 2) / std::pow(b[7], 2));
       }},
      {"Hahn1", [](auto& b, auto& r) {
         double x = r[1];
         return (b[0] + b[1] * x + b[2] * x * x + b[3] * x * x * x) / (1 + b[4] * x + b[5] * x * x + b[6] * x * x * x);
       }},
      {"Kirby2", [](auto& b, auto& r) {
         double x = r[1];
         return (b[0] + b[1] * x + b[2] * x * x) / (1 + b[3] * x + b[4] * x * x);
       }},
      {"Lanczos", [](auto& b, auto& r) {
         double x = r[1];
         return b[0] * std::exp(-b[1] * x) + b[2] * std::exp(-b[3] * x) + b[4] * std::exp(-b[5] * x);
       }},
      {"MGH17", [](auto& b, auto& r) { double x = r[1]; return b[0] + b[1] * std::exp(-x * b[3]) + b[2] * std::exp(-x * b[4]); }},
      {"Misra1a", [](auto& b, auto& r) { return b[0] * (1 - std::exp(-b[1] * r[1])); }},
      {"Misra1b", [](auto& b, auto& r) { return b[0] * (1 - std::pow(1 + b[1] * r[1] / 2, -2)); }},
      {"Misra1c", [](auto& b, auto& r) { return b[0] * (1 - std::pow(1 + 2 * b[1] * r[1], -0.5)); }},
      {"Misra1d", [](auto& b, auto& r) { return b[0] * b[1] * r[1] * std::pow(1 + b[1] * r[1], -1); }},
      {"Nelson", [](auto& b, auto& r) { return b[0] - b[1] * r[1] * std::exp(-b[2] * r[2]); }},
      {"Roszman1", [](auto& b, auto& r) { double x = r[1]; return b[0] - b[1] * x - std::atan(b[2] / (x - b[3])) / pi; }},
  };
  return models;
}

const Model& reference_for(const std::string& name) {
  const auto& models = reference_models();
  for (const char* family : {"Gauss", "Lanczos"})
    if (name.rfind(family, 0) == 0) return models.at(family);
  return models.at(name);
}

}  // namespace

TEST(NistModels, EveryModelParsesAndComputesTheReferenceValue) {
  for (const std::string& name : nist::kProblems) {
    const nist::Problem p = nist::read_problem(name);
    ASSERT_FALSE(p.certified.empty()) << name;
    ASSERT_FALSE(p.rows.empty()) << name;
    const std::vector<double> row = nist::numbers(p.rows.front());
    ASSERT_GE(row.size(), 2u) << name;
    // Nelson's response is log(y): the model is its right side.
    std::string parms = "parms";
    for (std::size_t i = 0; i < p.certified.size(); ++i)
      parms += " b" + std::to_string(i + 1) + "=1";
    const std::string step = "proc ruva;\n" + parms + ";\nmodel y = " + p.model + ";\n";
    auto parsed = lang::parse_step(step, 1);
    ASSERT_TRUE(parsed->errors.empty()) << name << ": " << step;

    std::map<std::string, double> vars;
    for (std::size_t i = 0; i < p.certified.size(); ++i)
      vars["B" + std::to_string(i + 1)] = p.certified[i];
    for (std::size_t j = 1; j < row.size(); ++j) {
      std::string key = p.variables[j];
      for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      vars[key] = row[j];
    }
    const lang::Stmt* model = nullptr;
    for (const lang::StmtPtr& s : parsed->program.statements)
      if (s->kind == lang::StmtKind::Model) model = s.get();
    ASSERT_NE(model, nullptr) << name;
    const double got = test_eval::eval(*model->value, vars);
    const double want = reference_for(name)(p.certified, row);
    EXPECT_NEAR(got, want, 1e-13 * std::max(1.0, std::fabs(want))) << name << ": " << p.model;
  }
}
