// One finished piece of output (a table, a factoid, a matrix, a graph or a
// message) as the listing and the JSON stream both render it.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/json_teardown.h"

namespace platform {

// A value read from a column's cell when its row was emitted.
struct Cell {
  enum Kind : char { Number, Integer, Text };
  Kind kind = Number;
  double number = 0;       // may hold a missing-value pattern
  long long integer = 0;
  std::string text;

  static Cell of_number(double v) { return Cell{Number, v, 0, {}}; }
  static Cell of_integer(long long v) { return Cell{Integer, 0, v, {}}; }
  static Cell of_text(std::string v) { return Cell{Text, 0, 0, std::move(v)}; }
};

// Data types of columns (request 338, tag 103).
inline constexpr int kTypeByte = 1;
inline constexpr int kTypeInt = 3;
inline constexpr int kTypeLong = 4;
inline constexpr int kTypeDouble = 5;
inline constexpr int kTypeChars = 6;
inline constexpr int kTypeTextObject = 66;

inline bool integer_type(int type) { return type == kTypeByte || type == kTypeInt || type == kTypeLong; }

// A column: what it shows and where its value is read. Like the item
// below, it takes its JSON value apart when it goes (json_teardown.h).
struct ColumnSpec {
  ColumnSpec() = default;
  ColumnSpec(const ColumnSpec&) = default;
  ColumnSpec(ColumnSpec&&) = default;
  ColumnSpec& operator=(const ColumnSpec&) = default;
  ColumnSpec& operator=(ColumnSpec&&) = default;
  ~ColumnSpec() { dismantle(extra); }

  std::string name;
  std::string label;
  int data_type = kTypeDouble;
  int width = 0;            // field width (tag 272); 0: by type
  int decimals = -1;        // decimals or decimal code (tag 270); -1: none given
  int text_width = 0;       // tag 289: > 0 a fixed field, < 0 at most -n bytes to a NUL
  std::string format_name;  // tag 340: "PVALUE", "BEST8.", ...
  std::string role;         // tag 339: the template column
  bool listed = true;       // kTagNotListed on: data for the graphs, left out of the listing
  const void* cell = nullptr;
  nlohmann::ordered_json extra = nlohmann::ordered_json::object();  // other tags
};

// One BY variable of the current BY group.
struct ByValue {
  std::string name;
  Cell value;
  std::string text;  // as the BY line shows it
};

struct OutputItem {
  OutputItem() = default;
  OutputItem(const OutputItem&) = default;
  OutputItem(OutputItem&&) = default;
  OutputItem& operator=(const OutputItem&) = default;
  OutputItem& operator=(OutputItem&&) = default;
  ~OutputItem() {
    dismantle(attributes);
    dismantle(extra);
  }

  std::string kind;  // "table", "factoid", "matrix", "graph", "message"
  std::string template_path, name, label;
  std::vector<std::string> titles;
  bool has_by = false;
  std::vector<ByValue> by;
  std::vector<std::string> groups;  // open groups and sections, outermost first
  std::vector<ColumnSpec> columns;
  std::vector<std::vector<Cell>> rows;
  std::vector<ColumnSpec> value_formats;  // factoids: the format of each row's value
  std::vector<std::string> notes;
  nlohmann::ordered_json attributes = nlohmann::ordered_json::object();
  nlohmann::ordered_json extra = nlohmann::ordered_json::object();
  int step = 0;
  int by_number = 0;        // the BY group's number in the step, 0 without BY groups
  std::string svg;          // a graph's picture, when graphs are drawn
  std::string graph_note;   // why a graph was not drawn
};

}  // namespace platform
