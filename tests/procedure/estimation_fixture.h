// Fits run as steps of the procedure, with what they leave behind: the
// OUTEST= data set as rows of text, the output tables of the JSON stream,
// and the context at the end of a BY group's work (through a step body
// that runs the group as the driver does and then stops).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "procedure/model_run.h"
#include "procedure_fixture.h"

namespace procedure_test {

using Row = std::map<std::string, std::string>;

// The rows of a CSV file, by variable name.
inline std::vector<Row> read_csv(const std::filesystem::path& file) {
  auto split = [](const std::string& line) {
    std::vector<std::string> out;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ',')) out.push_back(field);
    if (!line.empty() && line.back() == ',') out.emplace_back();
    return out;
  };
  std::ifstream in(file);
  std::vector<Row> rows;
  std::string line;
  if (!std::getline(in, line)) return rows;
  const std::vector<std::string> names = split(line);
  while (std::getline(in, line)) {
    const std::vector<std::string> values = split(line);
    Row row;
    for (std::size_t i = 0; i < names.size() && i < values.size(); ++i) row[names[i]] = values[i];
    rows.push_back(row);
  }
  return rows;
}

// The first BY group: grid search and estimation, then the inspection.
inline void fit_first_group_body() {
  RUVACOM* ctx = begin_step(2);
  if (xbynext(ctx->fiddata) > 0 && jovgrid(ctx) == 0) jovopt(ctx);
  inspect_and_exit(ctx);
}

class EstimationTest : public ProcedureTest {
 protected:
  // Graphics on (a JSON stream) unless `graphics` is false.
  explicit EstimationTest(bool graphics = true) : ProcedureTest(graphics) {}

  // The rows of a CSV data set of the WORK folder.
  std::vector<Row> read_rows(const std::string& name) const { return read_csv(dir_ / (name + ".csv")); }
  // The rows of one _TYPE_.
  std::vector<Row> rows_of(const std::string& data_set, const std::string& type) const {
    std::vector<Row> out;
    for (const Row& r : read_rows(data_set))
      if (r.at("_TYPE_") == type) out.push_back(r);
    return out;
  }
  static double number(const Row& row, const std::string& name) {
    const std::string& v = row.at(name);
    return v == "." || v.empty() ? std::nan("") : std::stod(v);
  }

  // The output tables of the JSON stream named `name`, in order.
  std::vector<nlohmann::json> tables(const std::string& name) const {
    std::vector<nlohmann::json> out;
    std::istringstream in(json_.str());
    for (std::string line; std::getline(in, line);) {
      nlohmann::json j = nlohmann::json::parse(line);
      if (j.value("name", "") == name) out.push_back(j);
    }
    return out;
  }
  // The ConvergenceStatus rows of the step, one per BY group: (status, reason).
  std::vector<std::pair<int, std::string>> statuses() const {
    std::vector<std::pair<int, std::string>> out;
    for (const auto& t : tables("ConvergenceStatus")) out.emplace_back(t["rows"][0][0], t["rows"][0][1]);
    return out;
  }
  // The text of message 305/number as the catalogue holds it.
  std::string message(int number) const { return host_.messages().find(305, number)->text; }
};

}  // namespace procedure_test
