// Every model of the NIST StRD nonlinear problems, as NIST writes it (with
// "[ ]" written as "( )" and the error term dropped), parses as a MODEL
// statement; evaluated at the certified estimates and the first
// observation, it gives the value of the same model written in C++.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>

#include "expression_eval.h"
#include "nist_problems.h"
#include "platform/language/step_parser.h"

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
  for (const std::string name : nist::kProblems) {
    const nist::Problem p = nist::read_problem(name + ".dat");
    ASSERT_FALSE(p.b.empty()) << name;
    ASSERT_GE(p.row.size(), 2u) << name;
    // "y = rhs" (Nelson's response is log(y): the model is its right side).
    const std::string rhs = p.model.substr(p.model.find('=') + 1);
    std::string parms = "parms";
    for (std::size_t i = 0; i < p.b.size(); ++i) parms += " b" + std::to_string(i + 1) + "=1";
    const std::string step = "proc ruva;\n" + parms + ";\n" + p.preamble + "\nmodel y = " + rhs + ";\n";
    auto parsed = lang::parse_step(step, 1);
    ASSERT_TRUE(parsed->errors.empty()) << name << ": " << step;

    // ENSO uses pi without defining it; Roszman1 assigns it.
    std::map<std::string, double> vars = {{"PI", 3.141592653589793238462643383279}};
    for (std::size_t i = 0; i < p.b.size(); ++i) vars["B" + std::to_string(i + 1)] = p.b[i];
    if (p.row.size() == 3) {
      vars["X1"] = p.row[1];
      vars["X2"] = p.row[2];
    } else {
      vars["X"] = p.row[1];
    }
    const lang::Stmt* model = nullptr;
    for (const lang::StmtPtr& s : parsed->program.statements) {
      if (s->kind == lang::StmtKind::Assign) vars[s->target->key] = test_eval::eval(*s->value, vars);
      if (s->kind == lang::StmtKind::Model) model = s.get();
    }
    ASSERT_NE(model, nullptr) << name;
    const double got = test_eval::eval(*model->value, vars);
    const double want = reference_for(name)(p.b, p.row);
    EXPECT_NEAR(got, want, 1e-13 * std::max(1.0, std::fabs(want))) << name << ": " << rhs;
  }
}
