// The StRD nonlinear regression files of the tests' data folder: the
// certified values, both starting vectors and the (y, x) data.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace nist {

struct Dataset {
  std::vector<double> y, x;
  std::vector<double> start1, start2, certified;
  double rss = 0;
};

// Reads the certified block and the data block of a StRD file.
inline Dataset read_dataset(const std::string& name) {
  std::ifstream in(std::string(RUVA_SOURCE_DIR) + "/tests/data/nist/" + name + ".dat");
  Dataset d;
  std::string line;
  bool in_data = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream fields(line);
    std::string label, equals;
    double start1, start2, certified;
    if (!in_data && fields >> label >> equals >> start1 >> start2 >> certified && label[0] == 'b' &&
        equals == "=") {
      d.start1.push_back(start1);
      d.start2.push_back(start2);
      d.certified.push_back(certified);
    } else if (line.rfind("Residual Sum of Squares:", 0) == 0) {
      d.rss = std::stod(line.substr(line.find(':') + 1));
    } else if (line.rfind("Data:", 0) == 0 && line.find(" y ") != std::string::npos) {
      in_data = true;
    } else if (in_data) {
      std::istringstream values(line);
      double yv, xv;
      if (values >> yv >> xv) {
        d.y.push_back(yv);
        d.x.push_back(xv);
      }
    }
  }
  return d;
}

}  // namespace nist
