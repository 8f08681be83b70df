// The StRD nonlinear regression files of the tests' data folder as
// published: the model as NIST writes it (brackets as parentheses, the
// error term dropped), both starting vectors, the certified estimates with
// their standard deviations, the residual sum of squares, the residual
// standard deviation, the degrees of freedom, and the data as text.
#pragma once

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace nist_files {

struct Problem {
  std::string name;
  std::string lhs, rhs;   // the model's two sides
  std::string preamble;   // statements before the model (pi)
  std::vector<double> start1, start2, certified, sd;
  double rss = 0, residual_sd = 0;
  int df = 0;
  std::vector<std::string> columns;             // y, x (Nelson: y, x1, x2)
  std::vector<std::vector<std::string>> rows;   // the values as written
};

inline std::string trim(const std::string& s) {
  const auto a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

inline double number_after_colon(const std::string& line) { return std::stod(line.substr(line.find(':') + 1)); }

inline void model_line(Problem* p, const std::string& line, std::string* model) {
  const std::string text = trim(line);
  if (text.empty() || text.find("Parameters") != std::string::npos) return;
  if (text.rfind("pi =", 0) == 0) p->preamble += text + ";";
  else *model += " " + text;
}

inline void certified_line(Problem* p, const std::string& line) {
  std::istringstream fields(line);
  std::string name, eq;
  double s1, s2, c, sd;
  if (fields >> name >> eq >> s1 >> s2 >> c >> sd && name.size() > 1 && name[0] == 'b' &&
      std::isdigit(static_cast<unsigned char>(name[1])) && eq == "=") {
    p->start1.push_back(s1);
    p->start2.push_back(s2);
    p->certified.push_back(c);
    p->sd.push_back(sd);
  }
}

inline void split_model(Problem* p, std::string model) {
  model = model.substr(0, model.rfind('+'));  // the error term
  for (char& c : model) c = c == '[' ? '(' : c == ']' ? ')' : c;
  p->lhs = trim(model.substr(0, model.find('=')));
  p->rhs = trim(model.substr(model.find('=') + 1));
  if (model.find("pi") != std::string::npos && p->preamble.empty())
    p->preamble = "pi = 3.141592653589793238462643383279;";
}

inline Problem read(const std::string& name) {
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
    if (in_model && (line.find("Starting") != std::string::npos || line.find("Start 1") != std::string::npos))
      in_model = false;
    if (in_model) model_line(&p, line, &model);
    certified_line(&p, line);
    if (line.rfind("Residual Sum of Squares:", 0) == 0) p.rss = number_after_colon(line);
    if (line.rfind("Residual Standard Deviation:", 0) == 0) p.residual_sd = number_after_colon(line);
    if (line.rfind("Degrees of Freedom:", 0) == 0) p.df = static_cast<int>(number_after_colon(line));
    if (line.rfind("Data:", 0) == 0 && ++data_headers == 2) {
      std::istringstream names(line.substr(5));
      for (std::string n; names >> n;) p.columns.push_back(n);
      in_data = true;
      continue;
    }
    if (in_data) {
      std::istringstream values(line);
      std::vector<std::string> row;
      for (std::string v; values >> v;) row.push_back(v);
      if (row.size() == p.columns.size()) p.rows.push_back(row);
    }
  }
  split_model(&p, model);
  return p;
}

}  // namespace nist_files
