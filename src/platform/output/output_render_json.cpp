#include "host/missing.h"
#include "platform/json_teardown.h"
#include "platform/output/output_render_columns.h"
#include "platform/output/output_render.h"

namespace platform {
namespace {

using Json = nlohmann::ordered_json;

Json cell_json(const Cell& c) {
  switch (c.kind) {
    case Cell::Integer: return c.integer;
    case Cell::Text: {
      std::string t = c.text;
      while (!t.empty() && t.back() == ' ') t.pop_back();
      return t;
    }
    case Cell::Number: break;
  }
  if (wzmis(c.number)) return nullptr;
  // A negative zero (a multiplier of -0, the root of a variance of -0) is
  // zero, as the listing shows it.
  return c.number == 0 ? 0.0 : c.number;
}

const char* type_name(const ColumnSpec& column) {
  switch (style_of(column).kind) {
    case ColumnStyle::Text: return "text";
    case ColumnStyle::Integer: return "integer";
    default: return "number";
  }
}

Json column_json(const ColumnSpec& column) {
  Json j = Json::object();
  j["name"] = column.name;
  j["label"] = column.label;
  j["format"] = format_text(column);
  j["type"] = type_name(column);
  if (!column.role.empty()) j["role"] = column.role;
  if (!column.extra.empty()) j["settings"] = column.extra;
  return j;
}

// The output as one JSON value. Every part is moved into place, so that
// no copy of a container is left to destroy.
Json item_json(const OutputItem& item) {
  constexpr std::size_t kMembers = 13;  // as many as are set below, at most
  Json j = object_with_room(kMembers + item.extra.size());
  j["type"] = item.kind;
  j["step"] = item.step;
  j["template"] = item.template_path.empty() ? Json(nullptr) : Json(item.template_path);
  j["name"] = item.name;
  j["label"] = item.label;
  j["titles"] = item.titles;
  if (item.has_by) {
    Json by = Json::object();
    for (const ByValue& b : item.by) by[b.name] = cell_json(b.value);
    j["by"] = std::move(by);
  } else {
    j["by"] = nullptr;
  }
  j["groups"] = item.groups;
  Json columns = Json::array();
  for (const ColumnSpec& c : item.columns) columns.push_back(column_json(c));
  j["columns"] = std::move(columns);
  Json rows = Json::array();
  for (const auto& row : item.rows) {
    Json r = Json::array();
    for (const Cell& c : row) r.push_back(cell_json(c));
    rows.push_back(std::move(r));
  }
  j["rows"] = std::move(rows);
  if (!item.value_formats.empty()) {
    Json formats = Json::array();
    for (const ColumnSpec& f : item.value_formats) formats.push_back(format_text(f));
    j["formats"] = std::move(formats);
  }
  j["notes"] = item.notes;
  if (!item.attributes.empty()) j["attributes"] = item.attributes;
  for (const auto& [key, value] : item.extra.items()) j[key] = value;
  return j;
}

}  // namespace

std::string render_json(const OutputItem& item) {
  Json j;
  const DismantleOnExit taken_apart(j);
  j = item_json(item);
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace platform
