// A host that draws graphs into a scratch folder and keeps the HTML report,
// with helpers that hand the output service tables and graph requests as
// the procedure does, and readers of the SVG the tests look into.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "host/services.h"
#include "host/object_methods.h"
#include "platform/host.h"
#include "platform/report/html_report.h"
#include "support/svg_reading.h"

class GraphTest : public ::testing::Test {
 protected:
  // `report` sets the report's budget and the names its note gives;
  // without `files` the graphs go to the report only.
  explicit GraphTest(platform::report::ReportSettings report = {}, bool files = true);
  ~GraphTest() override;

  // Runs `body` as a step.
  int run(std::function<void()> body);
  // The picture written as `stem`.svg, "" when there is none.
  std::string svg(const std::string& stem) const;
  std::string listing_text() const { return listing_.str(); }

  std::filesystem::path dir_;
  std::ostringstream log_, listing_;
  platform::report::HtmlReport report_;
  platform::Host host_;
};

// The output manager of the step.
wobop graph_manager();

// Emits a table of double columns under `templ` and returns its path key;
// graph data unless `graph_data` is false (a table of the listing).
xobskey emit_table(wobop manager, const std::string& name, const std::string& templ,
                   const std::vector<std::string>& columns, const std::vector<std::vector<double>>& rows,
                   bool graph_data = true);

// Defines, and leaves open, the bootstrap-estimates table of two columns
// (ParameterValue1 and 2) whose rows take the values of `cells` when added.
wobop open_estimates_table(wobop manager, double cells[2]);

// One dynamic variable of a graph: a text, a double or an integer.
struct Dynamic {
  std::string name;
  std::variant<std::string, double, int> value;
};

// Requests a graph (selector 2826); returns the request's status.
int request_graph(wobop manager, const std::string& name, const std::string& templ,
                  const std::vector<xobskey>& path, const std::vector<Dynamic>& dynamic);
