// The NIST StRD nonlinear regression problems as the tests read them: the
// model as NIST writes it (joined over its lines, "[ ]" written as "( )",
// the error term dropped), the certified estimates and the data rows.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace nist {

inline const char* const kProblems[] = {"Chwirut1", "Chwirut2", "DanWood", "ENSO",    "Gauss1",
                                        "Gauss2",   "Gauss3",   "Hahn1",   "Kirby2",  "Lanczos1",
                                        "Lanczos2", "Lanczos3", "MGH17",   "Misra1a", "Misra1b",
                                        "Misra1c",  "Misra1d",  "Nelson",  "Roszman1"};

struct Problem {
  std::string model;                      // "y = ..." joined over its lines
  std::string preamble;                   // statements before the model (Roszman1's pi)
  std::vector<double> b;                  // certified estimates
  std::vector<double> row;                // the first observation: y, x (or y, x1, x2)
  std::vector<std::vector<double>> rows;  // every observation
};

inline std::string nist_dir() {
  return std::string(RUVA_SOURCE_DIR) + "/tests/data/nist/";
}

inline Problem read_problem(const std::string& file) {
  std::ifstream in(nist_dir() + file);
  EXPECT_TRUE(in) << file;
  Problem p;
  std::string line;
  bool in_model = false, in_data = false;
  int data_headers = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("Model:", 0) == 0) {
      in_model = true;
      continue;
    }
    if (in_model) {
      if (line.find("Starting") != std::string::npos || line.find("Start 1") != std::string::npos) {
        in_model = false;
      } else if (line.find("Parameters") == std::string::npos &&
                 line.find_first_not_of(' ') != std::string::npos) {
        std::string text = line.substr(line.find_first_not_of(' '));
        if (text.rfind("pi =", 0) == 0)
          p.preamble += text + ";";
        else
          p.model += " " + text;
      }
    }
    // "  b1 =  start1  start2  certified  sd": the certified estimate.
    std::istringstream fields(line);
    std::string name, eq, start1, start2, certified;
    if (fields >> name >> eq >> start1 >> start2 >> certified && name.size() > 1 &&
        name[0] == 'b' && std::isdigit(static_cast<unsigned char>(name[1])) && eq == "=")
      p.b.push_back(std::stod(certified));
    if (line.rfind("Data:", 0) == 0 && ++data_headers == 2) {
      in_data = true;
      continue;
    }
    if (in_data) {
      std::istringstream row(line);
      std::vector<double> values;
      double v;
      while (row >> v) values.push_back(v);
      if (!values.empty()) p.rows.push_back(values);
      if (p.row.empty()) p.row = values;
    }
  }
  // Drop the error term, write brackets as parentheses.
  p.model = p.model.substr(0, p.model.rfind('+'));
  for (char& c : p.model) c = c == '[' ? '(' : c == ']' ? ')' : c;
  return p;
}

}  // namespace nist
