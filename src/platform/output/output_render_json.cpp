#include <algorithm>

#include "host/missing.h"
#include "platform/json_teardown.h"
#include "platform/output/output_render_columns.h"
#include "platform/output/output_render.h"

namespace platform {
namespace {

using Json = nlohmann::ordered_json;

// A text cell's value: its trailing blanks are padding.
std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// A number as the JSON shows it: null for a missing value, and a negative
// zero (a multiplier of -0, the root of a variance of -0) as zero, as the
// listing shows it.
Json number_json(double v) {
  if (wzmis(v)) return nullptr;
  return v == 0 ? 0.0 : v;
}

Json cell_json(const Cell& c) {
  switch (c.kind) {
    case Cell::Integer: return c.integer;
    case Cell::Text: return std::string(trimmed(c.text));
    case Cell::Number: break;
  }
  return number_json(c.number);
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

// The members before the rows. Every part is moved into place, so that no
// copy of a container is left to destroy.
Json head_json(const OutputItem& item) {
  constexpr std::size_t kMembers = 9;
  Json j = object_with_room(kMembers);
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
  return j;
}

// The members after the rows.
Json tail_json(const OutputItem& item) {
  constexpr std::size_t kMembers = 3;
  Json j = object_with_room(kMembers + item.extra.size());
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

// An object's members as one line of text, without its braces.
std::string members_text(const Json& object) {
  std::string text = object.dump(-1, ' ', false, Json::error_handler_t::replace);
  return text.substr(1, text.size() - 2);
}

// Writes the rows one value at a time straight to the stream, so that a
// table of any length takes no more room than its rows already do. All
// that the writing needs is allocated before the first byte: a shortage
// never leaves part of a line.
class RowWriter {
 public:
  RowWriter(std::ostream& out, std::size_t longest_text)
      : out_(out), serializer_(nlohmann::detail::output_adapter<char>(out), ' ', Json::error_handler_t::replace) {
    text_.get_ref<std::string&>().reserve(longest_text);
  }

  void cells(const std::vector<std::vector<Cell>>& rows) {
    for (std::size_t r = 0; r < rows.size(); ++r) {
      begin_row(r);
      for (std::size_t c = 0; c < rows[r].size(); ++c) {
        if (c > 0) out_.put(',');
        cell(rows[r][c]);
      }
      out_.put(']');
    }
  }

  // Integer columns hold whole numbers, shown without a decimal point.
  void numbers(const NumberRows& rows, const std::vector<bool>& integer) {
    for (std::size_t r = rows.first; r < rows.last; ++r) {
      begin_row(r - rows.first);
      for (std::size_t c = 0; c < integer.size(); ++c) {
        if (c > 0) out_.put(',');
        const double v = (*rows.columns)[c][r];
        value(integer[c] ? Json(static_cast<long long>(v)) : number_json(v));
      }
      out_.put(']');
    }
  }

 private:
  void begin_row(std::size_t r) { out_.write(r == 0 ? "[" : ",[", r == 0 ? 1 : 2); }

  void cell(const Cell& c) {
    if (c.kind != Cell::Text) return value(cell_json(c));
    text_.get_ref<std::string&>().assign(trimmed(c.text));
    value(text_);
  }

  void value(const Json& v) { serializer_.dump(v, false, false, 0); }

  std::ostream& out_;
  nlohmann::detail::serializer<Json> serializer_;
  Json text_ = std::string();
};

std::size_t longest_text(const std::vector<std::vector<Cell>>& rows) {
  std::size_t longest = 0;
  for (const auto& row : rows)
    for (const Cell& c : row)
      if (c.kind == Cell::Text) longest = std::max(longest, c.text.size());
  return longest;
}

}  // namespace

void write_json(const OutputItem& item, std::ostream& out, const NumberRows* numbers) {
  std::string head, tail;
  {
    Json before, after;
    const DismantleOnExit before_taken_apart(before);
    const DismantleOnExit after_taken_apart(after);
    before = head_json(item);
    after = tail_json(item);
    head = members_text(before);
    tail = members_text(after);
  }
  std::vector<bool> integer;
  for (const ColumnSpec& c : item.columns) integer.push_back(integer_type(c.data_type));
  RowWriter rows(out, longest_text(item.rows));
  out << '{' << head << ",\"rows\":[";
  if (numbers) rows.numbers(*numbers, integer);
  else rows.cells(item.rows);
  out << "]," << tail << '}';
}

}  // namespace platform
