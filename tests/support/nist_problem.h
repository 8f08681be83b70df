// A NIST StRD nonlinear regression problem of the tests' data folder, as a
// statistician would take it into a program: the model as an expression of
// the program language, the data with their variable names, both starting
// vectors, the certified estimates with their standard deviations and the
// certified residual figures. The one reader of those files in the tests.
#pragma once

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace nist {

// Every problem of the folder, in NIST's order of difficulty.
inline const std::vector<std::string> kProblems = {
    "Misra1a", "Chwirut2", "Chwirut1", "Lanczos3", "Gauss1", "Gauss2",   "DanWood",
    "Misra1b", "Kirby2",   "Hahn1",    "Nelson",   "MGH17",  "Lanczos1", "Lanczos2",
    "Gauss3",  "Misra1c",  "Misra1d",  "Roszman1", "ENSO"};

struct Problem {
  std::string name;
  std::string response;                  // "y", or "log(y)" (Nelson)
  std::string model;                     // the right side, brackets as parentheses
  std::vector<std::string> variables;    // the data columns: y first
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> start1, start2;  // as written
  std::vector<double> certified;
  std::vector<double> certified_sd;   // the estimates' certified standard deviations
  double rss = 0;                     // certified residual sum of squares
  double residual_sd = 0;             // and residual standard deviation
  int df = 0;                         // on these degrees of freedom
};

inline double number_after_colon(const std::string& line) { return std::stod(line.substr(line.find(':') + 1)); }

inline std::string trim(const std::string& s) {
  const auto a = s.find_first_not_of(' ');
  const auto b = s.find_last_not_of(' ');
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

inline bool name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// NIST writes arctan, brackets, and (ENSO) pi without defining it.
inline std::string program_expression(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const bool starts_word = i == 0 || !name_char(text[i - 1]);
    if (starts_word && text.compare(i, 6, "arctan") == 0) {
      out += "atan";
      i += 6;
    } else if (starts_word && text.compare(i, 2, "pi") == 0 && (i + 2 == text.size() || !name_char(text[i + 2]))) {
      out += "3.14159265358979323846";
      i += 2;
    } else {
      const char c = text[i++];
      out += c == '[' ? '(' : c == ']' ? ')' : c;
    }
  }
  return trim(out);
}

inline Problem read_problem(const std::string& name) {
  std::ifstream in(std::string(RUVA_SOURCE_DIR) + "/tests/data/nist/" + name + ".dat");
  Problem p;
  p.name = name;
  std::string line, model;
  bool in_model = false, in_data = false;
  int data_headers = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("Model:", 0) == 0) {
      in_model = true;
      continue;
    }
    if (in_model) {
      if (line.find("Start") != std::string::npos) in_model = false;
      else if (line.find("Parameters") == std::string::npos && line.find(" = ") != std::string::npos &&
               trim(line).rfind("pi =", 0) != 0)
        model += " " + trim(line);
      else if (!model.empty() && !trim(line).empty() && line.find("Parameters") == std::string::npos)
        model += " " + trim(line);
    }
    std::istringstream fields(line);
    std::string b, eq, s1, s2, c, sd;
    if (!in_data && fields >> b >> eq >> s1 >> s2 >> c >> sd && b.size() > 1 && b[0] == 'b' &&
        std::isdigit(static_cast<unsigned char>(b[1])) && eq == "=") {
      p.start1.push_back(s1);
      p.start2.push_back(s2);
      p.certified.push_back(std::stod(c));
      p.certified_sd.push_back(std::stod(sd));
    }
    if (line.rfind("Residual Sum of Squares:", 0) == 0) p.rss = number_after_colon(line);
    if (line.rfind("Residual Standard Deviation:", 0) == 0) p.residual_sd = number_after_colon(line);
    if (line.rfind("Degrees of Freedom:", 0) == 0) p.df = static_cast<int>(number_after_colon(line));
    if (line.rfind("Data:", 0) == 0 && ++data_headers == 2) {
      std::istringstream names(line.substr(5));
      for (std::string v; names >> v;) p.variables.push_back(v);
      in_data = true;
      continue;
    }
    if (in_data) {
      std::istringstream values(line);
      std::vector<std::string> row;
      for (std::string v; values >> v;) row.push_back(v);
      if (row.size() == p.variables.size()) p.rows.push_back(row);
    }
  }
  // "lhs = rhs + e": the error term is not part of the model.
  model = model.substr(0, model.rfind('+'));
  const auto eq = model.find('=');
  p.response = trim(model.substr(0, eq));
  for (char& c : p.response) c = c == '[' ? '(' : c == ']' ? ')' : c;
  p.model = program_expression(model.substr(eq + 1));
  return p;
}

// A row or a starting vector as numbers.
inline std::vector<double> numbers(const std::vector<std::string>& texts) {
  std::vector<double> values;
  for (const std::string& t : texts) values.push_back(std::stod(t));
  return values;
}

// The data column of a variable as numbers; empty if there is none.
inline std::vector<double> column(const Problem& p, const std::string& variable) {
  const auto at = std::find(p.variables.begin(), p.variables.end(), variable);
  std::vector<double> values;
  if (at == p.variables.end()) return values;
  const auto j = static_cast<std::size_t>(at - p.variables.begin());
  for (const auto& row : p.rows) values.push_back(std::stod(row[j]));
  return values;
}

}  // namespace nist
