// What a graph is drawn from: the request (template, texts, output path and
// the template's dynamic variables) and the tables found under the keys of
// its output path, with their columns as doubles.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/json_teardown.h"

namespace platform::graphs {

// Compares two names without regard to case (ASCII).
bool same_name(std::string_view a, std::string_view b);

// A table's columns as doubles: missing values and texts are NaN.
struct GraphTable {
  std::string name, template_path;
  std::vector<std::string> names, labels;
  std::vector<std::vector<double>> columns;
  std::size_t rows = 0;

  // The column of that name (case-blind), or null.
  const std::vector<double>* column(std::string_view name) const;
  // A column's label, its name when it has none, "" when there is no column;
  // shown as visible_text shows it, so that it is measured as it is drawn.
  std::string label(std::string_view name) const;
  // The column, or a column of NaN when the table has none of that name.
  std::vector<double> values(std::string_view name) const;
};

// Finds the table under an output path key; null when there is none.
using TableLookup = std::function<const GraphTable*(const std::string& key)>;

struct GraphRequest {
  GraphRequest() = default;
  GraphRequest(const GraphRequest&) = default;
  GraphRequest(GraphRequest&&) = default;
  GraphRequest& operator=(const GraphRequest&) = default;
  GraphRequest& operator=(GraphRequest&&) = default;
  ~GraphRequest() { dismantle(dynamic); }

  std::string template_path, name, label, description;
  std::vector<std::string> path;             // output path keys, outermost first
  nlohmann::ordered_json dynamic = nlohmann::ordered_json::object();
  std::string id;                            // unique in the run; prefix of SVG ids

  // The template's name after its last dot, lower case: "fitplot".
  std::string kind() const;
  // Dynamic variables by name (case-blind): a text ("" when absent or not a
  // text; shown as visible_text shows it), a number (NaN when absent or
  // missing), an integer flag.
  std::string text(std::string_view var) const;
  // The text, or `fallback` when it is empty.
  std::string text_or(std::string_view var, const std::string& fallback) const;
  double number(std::string_view var) const;
  bool flag(std::string_view var) const;
  long long integer(std::string_view var, long long absent) const;
};

}  // namespace platform::graphs
