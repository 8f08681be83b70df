#include "platform/datasets/sidecar.h"

#include <nlohmann/json.hpp>

#include "platform/datasets/link_chain.h"
#include "platform/json_teardown.h"
#include "platform/libraries.h"
#include "platform/names.h"

namespace platform::ds {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

bool take_string(const json& object, const char* key, std::optional<std::string>* out,
                 std::string* error) {
  auto it = object.find(key);
  if (it == object.end()) return true;
  if (!it->is_string()) {
    *error = std::string("\"") + key + "\" must be a text";
    return false;
  }
  *out = it->get<std::string>();
  return true;
}

bool take_variable(const json& item, SidecarVariable* v, std::string* error) {
  if (!item.is_object() || !item.contains("name") || !item["name"].is_string()) {
    *error = "each entry of \"variables\" needs a \"name\"";
    return false;
  }
  v->name = item["name"].get<std::string>();
  std::optional<std::string> type;
  if (!take_string(item, "type", &type, error) || !take_string(item, "label", &v->label, error))
    return false;
  if (type) {
    if (*type == "numeric")
      v->type = VarType::Numeric;
    else if (*type == "character")
      v->type = VarType::Character;
    else {
      *error =
          "the type of " + v->name + " must be \"numeric\" or \"character\", not \"" + *type + "\"";
      return false;
    }
  }
  if (item.contains("length")) {
    const json& n = item["length"];
    if (!n.is_number_integer() || n.get<long long>() < 1 || n.get<long long>() > kMaxCharLength) {
      *error = "the length of " + v->name + " must be a whole number from 1 to 32767";
      return false;
    }
    v->length = n.get<int>();
  }
  return true;
}

// The parser's words without its own code ("[json.exception.parse_error.101] "),
// which means nothing to the reader of the log.
std::string without_error_code(std::string what) {
  if (what.starts_with("[json.exception.")) {
    if (const std::size_t end = what.find("] "); end != std::string::npos) what.erase(0, end + 2);
  }
  return what;
}

// Names match without regard to case, as the variables they describe do.
bool described_before(const std::vector<SidecarVariable>& variables, const std::string& name) {
  for (const SidecarVariable& v : variables)
    if (same_name(v.name, name)) return true;
  return false;
}

}  // namespace

std::filesystem::path sidecar_path(const std::filesystem::path& csv) {
  const std::filesystem::path data = followed_link(csv);
  return Libraries::find_file(data.parent_path(), data.stem().string() + ".meta.json");
}

ResolvedPath sidecar_beside(const ResolvedPath& data) {
  const std::string stem = std::filesystem::path(data.name).stem().string();
  return resolve_beside(data, Libraries::find_name(data.folder.get(), stem + ".meta.json"));
}

bool parse_sidecar(const std::string& text, Sidecar* out, std::string* error) {
  json doc;
  const DismantleOnExit doc_goes(doc);
  try {
    doc = json::parse(text);
  } catch (const json::exception& e) {  // a syntax error, or a number beyond a double's range
    *error = without_error_code(e.what());
    return false;
  }
  if (!doc.is_object()) {
    *error = "it must be a JSON object";
    return false;
  }
  if (!take_string(doc, "type", &out->type, error) ||
      !take_string(doc, "label", &out->label, error))
    return false;
  auto vars = doc.find("variables");
  if (vars == doc.end()) return true;
  if (!vars->is_array()) {
    *error = "\"variables\" must be a list";
    return false;
  }
  for (const json& item : *vars) {
    SidecarVariable v;
    if (!take_variable(item, &v, error)) return false;
    if (described_before(out->variables, v.name)) {
      *error = "it describes the variable " + v.name + " twice";
      return false;
    }
    out->variables.push_back(std::move(v));
  }
  return true;
}

std::string sidecar_text(const std::vector<Variable>& variables, const std::string& type,
                         const std::string& label) {
  // Built member by member and taken apart at the end, so that neither the
  // building nor the end allocates in a destructor (json_teardown.h).
  ordered_json doc = ordered_json::object();
  const DismantleOnExit doc_goes(doc);
  // The host pads the type to 8 and labels to their field width; the file
  // keeps only the text.
  auto trimmed = [](std::string s) { return s.erase(s.find_last_not_of(' ') + 1); };
  doc["type"] = trimmed(type);
  doc["label"] = trimmed(label);
  ordered_json& vars = doc["variables"] = ordered_json::array();
  for (const Variable& v : variables) {
    ordered_json& item = vars.emplace_back(ordered_json::object());
    item["name"] = v.name;
    item["type"] = v.type == VarType::Numeric ? "numeric" : "character";
    if (v.type == VarType::Character) item["length"] = v.length;
    if (!v.label.empty()) item["label"] = v.label;
  }
  // Labels come from the host's byte strings; bytes that are not UTF-8 are
  // replaced rather than failing the whole data set.
  return doc.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace platform::ds
